#pragma once
// The filter loop of up to eight voices at once, one voice per double lane.
// The voices' loops are independent, so side by side they fill the vector
// units where a single voice waits on its own feedback; each lane performs
// exactly the operations of SVFilter's single-voice loop, in the same order,
// so every voice gets the same bits it would have got alone.

#include "dsp/InstructionSet.h"
#include "dsp/Module.h"

namespace Vorn {

struct SVFilterLanes {
    static constexpr int kLanes = 8;

    // Per lane: frequency coefficient, damping, and the state (updated).
    alignas(64) double f[kLanes];
    alignas(64) double m[kLanes];
    alignas(64) double low[kLanes];
    alignas(64) double band[kLanes];
    // Inputs and outputs, sample by sample, lane by lane.
    alignas(64) float in[kSubBlock][kLanes];
    alignas(64) float out[kSubBlock][kLanes];

    // Runs `count` samples in response `mode` (SVFilter::Mode) on all lanes
    // in the vectors of `level` (SSE2 or wider). Every level gives the same
    // bits.
    void run(int mode, int count, InstructionSet level);

    // Fills in[0..count) from one buffer per lane, and writes out[0..count)
    // back to one buffer per lane: sample j of lane v's buffer is
    // in[j][v] / out[j][v]. Only the first `lanes` lanes have buffers; the
    // other lanes' inputs become 0. From AVX2 on, whole sub-blocks are
    // transposed in vector registers.
    void loadInputs(const float* const* buffers, int lanes, int count, InstructionSet level);
    void storeOutputs(float* const* buffers, int lanes, int count, InstructionSet level) const;
};

} // namespace Vorn
