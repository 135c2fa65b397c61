#include "host/Renderer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace TarvelHost {

RenderResult render(Plugin& plugin, const TempoMap& tempo, const Schedule& schedule, const RenderSettings& settings,
                    AudioSink& sink, const ProgressCallback& progress)
{
    auto started = std::chrono::steady_clock::now();
    RenderResult result;
    result.songFrames = schedule.endFrame();
    const int block = settings.blockSize;
    const int64_t tailFrames = static_cast<int64_t>(std::llround(settings.tailSeconds * settings.sampleRate));
    const int64_t lastFrame =
        schedule.endFrame() + static_cast<int64_t>(std::llround(settings.maxTailSeconds * settings.sampleRate));

    if (!plugin.running())
        plugin.start(settings.sampleRate, block);
    BlockEvents events(schedule, block);
    std::vector<float> left(static_cast<std::size_t>(block)), right(static_cast<std::size_t>(block));

    int64_t position = 0;  // first frame of the next block
    int64_t silentRun = 0; // consecutive silent frames ending at the last written frame
    int64_t nextReport = 0;
    const int64_t reportStep = std::max<int64_t>(settings.sampleRate / 10, 1);
    bool done = schedule.endFrame() == 0 && tailFrames == 0;
    while (!done) {
        VstTimeInfo time = tempo.timeInfo(position, true);
        if (position == 0)
            time.flags |= kVstTransportChanged; // playback starts here
        plugin.setTimeInfo(time);
        plugin.processEvents(events.next(position, block));
        plugin.process(left.data(), right.data(), block);

        // Decide frame by frame where the render stops, so the length does
        // not depend on the block size.
        int keep = block;
        for (int i = 0; i < block; ++i) {
            for (float* sample : {left.data() + i, right.data() + i})
                if (!std::isfinite(*sample)) {
                    if (result.nonFinite++ == 0)
                        result.firstNonFiniteFrame = position + i;
                    *sample = 0.0f;
                }
            float l = std::fabs(left[static_cast<std::size_t>(i)]), r = std::fabs(right[static_cast<std::size_t>(i)]);
            bool silent = l < settings.silenceThreshold && r < settings.silenceThreshold;
            int64_t written = position + i + 1;
            // Silence counts from the song's end only, so the tail always
            // lasts at least its time and a song that ends quietly keeps it.
            silentRun = silent && written > schedule.endFrame() ? silentRun + 1 : 0;
            if (written >= lastFrame || (written >= schedule.endFrame() && silentRun >= tailFrames)) {
                keep = i + 1;
                done = true;
                break;
            }
        }
        for (std::size_t i = 0; i < static_cast<std::size_t>(keep); ++i)
            result.peak = std::max(result.peak, std::max(std::fabs(left[i]), std::fabs(right[i])));
        sink.write(left.data(), right.data(), keep);
        position += keep;
        if (progress && (position >= nextReport || done)) {
            double fraction =
                schedule.endFrame() > 0
                    ? std::min(1.0, static_cast<double>(position) / static_cast<double>(schedule.endFrame()))
                    : 1.0;
            progress(fraction, position);
            nextReport = position + reportStep;
        }
        if (!done && settings.interrupt != nullptr && *settings.interrupt != 0) {
            result.interrupted = true;
            break;
        }
    }
    if (progress && position == 0)
        progress(1.0, 0); // an empty song still finishes its progress display
    plugin.stop();
    result.frames = position;
    result.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}

} // namespace TarvelHost
