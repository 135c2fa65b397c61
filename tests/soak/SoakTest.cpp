// Hours of audio through the plug-in's ABI while several threads throw
// hostile traffic at it, as a careless or broken host might: MIDI of every
// kind on all channels, non-finite and absurd parameter values on every
// index and beyond, program switches and chunk loads (valid, truncated,
// random) while notes sound, sample-rate and block-size changes, and a
// transport with tempo 0, negative and huge positions.
//
// The storm runs for TARVEL_SOAK_SECONDS of wall time (150 by default) or
// until TARVEL_SOAK_AUDIO_SECONDS of audio have been rendered (two hours by
// default), whichever comes first. No block may hold a NaN or an infinity.
// Afterwards the plug-in must still hand out chunks that load intact into a
// fresh instance, and once its values are back in range it must sound again
// within one second.
//
// A second storm, a fifth as long, keeps every value inside 0..1, with the
// exact ends 0 and 1 on every parameter again and again: the output stays
// bounded throughout, and once the notes are released the instrument falls
// silent.

#include "SoakSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Counters {
    std::atomic<float> peak{0.0f}; // of the finite samples
    std::atomic<long long> frames{0};
    std::atomic<double> audioSeconds{0.0};
    std::atomic<long long> blocks{0};
    std::atomic<long long> nonFiniteBlocks{0};
    std::atomic<long long> events{0};
    std::atomic<long long> parameterWrites{0};
    std::atomic<long long> programSwitches{0};
    std::atomic<long long> chunkLoads{0};
    std::atomic<long long> queries{0};
    std::atomic<long long> rateChanges{0};
    std::atomic<int> failures{0};
};

// Records a failed expectation from a worker thread; gtest's assertions
// are only reliable on the main thread here.
void fail(Counters& counters, const char* what)
{
    if (counters.failures.fetch_add(1) < 20)
        std::fprintf(stderr, "soak: %s\n", what);
}

const float kHostileValues[] = {std::numeric_limits<float>::quiet_NaN(),
                                -std::numeric_limits<float>::quiet_NaN(),
                                std::numeric_limits<float>::infinity(),
                                -std::numeric_limits<float>::infinity(),
                                -1e30f,
                                1e30f,
                                std::numeric_limits<float>::max(),
                                std::numeric_limits<float>::denorm_min(),
                                -0.0f,
                                -1.0f,
                                2.0f};

// Inside 0..1, the exact ends half of the time.
float inRangeValue(std::mt19937& rng)
{
    const unsigned pick = rng() % 4;
    if (pick < 2)
        return static_cast<float>(pick);
    return std::uniform_real_distribution<float>(0.0f, 1.0f)(rng);
}

float hostileValue(std::mt19937& rng)
{
    const unsigned pick = rng() % 4;
    if (pick == 0)
        return kHostileValues[rng() % (sizeof kHostileValues / sizeof kHostileValues[0])];
    if (pick == 1)
        return std::uniform_real_distribution<float>(-3.0f, 4.0f)(rng);
    return inRangeValue(rng);
}

int hostileIndex(std::mt19937& rng, int count)
{
    static const int kOutside[] = {
        -1, -2, -1000, 56, 57, 1000, std::numeric_limits<int>::max(), std::numeric_limits<int>::min()};
    if (rng() % 8 == 0)
        return kOutside[rng() % (sizeof kOutside / sizeof kOutside[0])];
    return static_cast<int>(rng() % static_cast<unsigned>(count));
}

