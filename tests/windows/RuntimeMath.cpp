// Writes the C runtime's results for the double-precision functions the
// sound code calls per sub-block (sin for the filter, pow for pitch and
// resonance, tanh for the shaper's scalar path), over the arguments they
// get, to one file; compare_math.py tells how two runtimes differ.
//
// usage: runtime-math OUT.bin

#include <cmath>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.bin\n", argv[0]);
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out)
        return 1;
    const double pi = 4.0 * std::atan(1.0);
    constexpr int kSteps = 250000;
    auto put = [out](double v) { std::fwrite(&v, sizeof v, 1, out); };
    // The four sections, in this order, kSteps + 1 values each.
    for (int i = 0; i <= kSteps; ++i) // filter: sin(pi c), c in [0, 0.5]
        put(std::sin(pi * (0.5 * i / kSteps)));
    for (int i = 0; i <= kSteps; ++i) // pitch: 2^(e), e in [-10, 10] octaves
        put(std::pow(2.0, -10.0 + 20.0 * i / kSteps));
    for (int i = 0; i <= kSteps; ++i) // resonance: r^0.25, r in [0, 1]
        put(std::pow(static_cast<double>(i) / kSteps, 0.25));
    for (int i = 0; i <= kSteps; ++i) // shaper: tanh(y), y in [-20, 20]
        put(std::tanh(-20.0 + 40.0 * i / kSteps));
    return std::fclose(out) == 0 ? 0 : 1;
}
