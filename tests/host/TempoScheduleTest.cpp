#include "host/MidiFile.h"
#include "host/Schedule.h"
#include "host/TempoMap.h"
#include "tests/host/MidiBuilder.h"

#include <gtest/gtest.h>

using namespace TarvelHost;

namespace {

MidiFile shared()
{
    std::vector<uint8_t> bytes = sharedSong();
    return MidiFile::parse(bytes.data(), bytes.size());
}

} // namespace

TEST(TempoMap, TicksBecomeExactFramesAcrossTempoChanges)
{
    MidiFile song = shared();
    TempoMap map(song, 48000);
    EXPECT_EQ(map.frameAtTick(0), 0);
    EXPECT_EQ(map.frameAtTick(480), 24000); // 120 BPM
    EXPECT_EQ(map.frameAtTick(960), 48000);
    EXPECT_EQ(map.frameAtTick(1200), 62400); // 100 BPM: 60 frames a tick
    EXPECT_EQ(map.frameAtTick(1920), 105600);
    EXPECT_EQ(map.frameAtTick(2400), 124800); // 150 BPM: 40 frames a tick
    EXPECT_EQ(map.frameAtTick(2880), 144000);
    EXPECT_DOUBLE_EQ(map.secondsAtTick(2880), 3.0);

    // 44.1 kHz does not divide evenly: one tick at 120 BPM is 45.9375 frames,
    // rounded to the nearest frame from the exact position, never accumulated.
    TempoMap cd(song, 44100);
    EXPECT_EQ(cd.frameAtTick(1), 46);
    EXPECT_EQ(cd.frameAtTick(3), 138);      // 137.8125
    EXPECT_EQ(cd.frameAtTick(1200), 57330); // 1.3 s
    EXPECT_EQ(cd.frameAtTick(1201), 57385); // 1.30125 s = 57385.125 frames
}

TEST(TempoMap, TransportFollowsTheTempoMap)
{
    MidiFile song = shared();
    TempoMap map(song, 48000);
    VstTimeInfo start = map.timeInfo(0, true);
    EXPECT_DOUBLE_EQ(start.ppqPos, 0.0);
    EXPECT_DOUBLE_EQ(start.tempo, 120.0);
    EXPECT_EQ(start.flags & (kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid),
              kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid);
    EXPECT_EQ(map.timeInfo(0, false).flags & kVstTransportPlaying, 0);

    VstTimeInfo slow = map.timeInfo(62400, true); // tick 1200
    EXPECT_DOUBLE_EQ(slow.samplePos, 62400.0);
    EXPECT_DOUBLE_EQ(slow.sampleRate, 48000.0);
    EXPECT_NEAR(slow.ppqPos, 2.5, 1e-12);
    EXPECT_DOUBLE_EQ(slow.tempo, 100.0);
    EXPECT_NEAR(map.timeInfo(124800, true).ppqPos, 5.0, 1e-12);
    EXPECT_DOUBLE_EQ(map.timeInfo(124800, true).tempo, 150.0);
    // Past the song the last tempo continues.
    EXPECT_NEAR(map.ppqAtFrame(144000 + 19200), 7.0, 1e-12);

    // Bars in 4/4 by default: ppq 5 lies in the bar that starts at 4.
    EXPECT_EQ(slow.timeSigNumerator, 4);
    EXPECT_NEAR(map.timeInfo(124800, true).barStartPos, 4.0, 1e-12);
}

