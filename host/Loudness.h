#pragma once
// Loudness as broadcasters measure it (EBU R128 / ITU-R BS.1770), through
// libebur128: the gated integrated loudness of a stereo signal and its true
// peak, the highest level between the samples once the signal is rebuilt.

#include <vector>

namespace TarvelHost {

struct LoudnessReading {
    double integratedLufs = 0.0; // -inf for a signal that never rises above the gate
    double truePeakDbtp = 0.0;   // of the louder channel; -inf for digital silence
};

// Throws HostError when the library refuses the rate or runs out of memory.
LoudnessReading measureLoudness(const std::vector<float>& left, const std::vector<float>& right, int sampleRate);

} // namespace TarvelHost
