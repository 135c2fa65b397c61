#include "EditorFixture.h"

std::vector<HostCall> EditorHost::calls;
std::uint32_t EditorClock::now = 0;
