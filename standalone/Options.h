#pragma once
// The command line of `tarvel`.

#include <string>

struct Options {
    std::string load; // a bank or program file to load at start
    bool connect = false;
    bool help = false;
    bool version = false;
};

// Throws std::invalid_argument with a message for the user.
Options parseOptions(int argc, const char* const* argv);

extern const char* const kUsage;
