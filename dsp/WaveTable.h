#pragma once
// Every single-cycle wave the synthesizer plays: nine waves, each stored as
// 73 band-limited levels of 1024 samples, built once by additive synthesis
// and read-only afterwards.

#include "dsp/Module.h"

#include <memory>
#include <vector>

namespace Vorn {

class WaveTable : public NoAssignOrCopy {
public:
    static constexpr int kWaveCount = 9;
    static constexpr int kSamplesPerLevel = 1024;
    static const int kLevelCount; // 73
    static const int kWaveStride; // 73 * 1024

    WaveTable();
    virtual ~WaveTable();

    // The 1024 samples of one level of one wave.
    const float* levelData(int wave, int level) const
    {
        return samples_.data() + wave * kWaveStride + level * kSamplesPerLevel;
    }
    const float* data() const { return samples_.data(); }
    std::size_t size() const { return samples_.size(); }

    // The shared, immutable table of this process: built by the first
    // caller, reused while any instance holds it, freed with the last one.
    static std::shared_ptr<const WaveTable> shared();

private:
    std::vector<float> samples_;
};

// Display name of wave `index` (0..8): "sin", "tri", "saw", "squ", "dig1".."dig5".
const char* waveName(int index);

} // namespace Vorn
