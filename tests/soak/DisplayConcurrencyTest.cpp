// Display texts are asked for on the host's threads while the audio thread
// refreshes the live values. The LFO speed and the delay time show the
// sync mode and time as they play now, so their formatting reads live
// values; under ThreadSanitizer that must not be a race.

#include "SoakSupport.h"

#include <atomic>
#include <cstring>
#include <thread>

TEST(Concurrency, DisplayTextsWhileTheAudioThreadRefreshesLiveValues)
{
    TestHost host;
    ASSERT_NE(host.start(44100.0f, 64), nullptr) << host.error;
    const int lfoSpeed = 9, lfoSync = 10, delaySync = 53, delayTime = 54;
    host.noteOn(60);

    std::atomic<bool> stop{false}, asking{false};
    std::thread audio([&] {
        // Not before the texts are being asked for: on a loaded machine the
        // blocks could otherwise all be done before the first question.
        while (!asking.load())
            std::this_thread::yield();
        std::vector<float> left, right;
        for (int block = 0; block < 3000; ++block)
            host.process(64, left, right);
        stop = true;
    });
    long texts = 0;
    bool allNonEmpty = true;
    asking = true;
    for (int k = 0; !stop.load(); ++k) {
        host.setParameter(lfoSync, k % 2 ? 1.0f : 0.0f);
        host.setParameter(delaySync, k % 3 ? 1.0f : 0.0f);
        host.setParameter(delayTime, static_cast<float>(k % 100) / 100.0f);
        for (int index : {lfoSpeed, delayTime}) {
            allNonEmpty = allNonEmpty && !host.parameterDisplay(index).empty();
            ++texts;
        }
    }
    audio.join();
    EXPECT_TRUE(allNonEmpty);
    EXPECT_GT(texts, 0);
    host.close();
}
