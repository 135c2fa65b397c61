#pragma once
// The manual's list of the factory programs: their names as the bank holds
// them, grouped and described as the bank's sheet (examples/
// factory-programs.tsv) has them, and marked where the bank itself holds a
// recorded bend. A sheet that names a program differently from the bank is
// an error.

#include <string>

namespace Manual {

std::string factoryPrograms(const std::string& bankPath, const std::string& sheetPath);

} // namespace Manual
