#pragma once
// Loading eight floats that were just written four at a time. A load of
// eight spanning two such stores cannot be forwarded from them and waits
// until they reach the cache; each half loaded alone is forwarded.

#include <immintrin.h>

namespace Vorn {

__attribute__((target("avx"), always_inline)) inline __m256 loadHalves(const float* p)
{
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(p)), _mm_loadu_ps(p + 4), 1);
}

} // namespace Vorn
