#pragma once
// Builds Standard MIDI Files byte by byte for the tests, so each test states
// exactly what is in the file (running status, meta events, odd chunks).

#include <cstdint>
#include <string>
#include <vector>

class TrackBuilder {
public:
    // Delta time as a variable-length quantity, then the raw event bytes.
    TrackBuilder& event(uint32_t delta, std::vector<uint8_t> bytes)
    {
        vlq(delta);
        data.insert(data.end(), bytes.begin(), bytes.end());
        return *this;
    }
    TrackBuilder& tempo(uint32_t delta, uint32_t microsPerQuarter)
    {
        return event(delta, {0xFF, 0x51, 0x03, uint8_t(microsPerQuarter >> 16), uint8_t(microsPerQuarter >> 8),
                             uint8_t(microsPerQuarter)});
    }
    TrackBuilder& end(uint32_t delta = 0) { return event(delta, {0xFF, 0x2F, 0x00}); }
    void vlq(uint32_t v)
    {
        uint8_t bytes[5];
        int n = 0;
        bytes[n++] = v & 0x7F;
        while (v >>= 7)
            bytes[n++] = 0x80 | (v & 0x7F);
        while (n > 0)
            data.push_back(bytes[--n]);
    }
    std::vector<uint8_t> data;
};

inline void putBigEndian(std::vector<uint8_t>& out, uint32_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline std::vector<uint8_t> midiFile(int format, uint16_t division, const std::vector<TrackBuilder>& tracks)
{
    std::vector<uint8_t> out = {'M', 'T', 'h', 'd'};
    putBigEndian(out, 6, 4);
    putBigEndian(out, static_cast<uint32_t>(format), 2);
    putBigEndian(out, static_cast<uint32_t>(tracks.size()), 2);
    putBigEndian(out, division, 2);
    for (const TrackBuilder& t : tracks) {
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        putBigEndian(out, static_cast<uint32_t>(t.data.size()), 4);
        out.insert(out.end(), t.data.begin(), t.data.end());
    }
    return out;
}

// The song most tests share, 480 ticks per quarter, two tracks:
// track 0 (conductor): 120 BPM, at tick 960 a change to 100 BPM (600000 µs),
//   at tick 1920 to 150 BPM (400000 µs); end at 2880.
// track 1: note 69 on at 0, off at 480 (running status note-on vel 0);
//   note 72 on at 480 and 76 on at 480 (running status), SysEx at 960,
//   note 72 off at 1200, 76 off at 1440 (0x80), note 60 on at 1920, off at 2400.
// At 48 kHz, 480 ticks at 120 BPM = 0.5 s = 24000 frames; at 100 BPM a tick
// is 1.25 ms = 60 frames; at 150 BPM 480 ticks = 0.4 s = 19200 frames.
inline std::vector<uint8_t> sharedSong()
{
    TrackBuilder conductor;
    conductor.tempo(0, 500000).tempo(960, 600000).tempo(960, 400000).end(960);
    TrackBuilder notes;
    notes.event(0, {0x90, 69, 100})
        .event(480, {69, 0}) // running status: note-on velocity 0 ends the note
        .event(0, {72, 90})  // running status again
        .event(0, {76, 80})
        .event(480, {0xF0, 0x03, 0x7E, 0x01, 0xF7})
        .event(240, {0x90, 72, 0})
        .event(240, {0x80, 76, 64})
        .event(480, {0x90, 60, 110})
        .event(480, {0x80, 60, 0})
        .end(0);
    return midiFile(1, 480, {conductor, notes});
}
