#include "host/MidiFile.h"
#include "host/HostError.h"
#include "tests/host/MidiBuilder.h"

#include <gtest/gtest.h>

using namespace TarvelHost;

namespace {

MidiFile parse(const std::vector<uint8_t>& bytes)
{
    return MidiFile::parse(bytes.data(), bytes.size());
}

// The error message of a file that must be refused.
std::string failure(const std::vector<uint8_t>& bytes)
{
    try {
        parse(bytes);
    } catch (const HostError& e) {
        return e.what();
    }
    return "(accepted)";
}

std::vector<const MidiEvent*> playable(const MidiFile& song)
{
    std::vector<const MidiEvent*> out;
    for (const MidiEvent& e : song.events)
        if (e.kind != MidiEvent::Meta)
            out.push_back(&e);
    return out;
}

} // namespace

TEST(MidiFile, TwoTracksWithRunningStatusTempoAndSysEx)
{
    MidiFile song = parse(sharedSong());
    EXPECT_EQ(song.format, 1);
    EXPECT_EQ(song.trackCount, 2);
    EXPECT_EQ(song.ticksPerQuarter, 480);
    EXPECT_EQ(song.lengthTicks, 2880);

    auto events = playable(song);
    struct Expected {
        int64_t tick;
        std::vector<uint8_t> bytes;
    };
    std::vector<Expected> expected = {
        {0, {0x90, 69, 100}},
        {480, {0x90, 69, 0}},
        {480, {0x90, 72, 90}},
        {480, {0x90, 76, 80}},
        {960, {0xF0, 0x7E, 0x01, 0xF7}},
        {1200, {0x90, 72, 0}},
        {1440, {0x80, 76, 64}},
        {1920, {0x90, 60, 110}},
        {2400, {0x80, 60, 0}},
    };
    ASSERT_EQ(events.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(events[i]->tick, expected[i].tick) << "event " << i;
        EXPECT_EQ(events[i]->data, expected[i].bytes) << "event " << i;
        EXPECT_EQ(events[i]->track, 1);
    }
    EXPECT_EQ(events[4]->kind, MidiEvent::SysEx);

    ASSERT_EQ(song.tempoChanges.size(), 3u);
    EXPECT_EQ(song.tempoChanges[1].tick, 960);
    EXPECT_EQ(song.tempoChanges[1].microsPerQuarter, 600000u);
    EXPECT_EQ(song.tempoChanges[2].tick, 1920);
    EXPECT_EQ(song.tempoChanges[2].microsPerQuarter, 400000u);
}

TEST(MidiFile, MergesTracksByTickThenTrackKeepingFileOrder)
{
    TrackBuilder a, b;
    a.event(10, {0x90, 1, 1}).event(0, {0x80, 1, 0}).end();
    b.event(5, {0x91, 2, 1}).event(5, {0xC1, 7}).event(0, {0xD1, 9}).end(100);
    MidiFile song = parse(midiFile(1, 96, {a, b}));
    auto events = playable(song);
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0]->data, (std::vector<uint8_t>{0x91, 2, 1}));
    EXPECT_EQ(events[1]->data, (std::vector<uint8_t>{0x90, 1, 1})); // tick 10, track 0 first
    EXPECT_EQ(events[2]->data, (std::vector<uint8_t>{0x80, 1, 0}));
    EXPECT_EQ(events[3]->data, (std::vector<uint8_t>{0xC1, 7})); // one data byte
    EXPECT_EQ(events[4]->data, (std::vector<uint8_t>{0xD1, 9}));
    EXPECT_EQ(song.lengthTicks, 110);
}

TEST(MidiFile, FormatZeroMetaEventsUnknownChunksAndSmpteTime)
{
    TrackBuilder t;
    t.event(0, {0xFF, 0x03, 3, 'a', 'b', 'c'})  // track name
        .event(0, {0xFF, 0x58, 4, 3, 3, 24, 8}) // 3/8
        .event(0, {0xB0, 7, 100})
        .event(0, {0xFF, 0x7F, 2, 0x00, 0x41}) // sequencer specific
        .event(20, {7, 90})                    // running status survives meta events
        .event(0, {0xF7, 2, 0xF8, 0xFA})       // escape packet
        .end(40);
    std::vector<uint8_t> bytes = midiFile(0, 0xE728, {t}); // -25 fps, 40 ticks per frame
    // An unknown chunk between header and track is skipped.
    std::vector<uint8_t> alien = {'X', 'Y', 'Z', 'W', 0, 0, 0, 2, 1, 2};
    bytes.insert(bytes.begin() + 14, alien.begin(), alien.end());
    MidiFile song = parse(bytes);
    EXPECT_EQ(song.format, 0);
    EXPECT_EQ(song.ticksPerQuarter, 0);
    EXPECT_DOUBLE_EQ(song.ticksPerSecond, 1000.0);
    ASSERT_EQ(song.timeSignatures.size(), 1u);
    EXPECT_EQ(song.timeSignatures[0].numerator, 3);
    EXPECT_EQ(song.timeSignatures[0].denominator, 8);
    auto events = playable(song);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[1]->data, (std::vector<uint8_t>{0xB0, 7, 90}));
    EXPECT_EQ(events[2]->kind, MidiEvent::SysEx);
    EXPECT_EQ(events[2]->data, (std::vector<uint8_t>{0xF8, 0xFA}));
    EXPECT_EQ(song.lengthTicks, 60);
}

