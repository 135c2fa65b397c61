#pragma once
// The one error type of the host: a message meant for the user, printed as a
// single line before the program exits with a non-zero status.

#include <stdexcept>
#include <string>

namespace TarvelHost {

class HostError : public std::runtime_error {
public:
    explicit HostError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace TarvelHost
