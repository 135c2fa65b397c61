// Eight instances render on their own threads while the host's window thread
// opens, idles and closes each one's editor over and over: the sound of
// every instance stays exactly what it is without any window.

#include "InstanceScript.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kInstances = 8;

} // namespace

TEST(InstancesOnADisplay, EditorsOpeningAndClosingChangeNoInstancesSound)
{
    TestHost library; // the library stays loaded, as in a host
    std::vector<std::vector<float>> alone;
    for (int seed = 0; seed < kInstances; ++seed) {
        alone.push_back(playAlone(seed));
        ASSERT_FALSE(alone.back().empty()) << "seed " << seed;
    }

    std::vector<std::unique_ptr<TestHost>> hosts;
    for (int seed = 0; seed < kInstances; ++seed) {
        hosts.push_back(std::make_unique<TestHost>());
        ASSERT_TRUE(startForScript(*hosts.back(), seed));
    }
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "no X display (run under xvfb-run)";

    std::atomic<int> playing{kInstances};
    std::atomic<int> opened{0};
    std::vector<std::vector<float>> together(kInstances);
    runTogether(kInstances + 1, [&](int role) {
        if (role < kInstances) {
            together[static_cast<std::size_t>(role)] = playScript(*hosts[static_cast<std::size_t>(role)], role);
            --playing;
            return;
        }
        // The window thread: one parent window per editor, as a host makes.
        for (int round = 0; playing.load() > 0 || round < 2; ++round) {
            for (int i = 0; i < kInstances; ++i) {
                AEffect* effect = hosts[static_cast<std::size_t>(i)]->effect;
                Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 740, 520, 0, 0, 0);
                XMapWindow(display, parent);
                XFlush(display);
                if (effect->dispatcher(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(parent), 0.0f) != 0)
                    ++opened;
                for (int idle = 0; idle < 3; ++idle)
                    effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
                effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
                XDestroyWindow(display, parent);
                XFlush(display);
            }
        }
    });
    XCloseDisplay(display);
    for (auto& host : hosts)
        host->close();

    EXPECT_GE(opened.load(), 2 * kInstances);
    for (int seed = 0; seed < kInstances; ++seed) {
        const auto& a = alone[static_cast<std::size_t>(seed)];
        const auto& b = together[static_cast<std::size_t>(seed)];
        ASSERT_EQ(a.size(), b.size()) << "seed " << seed;
        EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0) << "seed " << seed;
    }
}
