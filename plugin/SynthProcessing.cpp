// The real-time path: MIDI events become note calls, and each host block is
// rendered in sub-blocks of at most 16 samples through the voices and the
// global effect chain. Nothing here allocates, locks or waits.

#include "plugin/Synth.h"

#include "dsp/ADSREnvelope.h"
#include "dsp/Chorus.h"
#include "dsp/Delay.h"
#include "dsp/EffectSeries.h"
#include "dsp/NonFinite.h"
#include "dsp/NonFiniteWatch.h"
#include "dsp/Phaser.h"
#include "dsp/Redux.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace {

// Decaying states (the delay's and chorus's recirculating lines, the phaser
// sections, the filters) pass through the subnormal range on their way to
// silence, where every operation on them can cost many times the usual. A
// block is rendered with subnormal results flushed to zero and subnormal
// operands read as zero, and the host's own floating-point mode is put back
// afterwards. The difference is below 1.2e-38 per value.
class FlushSubnormals {
public:
#if defined(__SSE2__)
    FlushSubnormals() : saved_(_mm_getcsr())
    {
        _mm_setcsr(saved_ | kFlushToZero | denormalsAreZero());
    }
    ~FlushSubnormals()
    {
        _mm_setcsr(saved_);
    }
#endif
    FlushSubnormals(const FlushSubnormals&) = delete;
    FlushSubnormals& operator=(const FlushSubnormals&) = delete;

private:
#if defined(__SSE2__)
    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;

    // The first processors with SSE lack the DAZ bit, and setting it there
    // faults; the mask that FXSAVE reports tells (0 means the default mask,
    // without DAZ).
    __attribute__((target("fxsr"))) static unsigned denormalsAreZero()
    {
        static const unsigned bit = [] {
            alignas(16) unsigned char area[512] = {};
            __builtin_ia32_fxsave(area);
            unsigned mask = 0;
            std::memcpy(&mask, area + 28, sizeof mask);
            return mask & kDenormalsAreZero;
        }();
        return bit;
    }

    unsigned saved_;
#endif
};

} // namespace

VstInt32 Synth::processEvents(VstEvents* events)
{
    recorder_->enterAudioThread();
    playQueuedNotes();
    for (VstInt32 i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = events->events[i];
        if (event == nullptr || event->type != kVstMidiType)
            continue;
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        const auto* bytes = reinterpret_cast<const unsigned char*>(midi->midiData);
        const int status = bytes[0] & 0xF0;
        if (status == 0x90 || status == 0x80) {
            const int note = bytes[1] & 0x7F;
            const int velocity = bytes[2] & 0x7F;
            if (status == 0x90 && velocity != 0)
                noteOn(note, velocity);
            else
                noteOff(note);
        } else if (status == 0xB0 && (bytes[1] == 0x7B || bytes[1] == 0x7E)) {
            allNotesOff();
        }
    }
    return 1;
}

void Synth::playQueuedNotes()
{
    // A gesture's audition note is started like any note, and its end
    // releases the voice it started, unless that voice went idle meanwhile.
    recorder_->playGestureNotes([this](int note, int velocity) { return startNote(note, velocity); },
                                [this](int voice, int note) {
                                    if (!voiceIdle(voice))
                                        voices_[static_cast<std::size_t>(voice)]->noteOff(note);
                                });
}

