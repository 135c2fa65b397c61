#include "TestSupport.h"

std::uint32_t FakeClock::now = 0;
