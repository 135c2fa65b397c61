// One note held for a minute and released, at the settings that drive the
// effects' feedback loops hardest: every sample stays finite, the level
// stays bounded while the note is held and does not grow once it is
// released, and whatever may die away falls below -90 dBFS within 30 s.
// Rendered offline through the plug-in's ABI, as fast as it goes.

#include "SoakSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kHoldSeconds = 60;
constexpr int kReleaseSeconds = 30;
// Far above anything meant to be heard, far below where a loop that runs
// away ends up (it overflows to infinity within minutes).
constexpr float kBound = 1e4f;            // +80 dBFS
constexpr float kSilence = 3.1622776e-5f; // -90 dBFS

enum Index {
    kSaturatorDrive = 26,
    kAmplifierGain = 30,
    kPhaserCenter = 43,
    kPhaserFeedback = 44,
    kPhaserModDepth = 45,
    kPhaserModRate = 46,
    kPhaserWet = 47,
    kChorusFeedback = 49,
    kChorusWet = 51,
    kDelayFeedback = 52,
    kDelayWet = 55,
    kParameterCount = 56
};

using Settings = std::vector<std::pair<int, float>>;

// The peak of each second of a held note and its release.
struct HeldRun {
    long nonFinite = 0;
    std::vector<float> peaks; // kHoldSeconds of the note, then kReleaseSeconds

    float peak(int from, int to) const { return *std::max_element(peaks.begin() + from, peaks.begin() + to); }
    float overall() const { return peak(0, static_cast<int>(peaks.size())); }
    float heldEarly() const { return peak(10, 20); }
    float heldLate() const { return peak(kHoldSeconds - 10, kHoldSeconds); }
    float releasedEarly() const { return peak(kHoldSeconds, kHoldSeconds + 5); }
    float releasedLate() const { return peak(kHoldSeconds + kReleaseSeconds - 5, kHoldSeconds + kReleaseSeconds); }
    float last() const { return peaks.back(); }
};

HeldRun holdNote(const Settings& settings)
{
    TestHost host;
    HeldRun run;
    if (host.start(static_cast<float>(kRate), 512) == nullptr) {
        ADD_FAILURE() << host.error;
        return run;
    }
    host.timeInfo = steadyTransport(kRate);
    for (const auto& [index, value] : settings)
        host.setParameter(index, value);
    host.noteOn(48, 127);
    for (int second = 0; second < kHoldSeconds + kReleaseSeconds; ++second) {
        if (second == kHoldSeconds)
            host.noteOff(48);
        const Level level = measure(host.render(kRate, 512));
        run.nonFinite += level.nonFinite;
        run.peaks.push_back(level.peak);
    }
    host.close();
    return run;
}

std::string describe(const Settings& settings)
{
    std::string text;
    for (const auto& [index, value] : settings)
        text += " " + std::to_string(index) + "=" + std::to_string(value);
    return text;
}

float setting(const Settings& settings, int index)
{
    float value = 0.0f;
    for (const auto& [i, v] : settings)
        if (i == index)
            value = v;
    return value;
}

// A chorus or an echo at feedback 1 loses nothing on a pass: it keeps what
// it was given and may go on gathering what the effects before it still
// let out after the release.
bool repeatsForEver(const Settings& s)
{
    return (setting(s, kChorusFeedback) >= 1.0f && setting(s, kChorusWet) > 0.0f) ||
           (setting(s, kDelayFeedback) >= 1.0f && setting(s, kDelayWet) > 0.0f);
}

// Finite, under the bound, no louder late in the note than early on (a
// loop that feeds itself more than it loses grows by orders of magnitude
// in a minute), and no louder long after the release than just after it.
void expectBounded(const HeldRun& run, const Settings& settings)
{
    const std::string what = describe(settings);
    EXPECT_EQ(run.nonFinite, 0) << what;
    EXPECT_LT(run.overall(), kBound) << what;
    EXPECT_LE(run.heldLate(), 2.0f * run.heldEarly() + kSilence) << what;
    if (!repeatsForEver(settings)) {
        EXPECT_LE(run.releasedLate(), 1.01f * run.releasedEarly() + kSilence) << what;
    }
}

} // namespace

TEST(HeldNote, EveryPhaserKnobAtOneDiesAwayAfterTheRelease)
{
    // With the centre at its default, the sweep dips to the lowest break
    // frequency, where the loop is slowest; at 1 it is at its fastest.
    for (const float center : {0.15f, 1.0f}) {
        const Settings settings = {{kPhaserCenter, center},
                                   {kPhaserFeedback, 1.0f},
                                   {kPhaserModDepth, 1.0f},
                                   {kPhaserModRate, 1.0f},
                                   {kPhaserWet, 1.0f}};
        const HeldRun run = holdNote(settings);
        expectBounded(run, settings);
        EXPECT_LT(run.last(), kSilence) << describe(settings);
    }
}

TEST(HeldNote, EveryFeedbackAtOneWithDriveAndGainStaysBounded)
{
    // The echo at feedback 1 repeats for ever: bounded, but never silent.
    for (const float sweep : {0.25f, 1.0f}) {
        const Settings settings = {{kSaturatorDrive, 1.0f},  {kAmplifierGain, 1.0f},  {kPhaserFeedback, 1.0f},
                                   {kPhaserModDepth, sweep}, {kPhaserModRate, sweep}, {kPhaserWet, 1.0f},
                                   {kChorusFeedback, 1.0f},  {kChorusWet, 1.0f},      {kDelayFeedback, 1.0f},
                                   {kDelayWet, 1.0f}};
        expectBounded(holdNote(settings), settings);
    }
}

TEST(HeldNote, SeededRandomSettingsStayBoundedAndDieAway)
{
    // Every parameter: exactly 0 or exactly 1 a third of the time each,
    // anything in between otherwise.
    for (unsigned seed = 1; seed <= 6; ++seed) {
        std::mt19937 rng(seed);
        Settings settings;
        for (int i = 0; i < kParameterCount; ++i) {
            const auto pick = rng() % 3;
            settings.emplace_back(i, pick == 0   ? 0.0f
                                     : pick == 1 ? 1.0f
                                                 : std::uniform_real_distribution<float>(0.0f, 1.0f)(rng));
        }
        expectBounded(holdNote(settings), settings);

        // Once the echo is out of the output (its repeats fade as slowly
        // as its feedback says, and at 1 never), the rest falls silent,
        // unless the chorus repeats for ever too.
        settings[kDelayWet].second = 0.0f;
        const HeldRun run = holdNote(settings);
        expectBounded(run, settings);
        if (!repeatsForEver(settings)) {
            EXPECT_LT(run.last(), kSilence) << "seed " << seed << describe(settings);
        }
    }
}
