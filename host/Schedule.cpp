#include "host/Schedule.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace TarvelHost {

Schedule::Schedule(const MidiFile& song, const TempoMap& tempo)
{
    // Per channel and key: how many note-ons are still waiting for their note-off.
    std::vector<int> held(16 * 128, 0);
    for (const MidiEvent& ev : song.events) {
        // Meta events are for the host; an empty SysEx packet carries nothing.
        if (ev.kind == MidiEvent::Meta || ev.data.empty())
            continue;
        int64_t frame = tempo.frameAtTick(ev.tick);
        if (ev.kind == MidiEvent::Channel) {
            uint8_t type = ev.data[0] & 0xF0;
            const std::size_t slot = static_cast<std::size_t>((ev.data[0] & 0x0F) * 128 + ev.data[1]);
            if (type == 0x90 && ev.data[2] > 0)
                ++held[slot];
            else if ((type == 0x80 || type == 0x90) && held[slot] > 0)
                --held[slot];
        }
        events_.push_back({frame, ev.kind == MidiEvent::SysEx, ev.data});
    }
    endFrame_ = tempo.frameAtTick(song.lengthTicks);
    for (std::size_t slot = 0; slot < 16 * 128; ++slot)
        for (int i = 0; i < held[slot]; ++i)
            events_.push_back(
                {endFrame_, false, {static_cast<uint8_t>(0x80 | (slot / 128)), static_cast<uint8_t>(slot % 128), 0}});
}

std::size_t Schedule::maxEventsPerBlock(int blockSize) const
{
    std::size_t best = 0;
    std::size_t first = 0;
    for (std::size_t i = 0; i < events_.size(); ++i) {
        int64_t block = events_[i].frame / blockSize;
        while (events_[first].frame / blockSize != block)
            ++first;
        best = std::max(best, i - first + 1);
    }
    return best;
}

BlockEvents::BlockEvents(const Schedule& schedule, int blockSize) : schedule_(schedule)
{
    std::size_t capacity = std::max<std::size_t>(1, schedule.maxEventsPerBlock(blockSize));
    midi_.resize(capacity);
    sysex_.resize(capacity);
    listStorage_.assign(offsetof(VstEvents, events) + capacity * sizeof(VstEvent*), 0);
    list_ = reinterpret_cast<VstEvents*>(listStorage_.data());
}

VstEvents* BlockEvents::next(int64_t blockStart, int frames)
{
    const auto& events = schedule_.events();
    int n = 0;
    // Events before this block (a block skipped by the caller) are dropped.
    while (cursor_ < events.size() && events[cursor_].frame < blockStart)
        ++cursor_;
    while (cursor_ < events.size() && events[cursor_].frame < blockStart + frames) {
        const ScheduledEvent& ev = events[cursor_++];
        int delta = static_cast<int>(ev.frame - blockStart);
        VstEvent* out;
        if (ev.sysex) {
            VstMidiSysexEvent& s = sysex_[static_cast<std::size_t>(n)];
            std::memset(&s, 0, sizeof s);
            s.type = kVstSysExType;
            s.byteSize = sizeof(VstMidiSysexEvent);
            s.deltaFrames = delta;
            s.dumpBytes = static_cast<VstInt32>(ev.bytes.size());
            s.sysexDump = reinterpret_cast<char*>(const_cast<uint8_t*>(ev.bytes.data()));
            out = reinterpret_cast<VstEvent*>(&s);
        } else {
            VstMidiEvent& m = midi_[static_cast<std::size_t>(n)];
            std::memset(&m, 0, sizeof m);
            m.type = kVstMidiType;
            m.byteSize = sizeof(VstMidiEvent);
            m.deltaFrames = delta;
            for (std::size_t i = 0; i < ev.bytes.size() && i < 3; ++i)
                m.midiData[i] = static_cast<char>(ev.bytes[i]);
            out = reinterpret_cast<VstEvent*>(&m);
        }
        // Written through a plain pointer: the record declares a two-entry
        // array but really holds numEvents entries.
        reinterpret_cast<VstEvent**>(listStorage_.data() + offsetof(VstEvents, events))[n++] = out;
    }
    list_->numEvents = n;
    return list_;
}

} // namespace TarvelHost
