#pragma once
// The state-variable filter's block loop, written once for any number type
// that has the arithmetic of double: double itself for one voice, a vector
// of doubles for several voices side by side. Both run these very
// operations in this order, so a voice's samples do not depend on which
// form rendered them.
//
// Each sample runs two passes of the loop, the second with a zero input:
//     notch = x - m band, low += f band, high = notch - low, band += f high.
// Written that way every sample waits on a chain of ten dependent double
// operations. The passes are linear in (low, band, x), so the state after
// both is computed from the state before them with the combined
// coefficients (s' = M s + b x), and the state two samples on directly
// (M^2 s + M b x0 + b x1): three dependent operations per two samples. The
// responses of each sample's two passes are formed beside that chain. The
// results are the same up to the rounding of the regrouped sums (about
// 1e-16 of the state).
//
// Values of T travel by reference only (vector types wider than the
// baseline have no place in its calling convention).

namespace Vorn {

// `input(j, x)` sets x to sample j's input; `output(j, y1, y2)` stores
// sample j's output from its two passes' responses. On return low and band
// hold the new state.
template <int Selected, class T, class Input, class Output>
[[gnu::always_inline]] inline void svFilterLoop(const T& f, const T& m, T& low, T& band, int count, Input&& input,
                                                Output&& output)
{
    // One pass: low1 = low + f band, band1 = k band - f low + f x.
    const T k = 1.0 - f * m - f * f;
    // Both passes: M and b.
    const T mLL = 1.0 - f * f;
    const T mLB = f * (1.0 + k);
    const T bL = f * f;
    const T mBL = -(k * f + f);
    const T mBB = k * k - f * f;
    const T bB = k * f;
    // Two samples: M^2 and M b.
    const T nLL = mLL * mLL + mLB * mBL;
    const T nLB = mLL * mLB + mLB * mBB;
    const T nBL = mBL * mLL + mBB * mBL;
    const T nBB = mBL * mLB + mBB * mBB;
    const T cL = mLL * bL + mLB * bB;
    const T cB = mBL * bL + mBB * bB;

    // One sample's output from the state before it (low, band), its input
    // and the state after it.
    auto emit = [&](int j, const T& lowBefore, const T& bandBefore, const T& x, const T& lowNext, const T& bandNext) {
        const T low1 = lowBefore + f * bandBefore;
        const T band1 = k * bandBefore - f * lowBefore + f * x;
        T y1, y2;
        if constexpr (Selected == 0) { // low-pass
            y1 = low1;
            y2 = lowNext;
        } else if constexpr (Selected == 1) { // high-pass
            y1 = (x - m * bandBefore) - low1;
            y2 = -m * band1 - lowNext;
        } else if constexpr (Selected == 2) { // band-pass
            y1 = band1;
            y2 = bandNext;
        } else { // band-reject
            y1 = x - m * bandBefore;
            y2 = -m * band1;
        }
        output(j, y1, y2);
    };

    T x0, x1;
    int j = 0;
    for (; j + 2 <= count; j += 2) {
        input(j, x0);
        input(j + 1, x1);
        const T lowMid = mLL * low + mLB * band + bL * x0;
        const T bandMid = mBL * low + mBB * band + bB * x0;
        const T lowEnd = nLL * low + nLB * band + (cL * x0 + bL * x1);
        const T bandEnd = nBL * low + nBB * band + (cB * x0 + bB * x1);
        emit(j, low, band, x0, lowMid, bandMid);
        emit(j + 1, lowMid, bandMid, x1, lowEnd, bandEnd);
        low = lowEnd;
        band = bandEnd;
    }
    if (j < count) {
        input(j, x0);
        const T lowEnd = mLL * low + mLB * band + bL * x0;
        const T bandEnd = mBL * low + mBB * band + bB * x0;
        emit(j, low, band, x0, lowEnd, bandEnd);
        low = lowEnd;
        band = bandEnd;
    }
}

} // namespace Vorn
