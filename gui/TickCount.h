#pragma once
// The toolkit's millisecond clock. Everything that measures time (timers,
// double clicks, animations) reads it here, so tests can replace it.

#include <cstdint>

using TickSource = std::uint32_t (*)();

// Milliseconds of a monotonic clock, wrapping modulo 2^32.
std::uint32_t getTickCount();

// Replaces the clock; nullptr restores the system's monotonic clock.
void setTickSource(TickSource source);
