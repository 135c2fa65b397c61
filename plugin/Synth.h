#pragma once
// The plug-in object: at once the VST instrument the host talks to, the
// receiver of note events and the container of all sound parameters.

#include "dsp/Module.h"
#include "vst/AudioEffectX.h"

class Synth : public AudioEffectX, public Vorn::MIDIListener, public Vorn::Effect {
public:
    static constexpr int kProgramCount = 32;
    static constexpr VstInt32 kUniqueId = ('z' << 24) | ('k' << 16) | ('v' << 8) | 'q';

    explicit Synth(audioMasterCallback host);
    ~Synth() override;

    // Host-facing operations.
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    VstInt32 processEvents(VstEvents* events) override;
    VstInt32 canDo(char* text) override;

    // Note handling.
    void controlChange(int controller, int value) override;
    void noteOff(int note) override;
    void noteOn(int note, int velocity) override;
};
