#pragma once
// Finds a parameter by the name a user typed. Hosts only see eight
// characters of a name, so besides an exact match a unique prefix match is
// accepted either way round: "FilterCutoff" finds "FilterCu", and "FilterC"
// finds it too. A plain number selects the parameter by index.

#include <string>
#include <vector>

namespace TarvelHost {

// Returns the index; throws HostError for an unknown or ambiguous name.
int matchParameter(const std::vector<std::string>& hostNames, const std::string& wanted);

} // namespace TarvelHost
