#pragma once
// Reading a live parameter value away from the audio thread. The audio
// thread writes live values whole with relaxed atomic stores at every
// sub-block; display texts formatted on the host's or the editor's thread
// read them the same way, so the two never race.

namespace Vorn {

inline float readLive(const float* value)
{
    float v;
    __atomic_load(value, &v, __ATOMIC_RELAXED);
    return v;
}

} // namespace Vorn
