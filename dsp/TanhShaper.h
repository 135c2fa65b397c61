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
};

} // namespace Vorn
