#include "host/TempoMap.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace TarvelHost {

namespace {
constexpr uint32_t kDefaultMicrosPerQuarter = 500000; // 120 BPM until the song says otherwise
}

TempoMap::TempoMap(const MidiFile& song, int sampleRate)
    : rate_(sampleRate), ticksPerQuarter_(song.ticksPerQuarter), ticksPerSecond_(song.ticksPerSecond)
{
    segments_.push_back({0, 0.0, 0.0, kDefaultMicrosPerQuarter, 0});
    for (const TempoChange& change : song.tempoChanges) {
        Segment& last = segments_.back();
        if (change.tick == last.tick) {
            last.microsPerQuarter = change.microsPerQuarter; // the later of simultaneous changes wins
            continue;
        }
        int64_t ticks = change.tick - last.tick;
        Segment next{};
        next.tick = change.tick;
        next.microsPerQuarter = change.microsPerQuarter;
        if (ticksPerQuarter_ > 0) {
            next.scaledMicros = last.scaledMicros + static_cast<__int128>(ticks) * last.microsPerQuarter;
            next.seconds = static_cast<double>(next.scaledMicros) / (1e6 * ticksPerQuarter_);
            next.ppq = static_cast<double>(change.tick) / ticksPerQuarter_;
        } else {
            // SMPTE time: ticks are wall-clock; tempo only shapes the musical position.
            next.seconds = static_cast<double>(change.tick) / ticksPerSecond_;
            next.ppq = last.ppq + (next.seconds - last.seconds) * 1e6 / last.microsPerQuarter;
        }
        segments_.push_back(next);
    }
    for (const TimeSignature& ts : song.timeSignatures) {
        double ppq =
            ticksPerQuarter_ > 0 ? static_cast<double>(ts.tick) / ticksPerQuarter_ : ppqAtFrame(frameAtTick(ts.tick));
        if (!signatures_.empty() && signatures_.back().ppq == ppq)
            signatures_.back() = {ppq, ts.numerator, ts.denominator};
        else
            signatures_.push_back({ppq, ts.numerator, ts.denominator});
    }
}

const TempoMap::Segment& TempoMap::segmentAtTick(int64_t tick) const
{
    auto it = std::upper_bound(segments_.begin(), segments_.end(), tick,
                               [](int64_t t, const Segment& s) { return t < s.tick; });
    return *(it - 1);
}

const TempoMap::Segment& TempoMap::segmentAtSeconds(double seconds) const
{
    auto it = std::upper_bound(segments_.begin(), segments_.end(), seconds,
                               [](double t, const Segment& s) { return t < s.seconds; });
    return it == segments_.begin() ? segments_.front() : *(it - 1);
}

int64_t TempoMap::frameAtTick(int64_t tick) const
{
    if (tick <= 0)
        return 0;
    if (ticksPerQuarter_ > 0) {
        const Segment& s = segmentAtTick(tick);
        __int128 micros = s.scaledMicros + static_cast<__int128>(tick - s.tick) * s.microsPerQuarter;
        __int128 denominator = static_cast<__int128>(ticksPerQuarter_) * 1000000;
        // Round to nearest: frames = micros × rate / (tpq × 10^6).
        __int128 frames = (2 * micros * rate_ + denominator) / (2 * denominator);
        return static_cast<int64_t>(frames);
    }
    return static_cast<int64_t>(std::llround(static_cast<double>(tick) / ticksPerSecond_ * rate_));
}

double TempoMap::secondsAtTick(int64_t tick) const
{
    if (ticksPerQuarter_ > 0) {
        const Segment& s = segmentAtTick(tick);
        __int128 micros = s.scaledMicros + static_cast<__int128>(tick - s.tick) * s.microsPerQuarter;
        return static_cast<double>(micros) / (1e6 * ticksPerQuarter_);
    }
    return static_cast<double>(tick) / ticksPerSecond_;
}

double TempoMap::ppqAtFrame(int64_t frame) const
{
    double seconds = static_cast<double>(frame) / rate_;
    const Segment& s = segmentAtSeconds(seconds);
    return s.ppq + (seconds - s.seconds) * 1e6 / s.microsPerQuarter;
}

double TempoMap::tempoAtFrame(int64_t frame) const
{
    const Segment& s = segmentAtSeconds(static_cast<double>(frame) / rate_);
    return 60e6 / s.microsPerQuarter;
}

VstTimeInfo TempoMap::timeInfo(int64_t frame, bool playing) const
{
    VstTimeInfo info;
    std::memset(&info, 0, sizeof info);
    info.samplePos = static_cast<double>(frame);
    info.sampleRate = rate_;
    info.ppqPos = ppqAtFrame(frame);
    info.tempo = tempoAtFrame(frame);
    info.timeSigNumerator = 4;
    info.timeSigDenominator = 4;
    double signatureStart = 0.0;
    auto it = std::upper_bound(signatures_.begin(), signatures_.end(), info.ppqPos,
                               [](double p, const Signature& s) { return p < s.ppq; });
    if (it != signatures_.begin()) {
        --it;
        info.timeSigNumerator = it->numerator;
        info.timeSigDenominator = it->denominator;
        signatureStart = it->ppq;
    }
    double quartersPerBar = info.timeSigNumerator * 4.0 / info.timeSigDenominator;
    // The tiny allowance keeps a position that lands exactly on a bar line,
    // up to rounding, in the bar it starts.
    double bars = std::floor((info.ppqPos - signatureStart) / quartersPerBar + 1e-9);
    info.barStartPos = signatureStart + bars * quartersPerBar;
    info.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
    if (playing)
        info.flags |= kVstTransportPlaying;
    return info;
}

} // namespace TarvelHost
