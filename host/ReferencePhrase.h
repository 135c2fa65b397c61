#pragma once
// The reference phrase: the few bars every program of a bank plays when it is
// auditioned or its level is measured, so that programs are heard and
// compared on equal terms. A count-in beat, a legato melody of eight
// quarter notes climbing through two octaves from A2, two beats' rest, then
// a six-note A minor chord spread over the same two octaves, held for six
// beats, at 120 BPM in 4/4.

#include "host/MidiFile.h"
#include "host/Plugin.h"
#include "host/Renderer.h"

#include <cstdint>
#include <vector>

namespace TarvelHost {

// The phrase as a Standard MIDI File held in memory (one track, channel 1,
// 480 ticks per quarter note). Its end is the chord's release: the moment
// after which every program must fall silent within its release time.
const MidiFile& referencePhrase();

struct PhraseRendering {
    int sampleRate = 0;
    int64_t endFrame = 0;           // frame at which the last note ends
    std::vector<float> left, right; // the phrase and the tail that followed it
    bool interrupted = false;
};

// Plays the phrase through a plug-in that is already set up (program chosen)
// and collects the output. As with a song, rendering goes on after the end
// until the output has been below settings.silenceThreshold for
// settings.tailSeconds, but never longer than settings.maxTailSeconds.
PhraseRendering renderReferencePhrase(Plugin& plugin, const RenderSettings& settings);

// Seconds from the phrase's end to the last sample of either output at or
// above `threshold` (0 when the output is already quieter at the end).
double releaseSeconds(const PhraseRendering& rendering, float threshold);

} // namespace TarvelHost