// The audio thread: MIDI, blocks of every size, rate changes while stopped,
// and a transport that jumps about.
void audioThread(TestHost& host, Counters& counters, const std::atomic<bool>& stop, unsigned seed)
{
    std::mt19937 rng(seed);
    HostileMidi midi(seed + 1);
    std::vector<float> left, right;
    static const float kRates[] = {8000.0f,  11025.0f, 16000.0f, 22050.0f,  32000.0f, 44100.0f,
                                   48000.0f, 88200.0f, 96000.0f, 176400.0f, 192000.0f};
    while (!stop.load(std::memory_order_relaxed)) {
        if (rng() % 200 == 0) {
            // A host changes the rate only while processing is switched off.
            const float rate = rng() % 2 ? kRates[rng() % (sizeof kRates / sizeof kRates[0])]
                                         : std::uniform_real_distribution<float>(8000.0f, 192000.0f)(rng);
            const int block = 1 << (rng() % 14);
            host.dispatch(effMainsChanged, 0, 0);
            host.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
            host.dispatch(effSetBlockSize, 0, block);
            host.dispatch(effMainsChanged, 0, 1);
            counters.rateChanges.fetch_add(1, std::memory_order_relaxed);
        }
        if (rng() % 50 == 0)
            scrambleTransport(host.timeInfo, rng);

        counters.events.fetch_add(midi.deliver(host), std::memory_order_relaxed);

        // Block sizes from 1 to 8192, spread evenly over the octaves.
        const int octave = static_cast<int>(rng() % 14);
        const int frames = std::min(8192, (1 << octave) + static_cast<int>(rng() % (1u << octave)));
        host.process(frames, left, right);
        bool finite = true;
        float peak = counters.peak.load(std::memory_order_relaxed);
        for (int i = 0; i < frames; ++i) {
            const float x = left[static_cast<std::size_t>(i)];
            finite = finite && std::isfinite(x);
            if (std::isfinite(x))
                peak = std::max(peak, std::fabs(x));
        }
        counters.peak.store(peak, std::memory_order_relaxed);
        if (std::memcmp(left.data(), right.data(), sizeof(float) * static_cast<std::size_t>(frames)) != 0)
            fail(counters, "the two outputs differ");
        if (!finite)
            counters.nonFiniteBlocks.fetch_add(1, std::memory_order_relaxed);
        counters.blocks.fetch_add(1, std::memory_order_relaxed);
        counters.frames.fetch_add(frames, std::memory_order_relaxed);
        const double rate = host.timeInfo.sampleRate;
        counters.audioSeconds.store(counters.audioSeconds.load(std::memory_order_relaxed) + frames / rate,
                                    std::memory_order_relaxed);
    }
}

// A host thread writing parameters, including out-of-range indices.
void parameterThread(TestHost& host, Counters& counters, const std::atomic<bool>& stop, unsigned seed)
{
    std::mt19937 rng(seed);
    const int count = host.effect->numParams;
    while (!stop.load(std::memory_order_relaxed)) {
        for (int k = 0; k < 64; ++k) {
            const int index = hostileIndex(rng, count);
            host.setParameter(index, hostileValue(rng));
            (void)host.getParameter(index);
        }
        counters.parameterWrites.fetch_add(64, std::memory_order_relaxed);
        // Every index at once, to the values most likely to poison a state
        // or to drive every loop hardest.
        if (rng() % 100 == 0) {
            const unsigned pick = rng() % 8;
            const float value = pick < 6 ? kHostileValues[pick] : static_cast<float>(pick - 6);
            for (int i = 0; i < count; ++i)
                host.setParameter(i, value);
            counters.parameterWrites.fetch_add(count, std::memory_order_relaxed);
        }
        std::this_thread::yield();
    }
}

// A host thread writing values inside 0..1 only: the exact ends on single
// indices and on every index at once, anything in between otherwise.
void inRangeParameterThread(TestHost& host, Counters& counters, const std::atomic<bool>& stop, unsigned seed)
{
    std::mt19937 rng(seed);
    const int count = host.effect->numParams;
    while (!stop.load(std::memory_order_relaxed)) {
        for (int k = 0; k < 64; ++k)
            host.setParameter(static_cast<int>(rng() % static_cast<unsigned>(count)), inRangeValue(rng));
        counters.parameterWrites.fetch_add(64, std::memory_order_relaxed);
        if (rng() % 50 == 0) {
            const float value = static_cast<float>(rng() % 2);
            for (int i = 0; i < count; ++i)
                host.setParameter(i, value);
            counters.parameterWrites.fetch_add(count, std::memory_order_relaxed);
        }
        std::this_thread::yield();
    }
}

// Host threads hammering one plug-in at once, until TARVEL_SOAK_SECONDS of
// wall time (150) or TARVEL_SOAK_AUDIO_SECONDS of audio (7200) are used up,
// each divided by `share`; the threads' seeds count from TARVEL_SOAK_SEED
// plus `seedOffset`.
class Storm {
public:
    using Thread = void (*)(TestHost&, Counters&, const std::atomic<bool>&, unsigned);

