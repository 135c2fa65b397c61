// The plug-in renders with subnormals flushed, but the host's floating-point
// mode must be exactly as it was once processReplacing returns.

#include "support/TestHost.h"

#include <gtest/gtest.h>

#if defined(__SSE2__)
#include <xmmintrin.h>

TEST(FloatMode, ProcessReplacingRestoresTheCallersMode)
{
    TestHost host;
    ASSERT_NE(host.start(), nullptr) << host.error;
    host.noteOn(60);
    const unsigned original = _mm_getcsr();
    // Without the flush bits, with both, and with round-toward-zero and all
    // exceptions masked as a host might leave them.
    for (unsigned mode : {original & ~0x8040u, original | 0x8040u, (original & ~0x8040u) | 0x6000u}) {
        _mm_setcsr(mode);
        std::vector<float> left, right;
        host.process(512, left, right);
        const unsigned after = _mm_getcsr();
        _mm_setcsr(original);
        // The exception flags (bits 0-5) may gather; everything else is the caller's.
        EXPECT_EQ(after & ~0x3Fu, mode & ~0x3Fu) << std::hex << mode;
    }
    _mm_setcsr(original);
}
#endif
