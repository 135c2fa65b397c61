#pragma once
// The saturator's shaping curve over a block of oversampled samples.

namespace Vorn {

class TanhShaper {
public:
    // work[i] = tanh(g * work[i]) for i < n, with the product and the tanh
    // in float. The tanh is this class's own: within 1.58 float steps and
    // 9.4e-8 of the exact value, exactly odd, 0 at 0, +-1 from |g x| = 9.5 on
    // (infinities included), NaN for NaN. It is the same arithmetic on every
    // processor and at every vector width, so the bits never depend on the
    // machine or on how the samples were split into blocks.
    static void apply(float* work, int n, float g);
    // The same with the library's double tanh, one sample at a time (rounded
    // to float): the reference the fast forms are measured against.
    static void applyExact(float* work, int n, float g);

    // apply() takes the widest form the processor has; this runs a chosen
    // one (one the processor lacks falls back to the next narrower). All
    // forms but Library compute the same lanes, so they agree to the bit;
    // Library is applyExact().
    enum class Kernel { Library, Scalar, Sse2, Avx2, Avx512 };
    static void apply(float* work, int n, float g, Kernel kernel);
    static Kernel widest();
};

} // namespace Vorn
