#include "dsp/WaveTable.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>

namespace Vorn {

namespace {

constexpr double kPi = 3.141592653589793238462643383279502884; // equals 4 * atan(1) in double
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kRatio = 1.100000023841858; // the float nearest 1.1, widened

int computeLevelCount()
{
    float a = static_cast<float>(std::log(1024.0));
    float b = static_cast<float>(std::log(static_cast<double>(1.1f)));
    return static_cast<int>(std::ceil(a / b));
}

const char* const kWaveNames[WaveTable::kWaveCount] = {"sin",  "tri",  "saw",  "squ", "dig1",
                                                       "dig2", "dig3", "dig4", "dig5"};

// A table laid out by hand: clang-format leaves it as it is.
// clang-format off
const float kFixedSpectra[5][63] = {
    {0.23815f, 0.232434f, 0.234856f, 0.23352f, 0.034056f, 1, 0.016373f, 0.113719f, 0.021999f, 0.028899f, 0.025549f,
     0.070541f, 0.009289f, 0.054978f, 0.011365f, 0.062204f, 0.001288f, 0.029549f, 0.016792f, 0.015196f, 0.002443f,
     0.009519f, 0.001909f, 0.014792f, 0.00966f, 0.020186f, 0.013021f, 0.014535f, 0.009481f, 0.008177f, 0.00545f,
     0.007149f, 0.002485f, 0.005003f, 0.010119f, 0.000715f, 0.000211f, 0.003539f, 0.001151f, 0.012693f, 0.00186f,
     0.005008f, 0.003732f, 0.012321f, 0.002223f, 0.006198f, 0.00074f, 0.007908f, 0.000717f, 0.003797f, 0.000613f,
     0.005711f, 0.002314f, 0.003681f, 0.0014f, 0.006613f, 0.001705f, 0.005312f, 0.001891f, 0.006948f, 0.002771f,
     0.007632f, 0.000428f},
    {1, 0.068767f, 0.000424f, 0.490603f, 0.209957f, 0.000542f, 0.112167f, 0.016931f, 0.099305f, 0.016944f, 0.002981f,
     0.199871f, 0.002143f, 0.002017f, 0.000298f, 0.222141f, 0.00082f, 0.001092f, 0.031484f, 0.000355f, 0.000414f,
     0.000319f, 0.123661f, 0.001443f, 0.00106f, 0.045031f, 0.000164f, 0.000313f, 0.000524f, 0.080767f, 0.000364f, 0,
     0.010383f, 0.001448f, 0.000459f, 0.000074f, 0.046218f, 0.000432f, 0.000974f, 0.005681f, 0.000711f, 0.000478f,
     0.001108f, 0.026179f, 0.000205f, 0.001281f, 0.002137f, 0.000511f, 0.001212f, 0.000868f, 0.012311f, 0.000683f,
     0.00219f, 0.000407f, 0.000534f, 0.002906f, 0.000252f, 0.007779f, 0.00055f, 0.000155f, 0.000638f, 0.000626f,
     0.002811f},
    {1, 0.436564f, 0.000178f, 0.261437f, 0.293047f, 0.002446f, 0.11127f, 0.000545f, 0.002412f, 0.000174f, 0.256675f,
     0.002182f, 0.001983f, 0.002991f, 0.000767f, 0.199649f, 0.077272f, 0.000325f, 0.002851f, 0.000377f, 0.001822f,
     0.235055f, 0.001498f, 0.003469f, 0.000682f, 0.110786f, 0.001276f, 0.001536f, 0.147887f, 0.002119f, 0.109459f,
     0.1441f, 0.001873f, 0.002995f, 0.000818f, 0.00099f, 0.002405f, 0.001914f, 0.003138f, 0.00069f, 0.001596f,
     0.003728f, 0.001524f, 0.003579f, 0.000305f, 0.003579f, 0.004049f, 0.001426f, 0.001915f, 0.000246f, 0.001377f,
     0.002013f, 0.000284f, 0.002449f, 0.002367f, 0.000816f, 0.002009f, 0.000761f, 0.002436f, 0.000504f, 0.002741f,
     0.001449f, 0.000782f},
    {0.014956f, 0.000911f, 0.926242f, 0.001053f, 0.002663f, 0.441619f, 0.001545f, 0.00021f, 0.144803f, 0.000016f,
     0.000817f, 0.116427f, 0.002991f, 0.000992f, 0.08517f, 0.067533f, 0.000979f, 1, 0.003324f, 0.001404f, 0.003924f,
     0.000286f, 0.000415f, 0.000598f, 0.000314f, 0.000682f, 0.002154f, 0.000644f, 0.001909f, 0.002337f, 0.0037f,
     0.001076f, 0.002641f, 0.000748f, 0.000476f, 0.000476f, 0.000171f, 0.000355f, 0.002947f, 0.000895f, 0.000271f,
     0.000349f, 0.001436f, 0.003006f, 0.002148f, 0.000501f, 0.000006f, 0.000024f, 0.000432f, 0.002928f, 0.003661f,
     0.00065f, 0.002059f, 0.000808f, 0.000712f, 0.001055f, 0.000572f, 0.0026f, 0.00011f, 0.002685f, 0.002547f,
     0.001897f, 0.002571f},
    {0.979613f, 0.049683f, 0.863778f, 0.059449f, 0.735076f, 0.05724f, 0.603595f, 0.048442f, 0.515497f, 0.05356f,
     0.459073f, 0.043506f, 0.408585f, 0.038792f, 0.366761f, 0.04079f, 0.350431f, 0.0279f, 0.316934f, 0.021686f,
     0.292036f, 0.013922f, 0.267853f, 0.004834f, 0.224705f, 0.000734f, 0.193018f, 0.014671f, 0.162386f, 0.033152f,
     0.143335f, 0.067114f, 0.146406f, 0.115354f, 0.174436f, 0.138238f, 0.209672f, 0.143226f, 0.242085f, 0.130336f,
     0.278523f, 0.079216f, 0.289421f, 0.005282f, 0.289306f, 0.085127f, 0.277735f, 0.191761f, 0.260317f, 0.361105f,
     0.219135f, 0.509114f, 0.166149f, 0.660172f, 0.124632f, 1, 0.001269f, 0.678778f, 0.002302f, 0.576633f, 0.002754f,
     0.556847f, 0.000441f},
};
// clang-format on

void fillSpectrum(int wave, float* a)
{
    std::memset(a, 0, sizeof(float) * WaveTable::kSamplesPerLevel);
    switch (wave) {
    case 0:
        a[1] = 1.0f;
        break;
    case 1:
        for (int i = 0; 2 * i + 1 <= 1021; ++i) {
            int k = 2 * i + 1;
            a[k] = static_cast<float>(std::pow(-1.0, static_cast<double>(i)) / std::pow(static_cast<double>(k), 2.0));
        }
        break;
    case 2:
        for (int k = 1; k <= 1023; ++k)
            a[k] = static_cast<float>(1.0 / k);
        break;
    case 3:
        for (int k = 1; k <= 1023; k += 2)
            a[k] = static_cast<float>(1.0 / k);
        break;
    default:
        for (int k = 1; k <= 63; ++k)
            a[k] = kFixedSpectra[wave - 4][k - 1];
        break;
    }
}

// sin(x) for 0 <= x < 2^20 to within a few units in the last place of a
// double (plus about 1e-22 absolute from the argument reduction): x is
// reduced by pi/2, split into a 33-bit head, whose multiples are exact, and
// a tail; then the classic minimax polynomials for sine and cosine on
// [-pi/4, pi/4] are evaluated and the quadrant picks one of them.
inline double approximateSine(double x)
{
    constexpr double kInvHalfPi = 6.36619772367581382433e-01;
    constexpr double kHalfPiHead = 1.57079632673412561417e+00; // 33 significant bits
    constexpr double kHalfPiTail = 6.07710050650619224932e-11;
    constexpr double S1 = -1.66666666666666324348e-01, S2 = 8.33333333332248946124e-03,
                     S3 = -1.98412698298579493134e-04, S4 = 2.75573137070700676789e-06,
                     S5 = -2.50507602534068634195e-08, S6 = 1.58969099521155010221e-10;
    constexpr double C1 = 4.16666666666666019037e-02, C2 = -1.38888888888741095749e-03, C3 = 2.48015872894767294178e-05,
                     C4 = -2.75573143513906633035e-07, C5 = 2.08757232129817482790e-09,
                     C6 = -1.13596475577881948265e-11;

    const int quadrant = static_cast<int>(x * kInvHalfPi + 0.5);
    const double k = static_cast<double>(quadrant);
    const double y = (x - k * kHalfPiHead) - k * kHalfPiTail;
    const double z = y * y;
    const double w = z * z;

    const double rs = S2 + z * (S3 + z * S4) + z * w * (S5 + z * S6);
    const double sine = y + (z * y) * (S1 + z * rs);

    const double rc = z * (C1 + z * (C2 + z * C3)) + w * w * (C4 + z * (C5 + z * C6));
    const double half = 0.5 * z;
    const double one = 1.0 - half;
    const double cosine = one + (((1.0 - one) - half) + z * rc);

    // Selected by exact multiplications by 0 and +-1 (neither polynomial is
    // ever -0 or infinite), which keeps the loop free of branches.
    const double odd = static_cast<double>(quadrant & 1);
    const double sign = 1.0 - static_cast<double>(quadrant & 2);
    return (sine * (1.0 - odd) + cosine * odd) * sign;
}

// True when every double within a small distance of v rounds to the same
// float as v: far more than the error of approximateSine plus one unit of the
// library's sine, so the library's result, rounded to float, is that float.
inline bool roundsSafely(double v)
{
    const double u = std::fabs(v);
    const float f = static_cast<float>(u);
    if (!(f > 0.0f) || !(f < 2.0f))
        return false;
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    const std::uint32_t belowBits = bits - 1u, aboveBits = bits + 1u;
    float below, above;
    std::memcpy(&below, &belowBits, sizeof below);
    std::memcpy(&above, &aboveBits, sizeof above);
    const double lowEdge = 0.5 * (static_cast<double>(f) + static_cast<double>(below));
    const double highEdge = 0.5 * (static_cast<double>(f) + static_cast<double>(above));
    const double margin = u * 0x1p-45 + 0x1p-70;
    return u - lowEdge > margin && highEdge - u > margin;
}

// row[j] = (float)sin((float)(j * d)) for j = from .. 1023, the library's sine
// rounded to float. The fast approximation decides almost every sample; the
// rare one that lies too near the midpoint between two floats (and j = 0,
// whose sine is exactly 0) is left to the library.
void fillSines(float d, int from, float* row)
{
    constexpr int N = WaveTable::kSamplesPerLevel;
    double approximate[N];
    for (int j = from; j < N; ++j)
        approximate[j] = approximateSine(static_cast<double>(static_cast<float>(j) * d));
    for (int j = from; j < N; ++j) {
        const double v = approximate[j];
        if (roundsSafely(v))
            row[j] = static_cast<float>(v);
        else
            row[j] = static_cast<float>(std::sin(static_cast<double>(static_cast<float>(j) * d)));
    }
}

// The harmonic range [lo, hi) that each level n (1 .. levels - 1) adds on
// top of the level above it. It does not depend on the wave, so the ranges
// are worked out once, in the same float steps.
struct LevelSteps {
    std::vector<int> lo, hi;
    int highest = 0; // the highest hi, at most the row length
};

LevelSteps levelSteps(int levels)
{
    LevelSteps steps;
    steps.lo.assign(static_cast<std::size_t>(levels), 0);
    steps.hi.assign(static_cast<std::size_t>(levels), 0);
    float x = static_cast<float>(1024.0f / static_cast<float>(std::pow(kRatio, static_cast<double>(levels))));
    for (int n = levels - 1; n >= 1; --n) {
        float f = x;
        x = static_cast<float>(static_cast<double>(f) * kRatio);
        steps.lo[static_cast<std::size_t>(n)] = static_cast<int>(f);
        steps.hi[static_cast<std::size_t>(n)] = static_cast<int>(std::floor(x));
        if (steps.hi[static_cast<std::size_t>(n)] > steps.highest)
            steps.highest = steps.hi[static_cast<std::size_t>(n)];
    }
    if (steps.highest > WaveTable::kSamplesPerLevel)
        steps.highest = WaveTable::kSamplesPerLevel; // the spectra have no more than 1024 entries
    return steps;
}

// The rows sin((float)(j * d_h)) of the harmonics h, each the same for every
// wave and so evaluated once. Since d_2h is exactly 2 * d_h (doubling is
// exact in double and survives the rounding to float), (float)(j * d_2h)
// equals (float)(2j * d_h): the first half of an even harmonic's row is
// every other sample of the row of half that harmonic. The even samples of
// the rows that a later harmonic will need are kept for that.
class SineRows {
public:
    static constexpr int N = WaveTable::kSamplesPerLevel;
    static constexpr int kHalf = N / 2;

