#include "plugin/Synth.h"

#include <cstring>

Synth::Synth(audioMasterCallback host)
    : AudioEffectX(host, kProgramCount, 0)
{
    cEffect.numParams = numParams = parameterCount();
    if (host) {
        isSynth();
        canProcessReplacing();
        programsAreChunks();
        setNumInputs(0);
        setNumOutputs(2);
        setUniqueID(kUniqueId);
        curProgram = 0;
    }
    resume();
}

Synth::~Synth() = default;

void Synth::processReplacing(float**, float** outputs, VstInt32 sampleFrames)
{
    for (VstInt32 i = 0; i < sampleFrames; ++i)
        outputs[0][i] = outputs[1][i] = 0.0f;
}

VstInt32 Synth::processEvents(VstEvents*)
{
    return 1;
}

VstInt32 Synth::canDo(char* text)
{
    static const char* const known[] = {"midiProgramNames", "receiveVstEvents", "receiveVstMidiEvent"};
    for (const char* capability : known)
        if (std::strcmp(text, capability) == 0)
            return 1;
    return -1;
}

void Synth::controlChange(int, int) {}
void Synth::noteOff(int) {}
void Synth::noteOn(int, int) {}