TEST(MidiFile, EventsAfterEndOfTrackAreIgnored)
{
    TrackBuilder t;
    t.event(0, {0x90, 60, 1}).end(10).event(1000, {0x80, 60, 0});
    MidiFile song = parse(midiFile(0, 96, {t}));
    EXPECT_EQ(playable(song).size(), 1u);
    EXPECT_EQ(song.lengthTicks, 10);
}

TEST(MidiFile, MalformedFilesNameTheByteOffset)
{
    std::vector<uint8_t> good = sharedSong();

    EXPECT_NE(failure({}).find("no \"MThd\" header"), std::string::npos);
    EXPECT_NE(failure({'R', 'I', 'F', 'F', 0, 0}).find("at byte offset 0"), std::string::npos);

    // Cut inside the second track: the track chunk claims more than the file holds.
    std::vector<uint8_t> cut(good.begin(), good.end() - 10);
    std::string message = failure(cut);
    // The last byte left is the note number of a note-on; its velocity is missing.
    EXPECT_NE(message.find("file truncated in channel message at byte offset " + std::to_string(cut.size())),
              std::string::npos)
        << message;
    // Cut exactly between two events: the chunk length is what gives it away.
    std::vector<uint8_t> between(good.begin(), good.end() - 9);
    message = failure(between);
    EXPECT_NE(message.find("file truncated: the track chunk announces"), std::string::npos) << message;
    EXPECT_NE(message.find("at byte offset " + std::to_string(between.size())), std::string::npos) << message;
    // A complete last track whose length field overstates it is still read.
    std::vector<uint8_t> overstated = good;
    std::size_t firstLength = (std::size_t(good[18]) << 24) | (good[19] << 16) | (good[20] << 8) | good[21];
    overstated[26 + firstLength + 2] += 1; // second track's length field + 256
    EXPECT_EQ(playable(parse(overstated)).size(), playable(parse(good)).size());

    // Cut after the header: tracks announced but missing.
    std::vector<uint8_t> headerOnly(good.begin(), good.begin() + 14);
    message = failure(headerOnly);
    EXPECT_NE(message.find("2 tracks announced, 0 found"), std::string::npos) << message;
    EXPECT_NE(message.find("at byte offset 14"), std::string::npos) << message;

    // A data byte with no running status to continue.
    TrackBuilder orphan;
    orphan.event(0, {0x3C, 0x40}).end();
    message = failure(midiFile(0, 96, {orphan}));
    EXPECT_NE(message.find("data byte without a preceding status byte at byte offset 23"), std::string::npos)
        << message;

    // A status byte inside a message.
    TrackBuilder broken;
    broken.event(0, {0x90, 0x3C, 0x90}).end();
    message = failure(midiFile(0, 96, {broken}));
    EXPECT_NE(message.find("status byte where a data byte was expected at byte offset 25"), std::string::npos)
        << message;

    // A delta time of five bytes.
    TrackBuilder longDelta;
    longDelta.event(0, {});
    longDelta.data = {0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 1, 1};
    message = failure(midiFile(0, 96, {longDelta}));
    EXPECT_NE(message.find("longer than four bytes at byte offset 22"), std::string::npos) << message;

    // A meta event whose length runs past its track chunk (but not the file).
    TrackBuilder overrun;
    overrun.event(0, {0xFF, 0x01, 0x40, 'x'});
    std::vector<uint8_t> bytes = midiFile(0, 96, {overrun});
    bytes.insert(bytes.end(), 100, 0);
    message = failure(bytes);
    EXPECT_NE(message.find("runs past the end of its track chunk"), std::string::npos) << message;

    TrackBuilder one;
    one.end();
    EXPECT_NE(failure(midiFile(2, 96, {one})).find("unsupported format 2"), std::string::npos);
    EXPECT_NE(failure(midiFile(0, 0, {one})).find("zero ticks per quarter"), std::string::npos);

    TrackBuilder zeroTempo;
    zeroTempo.tempo(0, 0).end();
    EXPECT_NE(failure(midiFile(0, 96, {zeroTempo})).find("zero microseconds"), std::string::npos);

    TrackBuilder system;
    system.event(0, {0xF8}).end();
    EXPECT_NE(failure(midiFile(0, 96, {system})).find("system message"), std::string::npos);
}

TEST(MidiFile, LoadReportsMissingFilesByName)
{
    try {
        MidiFile::load("/nonexistent/song.mid");
        FAIL() << "loaded a missing file";
    } catch (const HostError& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/song.mid"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("No such file"), std::string::npos);
    }
}
