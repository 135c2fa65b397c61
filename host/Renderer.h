#pragma once
// Plays a scheduled song through a plug-in block by block: before each block
// the transport is updated and the block's events delivered, then the block
// is rendered and handed to the sink. After the song, rendering goes on until
// the output has stayed below the silence threshold for the tail time, or
// the tail limit is reached. A NaN or infinite sample is counted and
// written as silence: no file format holds it, and a 24-bit file would
// turn it into full scale.

#include "host/Plugin.h"
#include "host/Schedule.h"
#include "host/TempoMap.h"

#include <csignal>
#include <cstdint>
#include <functional>

namespace TarvelHost {

class AudioSink {
public:
    virtual ~AudioSink() = default;
    virtual void write(const float* left, const float* right, int frames) = 0;
};

struct RenderSettings {
    int sampleRate = 44100;
    int blockSize = 512;
    double tailSeconds = 2.0;               // silence that ends the render after the song
    double maxTailSeconds = 60.0;           // rendering after the song never exceeds this
    float silenceThreshold = 3.1622776e-5f; // -90 dBFS
    // When set and non-zero (a signal handler's flag), rendering stops after
    // the current block and what was rendered is kept.
    const volatile std::sig_atomic_t* interrupt = nullptr;
};

struct RenderResult {
    int64_t frames = 0;     // frames written to the sink
    int64_t songFrames = 0; // of which the song itself
    float peak = 0.0f;      // largest absolute sample of either channel
    double wallSeconds = 0.0;
    bool interrupted = false;
    // Samples (of either channel) that were NaN or infinite; the sink got
    // silence in their place. The frame of the first one, or -1.
    int64_t nonFinite = 0;
    int64_t firstNonFiniteFrame = -1;
};

// fraction of the song done (1.0 once in the tail), frames rendered so far.
using ProgressCallback = std::function<void(double fraction, int64_t frames)>;

RenderResult render(Plugin& plugin, const TempoMap& tempo, const Schedule& schedule, const RenderSettings& settings,
                    AudioSink& sink, const ProgressCallback& progress = nullptr);

} // namespace TarvelHost
