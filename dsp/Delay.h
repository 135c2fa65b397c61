#pragma once
// Feedback echo on a 65536-sample ring; its length is free in seconds or,
// when synced, a note division of the host tempo.

#include "dsp/Module.h"

#include <cstdint>
#include <vector>

namespace Vorn {

class Delay : public Module {
public:
    static constexpr int kRingSize = 65536;
    // The longest echo the ring holds: a length of 65536 would read the
    // slot that is being overwritten.
    static constexpr int kLongestEcho = kRingSize - 1;

    Delay(Effect* owner, const char* name, const Module* input);
    void process(int sampleRate, int count) override;
    int format(const float* param, float value, char* text, std::size_t size) override;

    // The echo length in samples for the current settings and tempo.
    uint16_t length(int sampleRate) const;

private:
    const float* feedback_;
    const float* sync_;
    const float* time_;
    const float* wet_;
    std::vector<float> ring_;
    const Module* input_;
    uint16_t writeIndex_ = 0;
    // Set when a NaN or infinity was written into the ring.
    bool ringTainted_ = false;
};

} // namespace Vorn
