#pragma once
// Standard MIDI File reader (formats 0 and 1). Produces every track's events
// with absolute tick times, plus the tempo and time-signature changes that
// the tempo map needs. Malformed input raises HostError naming the byte
// offset where reading failed; nothing in the file is trusted.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace TarvelHost {

struct MidiEvent {
    enum Kind : uint8_t {
        Channel, // a channel voice or mode message (status 0x80..0xEF)
        SysEx,   // an F0 message (data starts with F0) or an F7 escape packet
        Meta,    // a meta event (not sent to plug-ins)
    };
    int64_t tick = 0;
    int track = 0;
    int order = 0; // position within its track, keeps simultaneous events in file order
    Kind kind = Channel;
    uint8_t metaType = 0;
    std::vector<uint8_t> data; // channel: status + data bytes; sysex: the dump; meta: its payload
};

struct TempoChange {
    int64_t tick;
    uint32_t microsPerQuarter;
};

struct TimeSignature {
    int64_t tick;
    int numerator;
    int denominator;
};

class MidiFile {
public:
    // Parses a whole file held in memory. Throws HostError with the byte offset.
    static MidiFile parse(const uint8_t* data, std::size_t size);
    // Reads and parses a file from disk. Throws HostError on I/O or format errors.
    static MidiFile load(const std::string& path);

    int format = 0;
    int trackCount = 0;
    // Ticks per quarter note when positive. For SMPTE time (negative division
    // in the file) ticksPerQuarter is 0 and ticksPerSecond is used instead.
    int ticksPerQuarter = 0;
    double ticksPerSecond = 0.0;
    // All events of all tracks, ordered by tick, then track, then file order.
    std::vector<MidiEvent> events;
    // Sorted by tick; a change at tick 0 replaces the default 120 BPM.
    std::vector<TempoChange> tempoChanges;
    std::vector<TimeSignature> timeSignatures;
    // The latest tick of any track (its end-of-track event or last event).
    int64_t lengthTicks = 0;
};

} // namespace TarvelHost
