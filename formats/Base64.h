#pragma once
// Base64 (RFC 4648, with padding) for the binary parts of the plug-in's
// state, which the formats store as text. Decoding takes a string from a
// saved session that may be damaged: it stops at the first character that
// does not belong and returns the bytes decoded before it, so the valid part
// of a truncated or garbled state still applies.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Base64 {

std::string encode(const uint8_t* data, std::size_t size);
std::vector<uint8_t> decode(const char* text);

} // namespace Base64
