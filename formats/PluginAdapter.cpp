#include "formats/PluginAdapter.h"

#include "formats/Base64.h"
#include "formats/FactoryBank.h"
#include "plugin/Synth.h"

#include <cstdlib>
#include <cstring>

START_NAMESPACE_DISTRHO

namespace {

const char* const kStateKeys[PluginAdapter::kStateCount] = {"bank", "program", "preset"};

// A program number as a saved state writes it: decimal digits only.
bool parseProgramNumber(const char* text, int& number)
{
    if (text == nullptr || *text == 0)
        return false;
    long value = 0;
    for (const char* p = text; *p != 0; ++p) {
        if (*p < '0' || *p > '9' || value > 1000)
            return false;
        value = value * 10 + (*p - '0');
    }
    number = static_cast<int>(value);
    return true;
}

String base64String(const std::vector<uint8_t>& bytes)
{
    const std::string text = Base64::encode(bytes.data(), bytes.size());
    return String(text.c_str());
}

} // namespace

PluginAdapter::PluginAdapter()
    : Plugin(static_cast<uint32_t>(hosted.parameterCount()), Synth::kProgramCount, kStateCount)
{
    hosted.setSampleRate(getSampleRate());
    hosted.setBlockSize(static_cast<int>(getBufferSize()));
}

const char* PluginAdapter::getDescription() const
{
    return "Six-voice wavetable synthesizer with recorded knob motions";
}

// ---- Init ----

void PluginAdapter::initAudioPort(bool input, uint32_t index, AudioPort& port)
{
    if (input)
        return;
    // Both outputs carry the same signal, as a stereo pair.
    port.groupId = kPortGroupStereo;
    port.name = index == 0 ? "Left" : "Right";
    port.symbol = index == 0 ? "out_left" : "out_right";
}

void PluginAdapter::initParameter(uint32_t index, Parameter& parameter)
{
    Synth& synth = hosted.synth();
    const int i = static_cast<int>(index);
    // The full name is the host's name and, being letters and digits only,
    // the stable symbol too.
    char name[256] = {};
    synth.copyParameterName(i, name, sizeof name);
    parameter.hints = kParameterIsAutomatable;
    parameter.name = name;
    parameter.symbol = name;
    parameter.ranges.min = 0.0f;
    parameter.ranges.max = 1.0f;
    parameter.ranges.def = synth.defaultValue(i);
    // The settings of a choice by name, where the format lists them (LV2
    // scale points); the values in between still select as in the engine.
    const std::vector<HostedSynth::Choice> choices = hosted.choices(i);
    if (!choices.empty()) {
        auto* values = new ParameterEnumerationValue[choices.size()];
        for (std::size_t k = 0; k < choices.size(); ++k) {
            values[k].value = choices[k].value;
            values[k].label = choices[k].text.c_str();
        }
        parameter.enumValues.count = static_cast<uint8_t>(choices.size());
        parameter.enumValues.restrictedMode = false;
        parameter.enumValues.values = values;
    }
}

void PluginAdapter::initProgramName(uint32_t index, String& name)
{
    const FactoryBank& factory = FactoryBank::instance();
    const int i = static_cast<int>(index);
    name = i < factory.programCount() ? factory.name(i).c_str() : HostedSynth::kFreshProgramName;
}

void PluginAdapter::initState(uint32_t index, State& state)
{
    if (index >= kStateCount)
        return;
    // Only the engine reads them; the editor works on the engine directly.
    state.hints = kStateIsOnlyForDSP;
    state.key = kStateKeys[index];
    state.defaultValue = "";
    state.label = kStateKeys[index];
}

// ---- Parameters ----

float PluginAdapter::getParameterValue(uint32_t index) const
{
    return hosted.parameter(static_cast<int>(index));
}

void PluginAdapter::setParameterValue(uint32_t index, float value)
{
    hosted.setParameterFromHost(static_cast<int>(index), value);
}