void Synth::processReplacing(float**, float** outputs, VstInt32 sampleFrames)
{
    const FlushSubnormals flush;
    recorder_->enterAudioThread();
    store_->enterBlock();
    playQueuedNotes();

    if (VstTimeInfo* time = getTimeInfo(kVstPpqPosValid | kVstTempoValid)) {
        if (time->flags & kVstPpqPosValid)
            setSongPosition(time->ppqPos);
        if (time->flags & kVstTempoValid)
            setTempo(static_cast<float>(time->tempo));
    }

    for (auto& voice : voices_)
        voice->prepareVoice();

    // A rate that truncates to 0 (or is not a number) cannot time anything:
    // render silence rather than divide by zero.
    const float rate = sampleRate;
    const int sr = (rate >= 1.0f && Vorn::fitsInteger<int32_t>(rate)) ? static_cast<int>(rate) : 0;

    float* left = outputs[0];
    int pos = 0;
    int remaining = sampleFrames;
    while (remaining > 0) {
        const int n = std::min(remaining, static_cast<int>(Vorn::kSubBlock));
        if (sr == 0) {
            std::memset(left + pos, 0, sizeof(float) * static_cast<std::size_t>(n));
        } else {
            const int active = activeVoiceCount();
            const float dt = static_cast<float>(n) / static_cast<float>(sr);
            recorder_->refreshLiveValues(liveValues_.data(), static_cast<int>(liveValues_.size()), active, dt);
            Vorn::Voice* sounding[kVoiceCount];
            int soundingCount = 0;
            for (int v = 0; v < kVoiceCount; ++v) {
                if (voiceIdle(v))
                    voices_[static_cast<std::size_t>(v)]->silenceVoice();
                else
                    sounding[soundingCount++] = voices_[static_cast<std::size_t>(v)].get();
            }
            Vorn::Voice::renderVoices(sounding, soundingCount, sr, n);
            // With every voice idle, every voice output was just cleared to
            // +0, and so is their sum: no need to add them up.
            if (soundingCount == 0)
                std::memset(summer_->output, 0, sizeof summer_->output);
            else
                summer_->process(sr, n);
            digi_->process(sr, n);
            Vorn::processInSeries(*phaser_, *chorus_, *delay_, sr, n);
            Vorn::copySamples(left + pos, lastModule_->output, n);
            if (!Vorn::NonFiniteWatch::allFinite(left + pos, n))
                silenceNonFinite(left + pos, n);
            // refreshLiveValues has already put every cursor back to 0 in
            // this case (nothing while rendering reads them).
            recorder_->subBlockRendered(active);
        }
        remaining -= n;
        pos += n;
    }
    if (sampleFrames > 0)
        std::memcpy(outputs[1], outputs[0], sizeof(float) * static_cast<std::size_t>(sampleFrames));
    renderedBlocks_.fetch_add(1, std::memory_order_relaxed);
    store_->leaveBlock();
}

void Synth::silenceNonFinite(float* out, int count)
{
    // The last line of defence: no NaN or infinity ever reaches the host.
    // Such a sample becomes silence, and whatever holds the fault is reset
    // so that it does not come back: a voice whose output is not finite
    // ends its note, and every global effect from the first whose output
    // is not finite on starts over from silence.
    for (int i = 0; i < count; ++i)
        if (Vorn::NonFiniteWatch::nonFinite(out[i]))
            out[i] = 0.0f;
    for (int v = 0; v < kVoiceCount; ++v)
        if (!Vorn::NonFiniteWatch::allFinite(voices_[static_cast<std::size_t>(v)]->voiceOutput, count))
            ampEnvelopes_[static_cast<std::size_t>(v)]->stop();
    bool tainted = !Vorn::NonFiniteWatch::allFinite(digi_->output, count);
    if (tainted)
        digi_->reset();
    tainted = tainted || !Vorn::NonFiniteWatch::allFinite(phaser_->output, count);
    if (tainted)
        phaser_->reset();
    tainted = tainted || !Vorn::NonFiniteWatch::allFinite(chorus_->output, count);
    if (tainted)
        chorus_->reset();
    delay_->reset();
}

bool Synth::voiceIdle(int i) const
{
    return ampEnvelopes_[static_cast<std::size_t>(i)]->idle();
}

int Synth::activeVoiceCount() const
{
    int active = 0;
    for (int v = 0; v < kVoiceCount; ++v)
        active += voiceIdle(v) ? 0 : 1;
    return active;
}