    Storm(TestHost& host, double share, unsigned seedOffset)
        : host_(host),
          wallLimit_(environmentNumber("TARVEL_SOAK_SECONDS", 150.0) / share),
          audioTarget_(environmentNumber("TARVEL_SOAK_AUDIO_SECONDS", 7200.0) / share),
          seed_(static_cast<unsigned>(environmentNumber("TARVEL_SOAK_SEED", 20261207.0)) + seedOffset)
    {
    }

    // Starts a thread at once; its seed is the storm's plus `seedOffset`.
    void add(Thread thread, unsigned seedOffset)
    {
        threads_.emplace_back(thread, std::ref(host_), std::ref(counters), std::cref(stop_), seed_ + seedOffset);
    }

    // Lets the threads run, with a watchdog: the audio thread must keep
    // finishing blocks. False when it stalled; the threads are then left
    // running (and the test ends there).
    bool run()
    {
        const auto start = Clock::now();
        long long lastBlocks = -1;
        auto lastProgress = start;
        bool stalled = false;
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const auto now = Clock::now();
            const long long blocks = counters.blocks.load();
            if (blocks != lastBlocks) {
                lastBlocks = blocks;
                lastProgress = now;
            } else if (now - lastProgress > std::chrono::seconds(30)) {
                stalled = true;
                break;
            }
            const double elapsed = std::chrono::duration<double>(now - start).count();
            if (elapsed >= wallLimit_ || counters.audioSeconds.load() >= audioTarget_)
                break;
        }
        stop_ = true;
        if (stalled)
            return false;
        for (auto& t : threads_)
            t.join();
        return true;
    }

    Counters counters;

private:
    TestHost& host_;
    const double wallLimit_, audioTarget_;
    const unsigned seed_;
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

