// Note handling and processing as the host drives it, through the ABI.

#include "support/TestHost.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

double rms(const std::vector<float>& x, std::size_t from = 0, std::size_t to = SIZE_MAX)
{
    to = std::min(to, x.size());
    double sum = 0.0;
    for (std::size_t i = from; i < to; ++i)
        sum += double(x[i]) * double(x[i]);
    return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}

class Playing : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(host.start(), nullptr) << host.error; }
    TestHost host;
};

} // namespace

TEST_F(Playing, SilentUntilANoteAndBothOutputsIdentical)
{
    std::vector<float> left, right;
    host.process(512, left, right);
    EXPECT_EQ(rms(left), 0.0);
    host.noteOn(69, 100, 9); // channel 10 plays like channel 1
    host.process(4096, left, right);
    EXPECT_GT(rms(left), 0.01);
    EXPECT_EQ(left, right);
}

TEST_F(Playing, VelocityZeroReleasesLikeNoteOff)
{
    auto play = [&](bool zeroVelocity) {
        TestHost h;
        h.start();
        h.setParameter(3, 0.1f); // a short release
        h.noteOn(60);
        h.render(2048);
        if (zeroVelocity)
            h.sendMidi({{0x90, 60, 0}});
        else
            h.noteOff(60);
        return h.render(44100);
    };
    std::vector<float> viaZero = play(true), viaOff = play(false);
    EXPECT_EQ(viaZero, viaOff);
    EXPECT_EQ(rms(viaZero, 40000), 0.0);
}

TEST_F(Playing, PitchBendAndSustainPedalChangeNothing)
{
    auto play = [&](bool extra) {
        TestHost h;
        h.start();
        h.noteOn(64);
        if (extra)
            h.sendMidi({{0xE0, 0x00, 0x7F}, {0xB0, 64, 127}, {0xC0, 5, 0}, {0xD0, 40, 0}});
        return h.render(4096);
    };
    EXPECT_EQ(play(true), play(false));
}

TEST_F(Playing, AllNotesOffControllersReleaseEveryVoice)
{
    for (int controller : {123, 126}) {
        TestHost h;
        h.start();
        h.noteOn(60);
        h.noteOn(64);
        h.render(1024);
        h.controller(controller, 0);
        std::vector<float> tail = h.render(8192);
        EXPECT_EQ(rms(tail, 4096), 0.0) << "controller " << controller;
    }
    // Any other controller leaves the notes sounding.
    host.noteOn(60);
    host.render(1024);
    host.controller(7, 0);
    EXPECT_GT(rms(host.render(8192), 4096), 0.01);
}

TEST_F(Playing, SysExAndForeignEventsAreSkipped)
{
    char dump[4] = {char(0xF0), 0x7E, 0x01, char(0xF7)};
    VstMidiSysexEvent sysex{};
    sysex.type = kVstSysExType;
    sysex.byteSize = sizeof sysex;
    sysex.dumpBytes = 4;
    sysex.sysexDump = dump;
    struct {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[1];
    } list{1, 0, {reinterpret_cast<VstEvent*>(&sysex)}};
    EXPECT_EQ(host.dispatch(effProcessEvents, 0, 0, &list), 1);
    EXPECT_EQ(rms(host.render(1024)), 0.0);
}

TEST_F(Playing, TwoNotesInOneListBothSoundFromTheFirstSample)
{
    TestHost single;
    single.start();
    single.noteOn(60);
    std::vector<float> one = single.render(64, 64);
    host.sendMidi({{0x90, 60, 100}, {0x90, 67, 100}});
    std::vector<float> two = host.render(64, 64);
    ASSERT_EQ(one.size(), two.size());
    // The second note changes the very first samples already.
    EXPECT_NE(one[1], two[1]);
}

TEST_F(Playing, BlockSizeDoesNotChangeTheSound)
{
    // Events land at block starts, so blocks that are multiples of the
    // sub-block render identically to one big block.
    auto play = [&](int block) {
        TestHost h;
        h.start(44100.0f, block);
        h.noteOn(57);
        h.setParameter(25, 0.4f);
        return h.render(8192, block);
    };
    const std::vector<float> reference = play(4096);
    EXPECT_EQ(play(16), reference);
    EXPECT_EQ(play(512), reference);
    EXPECT_EQ(play(40), reference); // 16 + 16 + 8 per block
}

TEST_F(Playing, ParameterSetBetweenBlocksIsHeardFromTheNextBlock)
{
    auto play = [&](bool change) {
        TestHost h;
        h.start();
        h.noteOn(60);
        std::vector<float> first = h.render(512);
        if (change)
            h.setParameter(30, 0.1f); // AmplifierGain
        std::vector<float> second = h.render(512);
        first.insert(first.end(), second.begin(), second.end());
        return first;
    };
    std::vector<float> same = play(false), changed = play(true);
    for (std::size_t i = 0; i < 512; ++i)
        ASSERT_EQ(same[i], changed[i]);
    EXPECT_NE(same[512], changed[512]);
}

TEST_F(Playing, ZeroSampleRateRendersSilenceWithoutCrashing)
{
    host.noteOn(60);
    host.dispatch(effSetSampleRate, 0, 0, nullptr, 0.5f);
    std::vector<float> out = host.render(512);
    EXPECT_EQ(rms(out), 0.0);
    host.dispatch(effSetSampleRate, 0, 0, nullptr, std::nanf(""));
    EXPECT_EQ(rms(host.render(512)), 0.0);
    host.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    EXPECT_GT(rms(host.render(4096)), 0.0);
}

TEST_F(Playing, TransportIsAskedForWithTheTempoAndPositionFilter)
{
    host.clearCalls();
    host.render(100, 50);
    EXPECT_EQ(host.count(audioMasterGetTime), 2);
    host.provideTime = false; // a host without transport is fine too
    host.noteOn(60);
    EXPECT_GT(rms(host.render(2048)), 0.0);
}
