#pragma once
// The framework's plug-in: the 56 parameters, the programs, the state and
// the audio callback, each handed to the HostedSynth it owns.

#include "formats/HostedSynth.h"

#include <DistrhoPlugin.hpp>

START_NAMESPACE_DISTRHO

// Holds the engine, so that it exists (and has counted its parameters)
// before the framework's base class is built with that count. The
// framework asks for the state through a const call, and the engine builds
// its chunks in a buffer of its own.
struct HostedSynthHolder {
    mutable HostedSynth hosted;
};

class PluginAdapter : private HostedSynthHolder, public Plugin {
public:
    PluginAdapter();

    HostedSynth& hostedSynth() { return hosted; }

    // The state keys, in the order they are restored.
    enum StateKey : uint32_t { kStateBank, kStateProgram, kStatePreset, kStateCount };

protected:
    const char* getLabel() const override { return "Tarvel"; }
    const char* getDescription() const override;
    const char* getMaker() const override { return "Tarvel"; }
    const char* getLicense() const override { return "Proprietary"; }
    uint32_t getVersion() const override { return d_version(1, 0, 0); }
    int64_t getUniqueId() const override { return d_cconst('z', 'k', 'v', 'q'); }

    void initAudioPort(bool input, uint32_t index, AudioPort& port) override;
    void initParameter(uint32_t index, Parameter& parameter) override;
    void initProgramName(uint32_t index, String& name) override;
    void initState(uint32_t index, State& state) override;

    float getParameterValue(uint32_t index) const override;
    void setParameterValue(uint32_t index, float value) override;
    bool getParameterText(uint32_t index, float value, char* text, uint32_t size) const override;
    void loadProgram(uint32_t index) override;
    String getState(const char* key) const override;
    void setState(const char* key, const char* value) override;

    void activate() override;
    void deactivate() override;
    void run(const float** inputs, float** outputs, uint32_t frames, const MidiEvent* midiEvents,
             uint32_t midiEventCount) override;
    void bufferSizeChanged(uint32_t frames) override;
    void sampleRateChanged(double rate) override;

private:
    DISTRHO_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(PluginAdapter)
};

END_NAMESPACE_DISTRHO
