#pragma once
// The plug-in object: at once the VST instrument the host talks to, the
// receiver of note events and the container of all sound parameters. It
// owns the voice graph and the global effects, routes notes to the voices,
// and hands program and bend requests to the ProgramStore and the
// BendRecorder, whose headers say which thread may call what.

#include "dsp/Module.h"
#include "dsp/Summer.h"
#include "dsp/Voice.h"
#include "plugin/BendRecorder.h"
#include "plugin/ProgramStore.h"
#include "vst/AudioEffectX.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace Vorn {
class ADSREnvelope;
class WaveTable;
class Redux;
class Phaser;
class Chorus;
class Delay;
} // namespace Vorn

class Synth;
using EditorFactory = AEffEditor* (*)(Synth*);

class Synth : public AudioEffectX, public Vorn::MIDIListener, public Vorn::Effect {
public:
    static constexpr int kProgramCount = ProgramStore::kProgramCount;
    static constexpr int kVoiceCount = 6;
    static constexpr VstInt32 kUniqueId = ('z' << 24) | ('k' << 16) | ('v' << 8) | 'q';

    explicit Synth(audioMasterCallback host, EditorFactory makeEditor = nullptr);
    ~Synth() override;

    // Audio thread.
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    VstInt32 processEvents(VstEvents* events) override;

    // Host parameter access.
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void getParameterName(VstInt32 index, char* text) override;
    void getParameterDisplay(VstInt32 index, char* text) override;

    // Programs.
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    VstInt32 getChunk(void** data, bool isPreset) override;
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;

    VstInt32 canDo(char* text) override;

    // Note handling.
    void controlChange(int controller, int value) override;
    void noteOff(int note) override;
    void noteOn(int note, int velocity) override;
    void allNotesOff();

    // Queries for the editor.
    int parameterCount() const { return Vorn::Effect::parameterCount(); }
    void copyParameterName(int index, char* text, std::size_t size) const;
    float liveValue(int index) const;
    float defaultValue(int index) const;
    bool hasBend(int index);

    // Bend recording, driven by the editor.
    void beginParameterGesture(int index);
    void endParameterGesture(int index);
    void armBend() { recorder_->arm(); }
    void disarmBend() { recorder_->disarm(); }
    bool isBendArmed() const { return recorder_->armed(); }
    void clearBends();

    // The editor's Dice and Init buttons.
    void randomise();
    void initialise();

    // Inspection (tests, tools).
    int voiceParameterCount() const { return voiceParameterCount_; }
    Vorn::Voice& voice(int i) { return *voices_[static_cast<std::size_t>(i)]; }
    bool voiceIdle(int i) const;
    int activeVoiceCount() const;
    const NoteSet& heldNotes() const { return recorder_->heldNotes(); }
    int auditionNote() const { return recorder_->auditionNote(); }
    float bendClock() const { return recorder_->clock(); }
    Program& program(int i) { return store_->program(i); }
    Program& currentProgram() { return store_->current(); }
    std::vector<BendPoint> bendPoints(int index);
    const Vorn::WaveTable& waveTable() const { return *waveTable_; }
    // Blocks rendered so far (wrapping): the editor tells from it whether
    // audio runs, that is whether the live values move at all.
    uint32_t renderedBlocks() const { return renderedBlocks_.load(std::memory_order_relaxed); }

private:
    void buildGraph();
    bool validIndex(VstInt32 index) const { return index >= 0 && index < parameterCount(); }
    void playQueuedNotes();
    // Voice allocation; returns the voice that took the note.
    int startNote(int note, int velocity);
    void silenceNonFinite(float* out, int count);

    std::shared_ptr<const Vorn::WaveTable> waveTable_;
    std::unique_ptr<Vorn::Summer<Vorn::Voice>> summer_;
    std::vector<std::unique_ptr<Vorn::Voice>> voices_;
    std::vector<Vorn::ADSREnvelope*> ampEnvelopes_;
    int voiceParameterCount_ = 0;
    std::unique_ptr<Vorn::Redux> digi_;
    std::unique_ptr<Vorn::Phaser> phaser_;
    std::unique_ptr<Vorn::Chorus> chorus_;
    std::unique_ptr<Vorn::Delay> delay_;
    Vorn::Module* lastModule_ = nullptr;
    // Where each parameter's live value is, by index, so the refresh of
    // every sub-block need not go through the parameter records.
    std::vector<float*> liveValues_;

    // Built once every parameter is registered. The recorder refers to the
    // store, so it is destroyed first.
    std::unique_ptr<ProgramStore> store_;
    std::unique_ptr<BendRecorder> recorder_;

    std::atomic<uint32_t> renderedBlocks_{0};

    uint32_t randomState_ = 1;
};
