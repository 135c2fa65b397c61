#include "gui/TickCount.h"

#include <chrono>

namespace {

std::uint32_t systemTicks()
{
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(ms);
}

TickSource currentSource = nullptr;

} // namespace

std::uint32_t getTickCount()
{
    return currentSource ? currentSource() : systemTicks();
}

void setTickSource(TickSource source)
{
    currentSource = source;
}
