#pragma once
// The engine as a plug-in framework reaches it: one Synth, driven exactly as
// a VST 2.4 host drives it (the block's MIDI events through processEvents,
// then the block through processReplacing), with this object in the host's
// place. It answers the engine's host calls (the transport, the editor's
// parameter edits and gestures, the request to re-read every parameter),
// keeps the host's view of the parameters in step with the engine's, and
// holds what the formats save: the whole bank, the current program, and the
// factory programs that the hosts list as presets.
//
// Nothing here knows a plug-in format: the framework's plug-in and editor
// classes (formats/PluginAdapter.cpp, formats/EditorAdapter.cpp) translate.
//
// Threads: beginBlock(), addMidi() and process() run on the audio thread
// and never allocate, lock or wait. Parameter writes from the host may come
// from any thread. The editor's calls and the EditorLink run on the editor's
// thread. State and program calls come from the host's main thread.

#include "formats/EditorEchoes.h"
#include "vst/VstAbi.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AEffEditor;
class Synth;

class HostedSynth {
public:
    // The host's transport at the start of a block.
    struct Transport {
        bool playing = false;
        int64_t frame = 0;
        bool positionValid = false;
        double quarterNotes = 0.0; // musical position since the song start
        bool tempoValid = false;
        double tempo = 120.0; // quarter notes per minute
    };

    // What the editor's host calls become: the framework's editor class tells
    // the host. Called on the editor's thread.
    class EditorLink {
    public:
        virtual ~EditorLink() = default;
        virtual void beginGesture(int index) = 0;
        virtual void parameterEdited(int index, float value) = 0;
        virtual void endGesture(int index) = 0;
    };

    static constexpr int kMaxMidiMessages = 512;
    static constexpr const char* kFreshProgramName = "-- empty --";

    HostedSynth();
    ~HostedSynth();
    HostedSynth(const HostedSynth&) = delete;
    HostedSynth& operator=(const HostedSynth&) = delete;

    Synth& synth() { return *synth_; }
    AEffEditor* editor();
    int parameterCount() const { return parameterCount_; }

    // ---- Set-up and audio ----
    void setSampleRate(double rate);
    void setBlockSize(int frames);
    void activate();
    void deactivate();
    // One MIDI message of the coming block, `frame` frames into it, written
    // straight into the event list the engine is handed; the engine acts on
    // every message at the start of the block, as with a VST 2.4 host. It
    // ignores system exclusive from such a host too: messages longer than
    // three bytes are left out rather than cut (their bytes are not read),
    // and so are those beyond kMaxMidiMessages.
    void addMidi(uint32_t frame, const uint8_t* data, std::size_t size);
    // Forgets the messages added for a block that was never rendered.
    void beginBlock() { eventCount_ = 0; }
    // Renders a block, the messages added since the last one first.
    void process(const Transport& transport, float* left, float* right, uint32_t frames);

    // ---- Parameters ----
    // The value stored in the current program.
    float parameter(int index) const;
    // A value the host sets. The host's copies of the editor's own edits are
    // recognised and left out, so that the engine sees each edit once.
    void setParameterFromHost(int index, float value);
    // The engine's display text for any value of the parameter.
    std::string parameterText(int index, float value) const;
    // For a parameter that chooses among a few settings (a wave, a filter
    // mode, a switch), the value that selects each setting and its display
    // text, in order; empty for any other parameter.
    struct Choice {
        float value;
        std::string text;
    };
    std::vector<Choice> choices(int index) const;

    // ---- Programs and state ----
    int currentProgram() const;
    // A program chosen from the host's list: selects that slot of the bank.
    // A slot still as a fresh instance holds it first receives the factory
    // program of that number, unless it is the slot a saved state has just
    // brought back (a host that sends the program again after restoring must
    // not overwrite what it restored).
    void chooseProgram(int index);
    std::vector<uint8_t> bankChunk() { return chunk(false); }
    std::vector<uint8_t> currentProgramChunk() { return chunk(true); }
    // The readers apply whatever part of the data is valid.
    void loadBankChunk(const uint8_t* data, std::size_t size) { loadChunk(false, data, size); }
    void loadProgramChunk(const uint8_t* data, std::size_t size) { loadChunk(true, data, size); }
    // A saved state's program number; out-of-range numbers are ignored.
    void restoreCurrentProgram(int index);

    // ---- Editor ----
    void attachEditor(EditorLink* link);
    void detachEditor(EditorLink* link);
    // Editor's thread, at every idle: tells the host about every parameter
    // whose stored value the host does not have yet (Dice, Init, a loaded
    // program), or about all of them when the engine asked the host to
    // re-read its parameters.
    void updateHost();

private:
    static VstIntPtr VST_CALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                               void* ptr, float opt);
    VstIntPtr answer(VstInt32 opcode, VstInt32 index, float opt);
    std::vector<uint8_t> chunk(bool program);
    void loadChunk(bool program, const uint8_t* data, std::size_t size);
    void tellHost(int index, float value);
    void hostKnowsStoredValues();
    bool validIndex(int index) const { return index >= 0 && index < parameterCount_; }

    std::unique_ptr<Synth> synth_;
    int parameterCount_ = 0;

    // The transport record the engine reads at the start of each block.
    VstTimeInfo timeInfo_{};
    // The block's events, in storage made once.
    std::vector<VstMidiEvent> midiEvents_;
    std::vector<unsigned char> eventListStorage_;
    VstEvents* eventList_ = nullptr;
    VstInt32 eventCount_ = 0;

    EditorEchoes echoes_;
    // The value the host was last given or gave, per parameter (float bits).
    std::unique_ptr<std::atomic<uint32_t>[]> hostValues_;
    std::atomic<EditorLink*> editorLink_{nullptr};
    std::atomic<bool> displayUpdate_{false};
    int protectedProgram_ = -1;
};
