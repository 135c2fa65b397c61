#pragma once
// The saturator's shaping curve over a block of oversampled samples.

namespace Vorn {

class TanhShaper {
public:
    // work[i] = (float)tanh(g * work[i]) for i < n, with the product in float
    // and the tanh in double. The vector forms compute the tanh themselves
    // (to about 1e-13), so a result can differ from the library's by one
    // float step when it lies that close to a rounding boundary.
    static void apply(float* work, int n, float g);
    // The same with the library's tanh, one sample at a time.
    static void applyExact(float* work, int n, float g);

    // apply() takes the widest form the processor has; this runs a chosen
    // one (one the processor lacks falls back to the next narrower). All
    // vector forms compute the same lanes, so they agree to the bit.
    enum class Kernel { Library, Sse2, Avx2, Avx512 };
    static void apply(float* work, int n, float g, Kernel kernel);
    static Kernel widest();
};

} // namespace Vorn
