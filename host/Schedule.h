#pragma once
// The song as the plug-in will receive it: every channel and SysEx event of
// the MIDI file placed at its sample frame through the tempo map, plus
// note-offs at the song's end for notes the file leaves held, so an
// instrument's release can ring out in the tail.

#include "host/MidiFile.h"
#include "host/TempoMap.h"
#include "vst/VstAbi.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace TarvelHost {

struct ScheduledEvent {
    int64_t frame;
    bool sysex;
    std::vector<uint8_t> bytes; // channel message (1 to 3 bytes) or the SysEx dump
};

class Schedule {
public:
    Schedule(const MidiFile& song, const TempoMap& tempo);

    const std::vector<ScheduledEvent>& events() const { return events_; }
    // The frame where the song ends (its last event or end-of-track).
    int64_t endFrame() const { return endFrame_; }
    std::size_t maxEventsPerBlock(int blockSize) const;

private:
    std::vector<ScheduledEvent> events_;
    int64_t endFrame_ = 0;
};

// Turns the events that fall in one block into the VstEvents list the
// plug-in receives, with deltaFrames relative to the block's first frame.
// The storage is sized once for the busiest block.
class BlockEvents {
public:
    BlockEvents(const Schedule& schedule, int blockSize);

    // Collects the events in [blockStart, blockStart + frames) that follow the
    // previous call's; blocks must be requested in order.
    VstEvents* next(int64_t blockStart, int frames);
    int count() const { return list_->numEvents; }

private:
    const Schedule& schedule_;
    std::size_t cursor_ = 0;
    std::vector<VstMidiEvent> midi_;
    std::vector<VstMidiSysexEvent> sysex_;
    std::vector<unsigned char> listStorage_;
    VstEvents* list_;
};

} // namespace TarvelHost
