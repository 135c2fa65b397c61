#include "support/SongRender.h"

#include "host/Schedule.h"
#include "host/TempoMap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

Rendered renderSong(PluginUnderTest& plugin, const TarvelHost::MidiFile& song, int sampleRate, int blockSize,
                    double tailSeconds)
{
    const TarvelHost::TempoMap tempo(song, sampleRate);
    const TarvelHost::Schedule schedule(song, tempo);
    TarvelHost::BlockEvents events(schedule, blockSize);
    const int64_t total = schedule.endFrame() + static_cast<int64_t>(std::llround(tailSeconds * sampleRate));
    Rendered out;
    out.left.assign(static_cast<std::size_t>(total), 0.0f);
    out.right.assign(static_cast<std::size_t>(total), 0.0f);
    std::vector<float> left(static_cast<std::size_t>(blockSize)), right(static_cast<std::size_t>(blockSize));
    for (int64_t position = 0; position < total; position += blockSize) {
        const int frames = static_cast<int>(std::min<int64_t>(blockSize, total - position));
        VstTimeInfo time = tempo.timeInfo(position, true);
        if (position == 0)
            time.flags |= kVstTransportChanged;
        plugin.process(events.next(position, frames), time, left.data(), right.data(), frames);
        std::copy(left.begin(), left.begin() + frames, out.left.begin() + position);
        std::copy(right.begin(), right.begin() + frames, out.right.begin() + position);
    }
    return out;
}

double largestDifference(const Rendered& a, const Rendered& b)
{
    if (a.left.size() != b.left.size() || a.right.size() != b.right.size())
        return std::numeric_limits<double>::infinity();
    double largest = 0.0;
    for (std::size_t i = 0; i < a.left.size(); ++i) {
        largest = std::max(largest, std::fabs(static_cast<double>(a.left[i]) - static_cast<double>(b.left[i])));
        largest = std::max(largest, std::fabs(static_cast<double>(a.right[i]) - static_cast<double>(b.right[i])));
    }
    return largest;
}

long differingSamples(const Rendered& a, const Rendered& b)
{
    if (a.left.size() != b.left.size())
        return std::numeric_limits<long>::max();
    long count = 0;
    for (std::size_t i = 0; i < a.left.size(); ++i)
        count += (std::memcmp(&a.left[i], &b.left[i], 4) != 0) + (std::memcmp(&a.right[i], &b.right[i], 4) != 0);
    return count;
}
