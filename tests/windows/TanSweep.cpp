// Prints a digest of tanf over every float the phaser can pass it (its
// break frequency times pi, 0.001 pi to 0.3 pi, with a margin), so that two
// builds can be shown to compute the same tangent on all of them. Built
// natively it measures the C library's tanf; in the Windows build it links
// the plug-in's own (dsp/win32/SinglePrecisionTan.cpp).

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

int main()
{
    const float pi = 4.0f * std::atan(1.0f);
    const float low = 0.0005f * pi;
    const float high = 0.35f * pi;
    std::uint64_t digest = 1469598103934665603ull; // FNV-1a
    std::uint64_t count = 0;
    // volatile: the argument must reach the runtime's tanf, not be folded.
    for (volatile float x = low; x <= high; x = std::nextafter(static_cast<float>(x), 2.0f)) {
        float t = std::tan(static_cast<float>(x));
        std::uint32_t bits;
        std::memcpy(&bits, &t, 4);
        for (int b = 0; b < 4; ++b) {
            digest ^= (bits >> (8 * b)) & 0xffu;
            digest *= 1099511628211ull;
        }
        ++count;
    }
    std::printf("%llu floats, digest %016llx\n", static_cast<unsigned long long>(count),
                static_cast<unsigned long long>(digest));
    return 0;
}
