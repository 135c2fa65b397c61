// The renderer against the fake instrument, in process: the fake honours
// deltaFrames and renders a sine from the exact frame of each note-on, so
// the audio must not depend on the block size, and pitch and timing can be
// checked sample by sample.

#include "host/MidiFile.h"
#include "host/Plugin.h"
#include "host/Renderer.h"
#include "host/Schedule.h"
#include "host/TempoMap.h"
#include "tests/host/MidiBuilder.h"
#include "tests/host/plugins/FakeSynthLog.h"

#include <cmath>
#include <dlfcn.h>
#include <gtest/gtest.h>

using namespace TarvelHost;

namespace {

struct MemorySink : AudioSink {
    std::vector<float> left, right;
    void write(const float* l, const float* r, int frames) override
    {
        left.insert(left.end(), l, l + frames);
        right.insert(right.end(), r, r + frames);
    }
};

FakeSynthLog* fakeLog()
{
    void* handle = dlopen(FAKE_SYNTH_PATH, RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr)
        return nullptr;
    auto get = reinterpret_cast<FakeSynthLogFunction>(dlsym(handle, "fakeSynthLog"));
    dlclose(handle);
    return get ? get() : nullptr;
}

struct Rendered {
    MemorySink sink;
    RenderResult result;
    FakeSynthLog log;
    std::vector<Plugin::Automation> automation;
};

Rendered renderSong(const std::vector<uint8_t>& bytes, int block, double tail = 0.1, double maxTail = 60.0)
{
    MidiFile song = MidiFile::parse(bytes.data(), bytes.size());
    TempoMap tempo(song, 48000);
    Schedule schedule(song, tempo);
    Rendered out;
    auto plugin = Plugin::load(FAKE_SYNTH_PATH);
    RenderSettings settings;
    settings.sampleRate = 48000;
    settings.blockSize = block;
    settings.tailSeconds = tail;
    settings.maxTailSeconds = maxTail;
    out.result = render(*plugin, tempo, schedule, settings, out.sink);
    FakeSynthLog* log = fakeLog();
    if (log != nullptr)
        out.log = *log;
    out.automation = plugin->automation();
    return out;
}

double midiFrequency(int key)
{
    return 440.0 * std::pow(2.0, (key - 69) / 12.0);
}

} // namespace

TEST(Render, BlockSizeDoesNotChangeTheAudio)
{
    Rendered reference = renderSong(sharedSong(), 512);
    ASSERT_EQ(reference.sink.left.size(), 144000u + 4800u);
    for (int block : {1, 16, 4096}) {
        Rendered other = renderSong(sharedSong(), block);
        ASSERT_EQ(other.sink.left.size(), reference.sink.left.size()) << "block " << block;
        std::size_t firstDifference = other.sink.left.size();
        for (std::size_t i = 0; i < other.sink.left.size(); ++i)
            if (other.sink.left[i] != reference.sink.left[i] || other.sink.right[i] != reference.sink.right[i]) {
                firstDifference = i;
                break;
            }
        EXPECT_EQ(firstDifference, other.sink.left.size()) << "block " << block;
    }
}

