// Instances share nothing mutable: eight of them rendering on eight threads
// give the samples each gives alone. Only the wavetable is shared, read-only.

#include "InstanceScript.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

constexpr int kInstances = 8;

// A host loads the plug-in's library once and creates every instance from
// it. Loading it here first also keeps ThreadSanitizer from mistaking the
// library's static initialisation, which the dynamic loader's own lock
// orders before any other thread's use, for a race.
struct LibraryLoaded {
    TestHost host;
};

void expectSameSamples(const std::vector<float>& alone, const std::vector<float>& together, int seed)
{
    ASSERT_EQ(alone.size(), together.size()) << "seed " << seed;
    std::size_t first = alone.size();
    for (std::size_t i = 0; i < alone.size() && first == alone.size(); ++i)
        if (std::memcmp(&alone[i], &together[i], sizeof(float)) != 0)
            first = i;
    EXPECT_EQ(first, alone.size()) << "seed " << seed << " differs first at sample " << first;
}

} // namespace

TEST(Instances, EightRenderingInParallelSoundAsEachAlone)
{
    LibraryLoaded library;
    std::vector<std::vector<float>> alone;
    for (int seed = 0; seed < kInstances; ++seed) {
        alone.push_back(playAlone(seed));
        ASSERT_FALSE(alone.back().empty()) << "seed " << seed;
        float peak = 0.0f;
        for (float s : alone.back())
            peak = std::max(peak, std::fabs(s));
        ASSERT_GT(peak, 1e-3f) << "seed " << seed << " is silent, so it would prove nothing";
    }
    ASSERT_NE(alone[0], alone[1]);

    // Created, played and closed all at once.
    std::vector<std::vector<float>> together(kInstances);
    runTogether(kInstances, [&](int seed) { together[static_cast<std::size_t>(seed)] = playAlone(seed); });
    for (int seed = 0; seed < kInstances; ++seed)
        expectSameSamples(alone[static_cast<std::size_t>(seed)], together[static_cast<std::size_t>(seed)], seed);
}

TEST(Instances, OthersComingAndGoingDoNotDisturbOneThatPlays)
{
    LibraryLoaded library;
    const std::vector<float> alone = playAlone(3);
    ASSERT_FALSE(alone.empty());

    // Instance 0 plays; the others are created, rendered briefly and closed
    // over and over, so the shared table's owners come and go around it.
    std::atomic<bool> done{false};
    std::vector<float> played;
    runTogether(4, [&](int role) {
        if (role == 0) {
            played = playAlone(3);
            done = true;
            return;
        }
        while (!done.load()) {
            TestHost host;
            if (!startForScript(host, role))
                return;
            host.noteOn(60 + role);
            host.render(2048, 512);
            host.close();
        }
    });
    expectSameSamples(alone, played, 3);
}
