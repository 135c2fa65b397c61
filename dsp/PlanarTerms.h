#pragma once
// Where the saturator's four-times resamplers find each filter term when
// the up-sampled stream is kept phase by phase (plane j holds stream
// samples 4t + j). Shared by the resampler's planar forms, plain and
// vector, and the saturator's whole-sub-block kernel, which must all add the
// same terms in the same order.

namespace Vorn {
namespace PlanarTerms {

constexpr int kPhases = 4;
constexpr int kTermCount = 8;
// The longest block the planar forms take. Down-sampling keeps each plane
// behind the two samples of history its terms reach back to.
constexpr int kPlanarBlock = 16;
constexpr int kPlaneHistory = 2;
constexpr int kPlaneLength = kPlaneHistory + kPlanarBlock;

// Up-sampling: phase j of up-sampled sample t adds its terms k = 0..7
// (x[t - 7], then x[t], x[t - 1], ..., x[t - 6]) from 0 in that order and
// scales by 4; term k reads input sample t + kUpOffset[k].
constexpr int kUpOffset[kTermCount] = {-7, 0, -1, -2, -3, -4, -5, -6};

// Down-sampling: after pushing stream sample 4i + j, phase j's term k reads
// stream sample 4i + d with d = j - 7 for k = 0 and d = j + 1 - k otherwise.
// With plane r stored behind two samples of history, stream sample 4i + d
// is plane d mod 4 at position i + floor(d / 4) + 2. Each output adds the
// phase sums 0..3 from 0 and scales by 4.
struct DownTerm {
    int plane;
    int offset;
};

constexpr DownTerm downTerm(int j, int k)
{
    const int d = k == 0 ? j - 7 : j + 1 - k;
    const int r = ((d % kPhases) + kPhases) % kPhases;
    return {r, (d - r) / kPhases + kPlaneHistory};
}

// downTerm(j, k) at index j * kTermCount + k, looked up rather than
// computed in loops that are not unrolled.
struct DownTable {
    DownTerm term[kPhases * kTermCount];
    constexpr DownTable() : term{}
    {
        for (int j = 0; j < kPhases; ++j)
            for (int k = 0; k < kTermCount; ++k)
                term[j * kTermCount + k] = downTerm(j, k);
    }
};
inline constexpr DownTable kDownTerms{};

} // namespace PlanarTerms
} // namespace Vorn