TEST(Render, PluginReceivesEventsAtTheirFramesWithTheTransport)
{
    Rendered r = renderSong(sharedSong(), 512);
    EXPECT_FLOAT_EQ(r.log.sampleRate, 48000.0f);
    EXPECT_EQ(r.log.blockSize, 512);
    EXPECT_FALSE(r.log.mainsOn); // switched off again after rendering
    EXPECT_EQ(r.log.hostVersion, 2400);
    EXPECT_EQ(r.log.hostSampleRate, 48000);
    EXPECT_EQ(r.log.hostBlockSize, 512);
    EXPECT_EQ(r.log.canDoTimeInfo, 1);
    EXPECT_EQ(r.log.canDoNonsense, 0);
    EXPECT_EQ(r.log.processLevel, 4); // offline rendering

    std::vector<int64_t> frames;
    for (const FakeSynthEvent& e : r.log.events) {
        frames.push_back(e.frame);
        EXPECT_GE(e.deltaFrames, 0);
        EXPECT_LT(e.deltaFrames, 512);
    }
    EXPECT_EQ(frames, (std::vector<int64_t>{0, 24000, 24000, 24000, 48000, 62400, 76800, 105600, 124800}));
    ASSERT_EQ(r.log.events.size(), 9u);
    EXPECT_TRUE(r.log.events[4].sysex);
    EXPECT_EQ(r.log.events[4].bytes, (std::vector<uint8_t>{0xF0, 0x7E, 0x01, 0xF7}));
    EXPECT_EQ(r.log.events[1].bytes, (std::vector<uint8_t>{0x90, 69, 0}));

    std::vector<uint8_t> bytes = sharedSong();
    MidiFile song = MidiFile::parse(bytes.data(), bytes.size());
    TempoMap map(song, 48000);
    ASSERT_FALSE(r.log.blocks.empty());
    for (const FakeSynthBlock& b : r.log.blocks) {
        ASSERT_TRUE(b.hadTime);
        EXPECT_DOUBLE_EQ(b.samplePos, static_cast<double>(b.start));
        EXPECT_DOUBLE_EQ(b.ppqPos, map.ppqAtFrame(b.start));
        EXPECT_TRUE(b.flags & kVstTransportPlaying);
        EXPECT_TRUE(b.flags & kVstPpqPosValid);
        EXPECT_TRUE(b.flags & kVstTempoValid);
        EXPECT_EQ((b.flags & kVstTransportChanged) != 0, b.start == 0);
    }
    // Tempo of the blocks that start in each section of the song.
    auto tempoAt = [&](int64_t frame) {
        for (const FakeSynthBlock& b : r.log.blocks)
            if (b.start <= frame && frame < b.start + b.frames)
                return b.tempo;
        return 0.0;
    };
    EXPECT_DOUBLE_EQ(tempoAt(1000), 120.0);
    EXPECT_DOUBLE_EQ(tempoAt(60000), 100.0);
    EXPECT_DOUBLE_EQ(tempoAt(110000), 150.0);
    // ppq 4 (frame 105600: two quarters at 120 BPM, two at 100) begins the second bar of 4/4.
    EXPECT_NEAR(r.log.blocks[105600 / 512 - 1].barStartPos, 0.0, 1e-9);
    EXPECT_NEAR(r.log.blocks[105600 / 512 + 1].barStartPos, 4.0, 1e-9);

    ASSERT_EQ(r.automation.size(), 1u);
    EXPECT_EQ(r.automation[0].index, 0);
    EXPECT_FLOAT_EQ(r.automation[0].value, 0.5f);
}

TEST(Render, NotesSoundAtTheirPitchFromTheirFrame)
{
    Rendered r = renderSong(sharedSong(), 512);
    const auto& left = r.sink.left;
    // Note 69, velocity 100, from frame 0 (gain parameter 0.5 = unity).
    for (std::size_t n = 0; n < 2000; ++n) {
        double expected = 0.1 * double(100 / 127.0f) * std::sin(2.0 * M_PI * 440.0 * double(n) / 48000.0);
        ASSERT_NEAR(left[n], expected, 1e-6) << "frame " << n;
        ASSERT_EQ(r.sink.right[n], -left[n]);
    }
    // Everything has died away before note 60 starts at frame 105600.
    EXPECT_EQ(left[105599], 0.0f);
    for (std::size_t n = 0; n < 2000; ++n) {
        double expected = 0.1 * double(110 / 127.0f) * std::sin(2.0 * M_PI * midiFrequency(60) * double(n) / 48000.0);
        ASSERT_NEAR(left[105600 + n], expected, 1e-6) << "frame " << 105600 + n;
    }
}

TEST(Render, TailRunsUntilTheOutputHasBeenSilentLongEnough)
{
    // A note still held at the end: the host releases it, the fake's decay
    // (0.999 a frame) rings past the song's end.
    TrackBuilder t;
    t.event(0, {0x90, 69, 127}).end(480); // 0.5 s at 120 BPM
    std::vector<uint8_t> song = midiFile(0, 480, {t});
    Rendered r = renderSong(song, 256, 0.25);
    const float threshold = 3.1622776e-5f;
    const auto& left = r.sink.left;
    ASSERT_GT(left.size(), 24000u + 12000u);
    std::size_t tail = 12000; // 0.25 s
    // The last 0.25 s are silent, and the frame before them is not.
    for (std::size_t i = left.size() - tail; i < left.size(); ++i)
        ASSERT_LT(std::fabs(left[i]), threshold) << i;
    std::size_t lastLoud = left.size() - tail - 1;
    EXPECT_GE(std::fabs(left[lastLoud]), threshold);
    EXPECT_GT(lastLoud, 24000u); // the release rang past the song's end

    // The tail limit cuts a render that would go on longer.
    Rendered capped = renderSong(song, 256, 10.0, 0.05);
    EXPECT_EQ(capped.sink.left.size(), 24000u + 2400u);
    EXPECT_EQ(capped.result.songFrames, 24000);
}