bool PluginAdapter::getParameterText(uint32_t index, float value, char* text, uint32_t size) const
{
    const std::string display = hosted.parameterText(static_cast<int>(index), value);
    if (size == 0)
        return false;
    std::strncpy(text, display.c_str(), size - 1);
    text[size - 1] = 0;
    return true;
}

// ---- Programs and state ----

void PluginAdapter::loadProgram(uint32_t index)
{
    hosted.chooseProgram(static_cast<int>(index));
}

String PluginAdapter::getState(const char* key) const
{
    // The framework's description of the presets is written by an instance
    // of its own: there the state is the chosen preset alone, so that
    // applying a preset leaves the rest of the user's bank as it is. An
    // instance in a host saves the whole bank and the current program.
    const bool describing = isDummyInstance();
    if (std::strcmp(key, kStateKeys[kStateBank]) == 0)
        return describing ? String() : base64String(hosted.bankChunk());
    if (std::strcmp(key, kStateKeys[kStateProgram]) == 0)
        return String(hosted.currentProgram());
    if (std::strcmp(key, kStateKeys[kStatePreset]) == 0)
        return describing ? base64String(hosted.currentProgramChunk()) : String();
    return String();
}

void PluginAdapter::setState(const char* key, const char* value)
{
    if (key == nullptr || value == nullptr || *value == 0)
        return;
    if (std::strcmp(key, kStateKeys[kStateBank]) == 0) {
        const std::vector<uint8_t> bank = Base64::decode(value);
        hosted.loadBankChunk(bank.data(), bank.size());
    } else if (std::strcmp(key, kStateKeys[kStateProgram]) == 0) {
        int program = 0;
        if (parseProgramNumber(value, program))
            hosted.restoreCurrentProgram(program);
    } else if (std::strcmp(key, kStateKeys[kStatePreset]) == 0) {
        const std::vector<uint8_t> program = Base64::decode(value);
        hosted.loadProgramChunk(program.data(), program.size());
    }
}

// ---- Audio ----

void PluginAdapter::activate()
{
    hosted.activate();
}

void PluginAdapter::deactivate()
{
    hosted.deactivate();
}

void PluginAdapter::bufferSizeChanged(uint32_t frames)
{
    hosted.setBlockSize(static_cast<int>(frames));
}

void PluginAdapter::sampleRateChanged(double rate)
{
    hosted.setSampleRate(rate);
}

void PluginAdapter::run(const float**, float** outputs, uint32_t frames, const MidiEvent* midiEvents,
                        uint32_t midiEventCount)
{
    const TimePosition& position = getTimePosition();
    HostedSynth::Transport transport;
    transport.playing = position.playing;
    transport.frame = static_cast<int64_t>(position.frame);
    if (position.quarterNotesValid) {
        transport.positionValid = true;
        transport.quarterNotes = position.quarterNotes;
    } else if (position.bbt.valid && position.bbt.ticksPerBeat > 0.0 && position.bbt.beatType > 0.0f) {
        // Hosts that give bar, beat and tick only.
        const double beats = (position.bbt.bar - 1) * static_cast<double>(position.bbt.beatsPerBar) +
                             (position.bbt.beat - 1) + position.bbt.tick / position.bbt.ticksPerBeat;
        transport.positionValid = true;
        transport.quarterNotes = beats * 4.0 / static_cast<double>(position.bbt.beatType);
    }
    if (position.bbt.valid || position.quarterNotesValid) {
        transport.tempoValid = true;
        transport.tempo = position.bbt.beatsPerMinute;
    }

    // System exclusive, whose bytes the framework keeps elsewhere (dataExt),
    // is left out unread.
    for (uint32_t i = 0; i < midiEventCount; ++i)
        hosted.addMidi(midiEvents[i].frame, midiEvents[i].data, midiEvents[i].size);
    hosted.process(transport, outputs[0], outputs[1], frames);
}

Plugin* createPlugin()
{
    return new PluginAdapter();
}

END_NAMESPACE_DISTRHO