// A host thread switching programs and loading chunks while notes sound.
void programThread(TestHost& host, Counters& counters, const std::atomic<bool>& stop, unsigned seed)
{
    std::mt19937 rng(seed);
    while (!stop.load(std::memory_order_relaxed)) {
        const unsigned what = rng() % 8;
        if (what < 3) {
            host.dispatch(effSetProgram, 0, static_cast<int>(rng() % 40) - 4);
            const VstIntPtr program = host.dispatch(effGetProgram);
            if (program < 0 || program >= 32)
                fail(counters, "effGetProgram answered outside 0..31");
            counters.programSwitches.fetch_add(1, std::memory_order_relaxed);
        } else if (what == 3) {
            char name[kVstMaxProgNameLen + 1];
            for (char& c : name)
                c = static_cast<char>(rng() % 256);
            name[kVstMaxProgNameLen] = 0;
            host.dispatch(effSetProgramName, 0, 0, name);
        } else {
            const bool isPreset = rng() % 2 == 0;
            void* data = nullptr;
            const VstIntPtr size = host.dispatch(effGetChunk, isPreset ? 1 : 0, 0, &data);
            if (size <= 0 || data == nullptr) {
                fail(counters, "effGetChunk answered no chunk");
                continue;
            }
            std::vector<uint8_t> chunk(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
            mangleChunk(chunk, rng);
            host.dispatch(effSetChunk, isPreset ? 1 : 0, static_cast<VstIntPtr>(chunk.size()),
                          chunk.empty() ? nullptr : chunk.data());
            counters.chunkLoads.fetch_add(1, std::memory_order_relaxed);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

// A host thread asking the questions hosts ask all the time.
void queryThread(TestHost& host, Counters& counters, const std::atomic<bool>& stop, unsigned seed)
{
    std::mt19937 rng(seed);
    const int count = host.effect->numParams;
    while (!stop.load(std::memory_order_relaxed)) {
        if (const char* wrong = answersQueries(host, rng, count))
            fail(counters, wrong);
        counters.queries.fetch_add(1, std::memory_order_relaxed);
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

} // namespace

TEST(Soak, HostileTrafficFromSeveralThreads)
{
    TestHost host;
    ASSERT_NE(host.start(44100.0f, 512), nullptr) << host.error;
    Storm storm(host, 1.0, 0);
    storm.add(audioThread, 0);
    storm.add(parameterThread, 10);
    storm.add(parameterThread, 20);
    storm.add(programThread, 30);
    storm.add(queryThread, 40);
    const Counters& counters = storm.counters;

    const auto start = Clock::now();
    ASSERT_TRUE(storm.run()) << "the audio thread stopped finishing blocks";
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

    std::printf("soak: %.1f s wall, %.3f h of audio (%lld frames, %lld blocks, %lld with non-finite output)\n", elapsed,
                counters.audioSeconds.load() / 3600.0, counters.frames.load(), counters.blocks.load(),
                counters.nonFiniteBlocks.load());
    std::printf("soak: %lld MIDI events, %lld parameter writes, %lld program switches, %lld chunk loads, "
                "%lld query rounds, %lld rate changes\n",
                counters.events.load(), counters.parameterWrites.load(), counters.programSwitches.load(),
                counters.chunkLoads.load(), counters.queries.load(), counters.rateChanges.load());
    EXPECT_EQ(counters.failures.load(), 0);
    EXPECT_GT(counters.blocks.load(), 0);
    EXPECT_EQ(counters.nonFiniteBlocks.load(), 0);

    // Whatever the storm left in the store travels through chunks intact.
    host.timeInfo = steadyTransport(44100.0);
    for (const bool isPreset : {true, false})
        expectChunkRoundTrip(host, isPreset);

    // Back in range, the instrument sounds again within one second.
    expectRecoversAfterDefaults(host, true);
    expectRecoversAfterDefaults(host, false);
    host.close();
}

TEST(Soak, InRangeExtremesStayBoundedAndFallSilent)
{
    TestHost host;
    ASSERT_NE(host.start(44100.0f, 512), nullptr) << host.error;
    Storm storm(host, 5.0, 1000);
    storm.add(audioThread, 0);
    storm.add(inRangeParameterThread, 10);
    storm.add(inRangeParameterThread, 20);
    storm.add(queryThread, 40);
    const Counters& counters = storm.counters;
    ASSERT_TRUE(storm.run()) << "the audio thread stopped finishing blocks";
    std::printf("soak: %.3f h of audio at values inside 0..1, %lld parameter writes, peak %.1f dBFS\n",
                counters.audioSeconds.load() / 3600.0, counters.parameterWrites.load(),
                20.0 * std::log10(static_cast<double>(std::max(counters.peak.load(), 1e-30f))));
    EXPECT_EQ(counters.failures.load(), 0);
    EXPECT_GT(counters.blocks.load(), 0);
    EXPECT_EQ(counters.nonFiniteBlocks.load(), 0);
    // Bounded: a loop that runs away passes this on its way to overflow.
    // The loudest that in-range settings reach stays far below it, though it
    // is loud: a phaser near its feedback limit raises a constant offset
    // (ring modulation makes one) five hundredfold, a chorus just below 1 a
    // hundredfold more, and six voices add up.
    EXPECT_LT(counters.peak.load(), 1e8f) << "+160 dBFS";

    // Every note released, and the loops driven hard but able to let go:
    // whatever the storm left in the voices, lines and sections dies away.
    host.dispatch(effMainsChanged, 0, 0);
    host.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    host.dispatch(effSetBlockSize, 0, 512);
    host.dispatch(effMainsChanged, 0, 1);
    host.timeInfo = steadyTransport(44100.0);
    host.sendMidi({{0xB0, 123, 0}});
    const std::pair<int, float> letGo[] = {{43, 1.0f}, {44, 1.0f}, {45, 1.0f}, {46, 1.0f}, {47, 1.0f}, {49, 0.9f},
                                           {51, 1.0f}, {52, 0.5f}, {53, 0.0f}, {54, 0.1f}, {55, 1.0f}};
    for (const auto& [index, value] : letGo)
        host.setParameter(index, value);
    renderSeconds(host, 29.0);
    const Level last = measure(renderSeconds(host, 1.0));
    EXPECT_EQ(last.nonFinite, 0);
    EXPECT_LT(last.peak, 3.1622776e-5f) << "not below -90 dBFS 30 s after the release";
    host.close();
}
