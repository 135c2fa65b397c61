#pragma once
// The saturator's oversampled path for one whole sub-block in vector
// registers from end to end: up-sampling by four, the tanh shaper and
// down-sampling. Run as three passes through memory, each pass reloads what
// the one before had just stored, at widths and offsets that the processor
// cannot forward from its store buffer, and waits for it; held in
// registers, the samples never leave. The results are those of the three
// passes to the bit.

namespace Vorn {

class FirResampler;

class SaturatorKernel {
public:
    static constexpr int kLength = 16;

    // out[0..16) = down(tanh(gain x up(in))) with both resamplers' histories
    // moved on, exactly as FirResampler::upsamplePlanar, TanhShaper::apply
    // and FirResampler::downsamplePlanar would. Returns false, having
    // changed nothing, when the processor lacks AVX2 or either resampler
    // is not in the shape and order the kernel handles.
    static bool process(FirResampler& up, FirResampler& down, const float* in, float gain, float* out);

    // The same with a chosen instruction set (one the processor lacks falls
    // back to AVX2); both give the same bits.
    enum class Kernel { Avx2, Avx512 };
    static bool process(FirResampler& up, FirResampler& down, const float* in, float gain, float* out,
                        Kernel kernel);
};

} // namespace Vorn
