// A non-finite or absurd value on any parameter, however briefly, must not
// leave the instrument broken: once the value is back in range the output
// is finite and audible again within one second.

#include "SoakSupport.h"

#include <cmath>
#include <limits>

namespace {

const float kPoisons[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(), -1e30f, 1e30f};

class Recovery : public ::testing::TestWithParam<int> {};

} // namespace

TEST_P(Recovery, EveryPoisonOnThisIndexWearsOffWithinOneSecond)
{
    const int index = GetParam();
    const std::vector<float> defaults = defaultValues();
    ASSERT_GT(defaults.size(), static_cast<std::size_t>(index));

    TestHost host;
    ASSERT_NE(host.start(44100.0f, 256), nullptr) << host.error;
    // Effects on, so that every delay line and feedback path is heard.
    host.setParameter(47, 0.5f); // PhaserWet
    host.setParameter(51, 0.5f); // ChorusWet
    host.setParameter(55, 0.5f); // DelayWet
    host.setParameter(49, 0.5f); // ChorusFeedback
    for (const float poison : kPoisons) {
        host.sendMidi({{0x90, 45, 100}, {0x90, 57, 90}, {0x90, 64, 80}});
        host.render(4096, 256);
        host.setParameter(index, poison);
        host.render(4096, 256);
        host.setParameter(index, index == 47 || index == 49 || index == 51 || index == 55
                                     ? 0.5f
                                     : defaults[static_cast<std::size_t>(index)]);
        // The held notes go on, and fresh notes start.
        host.sendMidi({{0x80, 45, 0}, {0x80, 57, 0}, {0x80, 64, 0}, {0x90, 50, 100}, {0x90, 62, 100}});
        host.render(44100, 256);
        const Level level = measure(host.render(22050, 256));
        EXPECT_EQ(level.nonFinite, 0) << "index " << index << " after " << poison;
        EXPECT_GT(level.peak, 1e-3f) << "index " << index << " after " << poison;
        host.sendMidi({{0xB0, 123, 0}});
        host.render(22050, 256);
    }
    host.close();
}

INSTANTIATE_TEST_SUITE_P(AllParameters, Recovery, ::testing::Range(0, 56));
