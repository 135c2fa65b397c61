#pragma once
// The song's clock: converts MIDI ticks to sample frames exactly (integer
// arithmetic, so every block size sees the same event positions), and
// sample frames back to musical time for the transport the plug-in sees.

#include "host/MidiFile.h"
#include "vst/VstAbi.h"

#include <cstdint>
#include <vector>

namespace TarvelHost {

class TempoMap {
public:
    TempoMap(const MidiFile& song, int sampleRate);

    // The frame at which an event at `tick` sounds, rounded to the nearest frame.
    int64_t frameAtTick(int64_t tick) const;
    double secondsAtTick(int64_t tick) const;
    // Quarter notes since the song start at a frame; tempo in BPM there.
    double ppqAtFrame(int64_t frame) const;
    double tempoAtFrame(int64_t frame) const;
    // The transport record for a block that starts at `frame`.
    VstTimeInfo timeInfo(int64_t frame, bool playing) const;

    int sampleRate() const { return rate_; }

private:
    struct Segment {
        int64_t tick;
        double seconds;
        double ppq;
        uint32_t microsPerQuarter;
        __int128 scaledMicros; // sum of ticks × µs per quarter up to this segment (PPQ files)
    };
    struct Signature {
        double ppq;
        int numerator;
        int denominator;
    };
    const Segment& segmentAtTick(int64_t tick) const;
    const Segment& segmentAtSeconds(double seconds) const;

    int rate_;
    int ticksPerQuarter_;
    double ticksPerSecond_;
    std::vector<Segment> segments_;
    std::vector<Signature> signatures_;
};

} // namespace TarvelHost
