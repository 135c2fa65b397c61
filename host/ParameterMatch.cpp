#include "host/ParameterMatch.h"
#include "host/HostError.h"

#include <cctype>

namespace TarvelHost {

namespace {

// Parameter strings are limited to eight characters; a name of that length
// may be the cut-off start of a longer one.
constexpr std::size_t kHostNameLength = 8;

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

int matchParameter(const std::vector<std::string>& hostNames, const std::string& wanted)
{
    if (wanted.empty())
        throw HostError("empty parameter name");
    bool numeric = true;
    for (char c : wanted)
        numeric = numeric && std::isdigit(static_cast<unsigned char>(c));
    if (numeric && wanted.size() <= 6) {
        int index = std::stoi(wanted);
        if (index >= static_cast<int>(hostNames.size()))
            throw HostError("parameter index " + wanted + " out of range (the plug-in has " +
                            std::to_string(hostNames.size()) + " parameters)");
        return index;
    }
    std::vector<int> exact, prefix;
    for (std::size_t i = 0; i < hostNames.size(); ++i) {
        const std::string& name = hostNames[i];
        if (name == wanted)
            exact.push_back(static_cast<int>(i));
        else if (!name.empty() &&
                 (startsWith(name, wanted) || (name.size() >= kHostNameLength && startsWith(wanted, name))))
            prefix.push_back(static_cast<int>(i));
    }
    const std::vector<int>& found = exact.empty() ? prefix : exact;
    if (found.size() == 1)
        return found[0];
    if (found.empty())
        throw HostError("unknown parameter \"" + wanted + "\" (tarvel-host info lists the names)");
    std::string list;
    for (std::size_t i = 0; i < found.size() && i < 6; ++i)
        list += (i ? ", " : "") + hostNames[static_cast<std::size_t>(found[i])] + " (" + std::to_string(found[i]) + ")";
    if (found.size() > 6)
        list += ", ...";
    throw HostError("ambiguous parameter \"" + wanted + "\": matches " + list + "; give the index instead");
}

} // namespace TarvelHost
