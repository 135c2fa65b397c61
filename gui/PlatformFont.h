#pragma once
// Turns a requested font family into the name of the closest installed one.

#include <string>

std::string resolveFontFamily(const std::string& family);