TEST(TempoMap, TimeSignatureChangesMoveTheBarLines)
{
    TrackBuilder t;
    t.event(0, {0xFF, 0x58, 4, 3, 2, 24, 8})      // 3/4 from the start
        .event(960, {0xFF, 0x58, 4, 6, 3, 24, 8}) // 6/8 from ppq 2 (mid-bar, as files allow)
        .end(4800);
    std::vector<uint8_t> bytes = midiFile(0, 480, {t});
    MidiFile song = MidiFile::parse(bytes.data(), bytes.size());
    TempoMap map(song, 48000);
    VstTimeInfo a = map.timeInfo(map.frameAtTick(480), true); // ppq 1 in 3/4
    EXPECT_EQ(a.timeSigNumerator, 3);
    EXPECT_EQ(a.timeSigDenominator, 4);
    EXPECT_NEAR(a.barStartPos, 0.0, 1e-12);
    VstTimeInfo b = map.timeInfo(map.frameAtTick(480 * 6), true); // ppq 6: 6/8 bars of 3 quarters from 2
    EXPECT_EQ(b.timeSigNumerator, 6);
    EXPECT_EQ(b.timeSigDenominator, 8);
    EXPECT_NEAR(b.barStartPos, 5.0, 1e-12);
}

TEST(TempoMap, SmpteFilesUseWallClockTicks)
{
    TrackBuilder t;
    t.event(0, {0x90, 60, 1}).event(1000, {0x80, 60, 0}).end();
    std::vector<uint8_t> bytes = midiFile(0, 0xE728, {t}); // 25 fps × 40 = 1000 ticks a second
    MidiFile song = MidiFile::parse(bytes.data(), bytes.size());
    TempoMap map(song, 44100);
    EXPECT_EQ(map.frameAtTick(1000), 44100);
    EXPECT_EQ(map.frameAtTick(1), 44);
    EXPECT_NEAR(map.ppqAtFrame(44100), 2.0, 1e-12); // default 120 BPM
}

TEST(Schedule, PlacesEventsAndReleasesNotesLeftHeld)
{
    TrackBuilder t;
    t.event(0, {0x90, 60, 100})
        .event(0, {0x91, 60, 100})
        .event(0, {0x90, 62, 100})
        .event(480, {0x80, 62, 0})
        .event(0, {0xB0, 1, 5})
        .end(480);
    std::vector<uint8_t> bytes = midiFile(0, 480, {t});
    MidiFile song = MidiFile::parse(bytes.data(), bytes.size());
    TempoMap map(song, 48000);
    Schedule schedule(song, map);
    EXPECT_EQ(schedule.endFrame(), 48000);
    const auto& ev = schedule.events();
    ASSERT_EQ(ev.size(), 7u);
    EXPECT_EQ(ev[3].frame, 24000);
    // Notes 60 on channels 1 and 2 never end in the file; they are released at the end.
    EXPECT_EQ(ev[5].frame, 48000);
    EXPECT_EQ(ev[5].bytes, (std::vector<uint8_t>{0x80, 60, 0}));
    EXPECT_EQ(ev[6].bytes, (std::vector<uint8_t>{0x81, 60, 0}));
}

TEST(Schedule, BlockEventsCarryDeltaFramesWithinTheirBlock)
{
    MidiFile song = shared();
    TempoMap map(song, 48000);
    Schedule schedule(song, map);
    for (int block : {1, 7, 512, 4096, 8192}) {
        BlockEvents blocks(schedule, block);
        std::vector<int64_t> frames;
        for (int64_t start = 0; start < schedule.endFrame() + block; start += block) {
            VstEvents* list = blocks.next(start, block);
            auto** events = reinterpret_cast<VstEvent**>(reinterpret_cast<char*>(list) + 16);
            for (int i = 0; i < list->numEvents; ++i) {
                ASSERT_GE(events[i]->deltaFrames, 0);
                ASSERT_LT(events[i]->deltaFrames, block);
                frames.push_back(start + events[i]->deltaFrames);
                if (frames.size() == 5) {
                    ASSERT_EQ(events[i]->type, kVstSysExType);
                    auto* sysex = reinterpret_cast<VstMidiSysexEvent*>(events[i]);
                    ASSERT_EQ(sysex->dumpBytes, 4);
                    EXPECT_EQ(static_cast<uint8_t>(sysex->sysexDump[0]), 0xF0);
                } else {
                    ASSERT_EQ(events[i]->type, kVstMidiType);
                }
            }
        }
        EXPECT_EQ(frames, (std::vector<int64_t>{0, 24000, 24000, 24000, 48000, 62400, 76800, 105600, 124800}))
            << "block size " << block;
    }
}
