#pragma once
// One instance of an edition of the instrument, driven the way its format's
// hosts drive it, behind one interface so that every edition plays the same
// song block by block as the VST 2.4 edition does: the block's MIDI events
// and the host's transport in the VST 2.4 form, each edition converting
// them to its format's own.

#include "vst/VstAbi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

std::vector<uint8_t> decodeBase64(const std::string& text);
std::string encodeBase64(const std::vector<uint8_t>& bytes);

class PluginUnderTest {
public:
    virtual ~PluginUnderTest() = default;

    virtual void activate(int sampleRate, int maxBlock) = 0;
    // One block: its events (deltaFrames within the block) and the transport
    // at its first frame.
    virtual void process(const VstEvents* events, const VstTimeInfo& time, float* left, float* right, int frames) = 0;
    // Whether the host announces the transport with every block (the
    // default) or, as Ardour does for LV2, only where it jumps or the tempo
    // changes, leaving the plug-in to carry the position forward.
    virtual void announceTransportOnlyOnChanges() {}

    // A host's own write of a parameter (automation), between blocks.
    virtual void setParameter(int index, float value) = 0;
    virtual float parameter(int index) = 0;

    // The format's saved state, as bytes; load applies it as the host would
    // when reopening a song (false when the plug-in refused it).
    virtual std::vector<uint8_t> saveState() = 0;
    virtual bool loadState(const std::vector<uint8_t>& state) = 0;
    // One value of the plug-in's own state ("bank", "program"), as the
    // plug-in saves it now.
    virtual std::string stateValue(const std::string& key) = 0;
    // The whole bank as the engine's own chunk, taken from the saved state.
    std::vector<uint8_t> bank() { return decodeBase64(stateValue("bank")); }

    // What a host shows of each parameter.
    struct ParameterInfo {
        std::string name;
        std::string symbol; // the stable identifier a host saves (LV2 symbol, CLAP module path)
        float minimum = 0.0f, maximum = 1.0f, defaultValue = 0.0f;
        bool automatable = false;
        std::vector<std::pair<float, std::string>> scalePoints; // named values (LV2)
    };
    virtual std::vector<ParameterInfo> parameterInfo() = 0;
    // The plug-in's display text of a value, where the format carries one
    // ("" where not).
    virtual std::string parameterText(int, float) { return {}; }

    // The host's list of the plug-in's presets (LV2 presets, the VST3
    // program list), in the plug-in's order; empty where the format has none.
    virtual std::vector<std::string> presets() { return {}; }
    // Applies entry `index` of that list as a host does when the user picks it.
    virtual bool choosePreset(int) { return false; }

    std::string error;
};

// The plug-ins' libraries: dlopen on Linux, LoadLibrary on Windows. Under
// the sanitizers they are never unloaded, so that the leak checker still sees
// what the drawing libraries they pull in keep for the life of the process.
void* openPluginLibrary(const std::string& path, std::string& error);
void* pluginSymbol(void* library, const char* name);
void closePluginLibrary(void* library);

// The editions under test, loaded from the build tree.
std::unique_ptr<PluginUnderTest> loadVst2(const std::string& path);
std::unique_ptr<PluginUnderTest> loadClap(const std::string& path);
std::unique_ptr<PluginUnderTest> loadVst3(const std::string& bundle);
std::unique_ptr<PluginUnderTest> loadLv2(const std::string& bundleParent, const std::string& uri);

// A saved state with one text replaced by another (the formats keep the
// bank as the base64 text of the engine's chunk); the state unchanged when
// the text is not in it.
std::vector<uint8_t> replacedInState(const std::vector<uint8_t>& state, const std::string& text,
                                     const std::string& replacement);
// A DPF state (CLAP, VST3) whose own "program" value is `program`.
std::vector<uint8_t> withProgram(const std::vector<uint8_t>& state, int program);
// The factory bank's chunk, from examples/factory.fxb.
std::vector<uint8_t> factoryBankChunk();

// DPF keeps a plug-in's state as key and value strings, each ended by a
// zero byte; returns the value of `key` ("" when absent).
// Called just before and just after each call into the plug-in's audio
// function (run, process), on the calling thread; null unless a test sets them.
extern void (*audioCallBegins)();
extern void (*audioCallEnds)();

std::string dpfStateValue(const std::vector<uint8_t>& state, const std::string& key);
