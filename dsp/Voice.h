#pragma once
// One voice: a fixed list of modules rendered in order, and the note
// listeners among them that every note event reaches.

#include "dsp/Module.h"

#include <cstdint>
#include <vector>

namespace Vorn {

class Voice : public MIDIListener {
public:
    explicit Voice(Effect* owner_) : owner(owner_) {}
    virtual ~Voice();
    Voice(const Voice&) = delete;
    Voice& operator=(const Voice&) = delete;

    void controlChange(int controller, int value) override;
    void noteOff(int note) override;
    void noteOn(int note, int velocity) override;

    // Takes ownership of `module`; it renders after the modules added before.
    void addModule(Module* module)
    {
        modules.push_back(module);
        grouped.push_back(module->rendersInGroups() ? 1 : 0);
    }
    void addListener(MIDIListener* listener) { listeners.push_back(listener); }

    void prepareVoice();
    void renderVoice(int sampleRate, int count);
    // Renders several voices built alike. Modules that render in groups get
    // the same module of every voice in one processGroup() call; the others
    // run voice after voice. Each voice's output is what renderVoice() would
    // have given it.
    static void renderVoices(Voice* const* voices, int size, int sampleRate, int count);
    static constexpr int kMaxGroup = 8;
    void silenceVoice();

    Effect* owner;
    std::vector<MIDIListener*> listeners;
    std::vector<Module*> modules;
    // Per module: whether it renders its voices' copies as a group.
    std::vector<unsigned char> grouped;
    uint8_t note = 0;
    float voiceOutput[kSubBlock] = {};
    int32_t age = 0;
};

} // namespace Vorn