    explicit SineRows(int highest)
        : keptRows_(highest / 2 + 1),
          kept_(static_cast<std::size_t>(keptRows_) * kHalf),
          haveRow_(static_cast<std::size_t>(keptRows_), 0)
    {
    }

    // Whether a later harmonic reads harmonic h's row.
    bool keeps(int h) const { return h < keptRows_; }

    void fill(int h, float* row)
    {
        const float d = static_cast<float>(h * kTwoPi * (1.0 / 1024.0));
        int j = 0;
        if ((h & 1) == 0 && haveRow_[static_cast<std::size_t>(h / 2)]) {
            const float* half = kept_.data() + static_cast<std::size_t>(h / 2) * kHalf;
            for (; j < kHalf; ++j)
                row[j] = half[j];
        }
        fillSines(d, j, row);
        if (keeps(h)) {
            float* evens = kept_.data() + static_cast<std::size_t>(h) * kHalf;
            for (int k = 0; k < kHalf; ++k)
                evens[k] = row[2 * k];
            haveRow_[static_cast<std::size_t>(h)] = 1;
        }
    }

private:
    const int keptRows_;
    std::vector<float> kept_;
    std::vector<unsigned char> haveRow_;
};

// Adds the harmonics lo .. hi - 1 of every wave to its running sum.
void addHarmonics(int lo, int hi, const std::vector<float>& amplitudes, SineRows& sines, std::vector<float>& sums)
{
    constexpr int N = WaveTable::kSamplesPerLevel;
    float row[N];
    for (int h = lo < 1 ? 1 : lo; h < hi; ++h) {
        // A zero amplitude adds +0 or -0, which leaves a sum that is
        // never -0 unchanged; such harmonics are skipped.
        bool used = false;
        for (int w = 0; w < WaveTable::kWaveCount; ++w)
            used = used || amplitudes[static_cast<std::size_t>(w * N + h)] != 0.0f;
        if (!used && !sines.keeps(h))
            continue;
        sines.fill(h, row);
        for (int w = 0; w < WaveTable::kWaveCount; ++w) {
            const float a = amplitudes[static_cast<std::size_t>(w * N + h)];
            if (a == 0.0f)
                continue;
            float* sum = sums.data() + w * N;
            for (int k = 0; k < N; ++k)
                sum[k] += row[k] * a;
        }
    }
}

} // namespace

const int WaveTable::kLevelCount = computeLevelCount();
const int WaveTable::kWaveStride = WaveTable::kLevelCount * WaveTable::kSamplesPerLevel;

WaveTable::WaveTable() : samples_(static_cast<std::size_t>(kWaveCount) * static_cast<std::size_t>(kWaveStride), 0.0f)
{
    constexpr int N = kSamplesPerLevel;
    const LevelSteps steps = levelSteps(kLevelCount);

    // Each wave's running sum: level n is this sum after all harmonics below
    // the hi of its step, which is what copying each level down and adding
    // the next harmonics on top of it produces.
    std::vector<float> amplitudes(static_cast<std::size_t>(kWaveCount) * N);
    std::vector<float> sums(static_cast<std::size_t>(kWaveCount) * N, 0.0f);
    for (int w = 0; w < kWaveCount; ++w)
        fillSpectrum(w, amplitudes.data() + w * N);

    // From the top level down, each level adds its harmonics to the sums and
    // stores them; level 0 is a copy of level 1.
    SineRows sines(steps.highest);
    for (int n = kLevelCount - 1; n >= 1; --n) {
        const int hi = steps.hi[static_cast<std::size_t>(n)] < N ? steps.hi[static_cast<std::size_t>(n)] : N;
        addHarmonics(steps.lo[static_cast<std::size_t>(n)], hi, amplitudes, sines, sums);
        for (int w = 0; w < kWaveCount; ++w) {
            float* level = samples_.data() + static_cast<std::size_t>(w) * static_cast<std::size_t>(kWaveStride) +
                           static_cast<std::size_t>(n) * N;
            std::memcpy(level, sums.data() + w * N, sizeof(float) * N);
            if (n == 1)
                std::memcpy(level - N, level, sizeof(float) * N);
        }
    }
}

WaveTable::~WaveTable() = default;

std::shared_ptr<const WaveTable> WaveTable::shared()
{
    static std::mutex mutex;
    static std::weak_ptr<const WaveTable> current;
    std::lock_guard<std::mutex> lock(mutex);
    std::shared_ptr<const WaveTable> table = current.lock();
    if (!table) {
        // Not make_shared: the table's memory must go with the last instance,
        // not live on with the weak reference's control block.
        table = std::shared_ptr<const WaveTable>(new WaveTable());
        current = table;
    }
    return table;
}

const char* waveName(int index)
{
    if (index < 0 || index >= WaveTable::kWaveCount)
        return "";
    return kWaveNames[index];
}

} // namespace Vorn
