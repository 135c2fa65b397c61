#pragma once
// A small CLAP host: the plug-in loaded through clap_entry and its factory,
// MIDI as CLAP MIDI events, the transport as a CLAP transport event, state
// through the state extension's streams, parameters through the parameter
// extension and parameter events, and the editor embedded in an X11 window
// of ours (a Win32 window on Windows), driven by the host timer the plug-in
// asks for.

#include "support/PluginUnderTest.h"

#include <clap/entry.h>
#include <clap/events.h>
#include <clap/ext/gui.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/timer-support.h>
#include <clap/host.h>
#include <clap/plugin-factory.h>
#include <clap/plugin.h>
#include <clap/process.h>

#include <string>
#include <vector>

class ClapPlugin : public PluginUnderTest {
public:
    explicit ClapPlugin(const std::string& path);
    ~ClapPlugin() override;

    void activate(int sampleRate, int maxBlock) override;
    void process(const VstEvents* events, const VstTimeInfo& time, float* left, float* right, int frames) override;
    void setParameter(int index, float value) override;
    float parameter(int index) override;
    std::vector<ParameterInfo> parameterInfo() override;
    std::string parameterText(int index, float value) override;
    std::vector<uint8_t> saveState() override;
    bool loadState(const std::vector<uint8_t>& state) override;
    std::string stateValue(const std::string& key) override;

    // The editor inside `parent`, an X11 window (a window handle on
    // Windows); idleEditor() fires the timer the plug-in registered, as the
    // host's event loop would.
    bool openEditor(uintptr_t parent);
    void idleEditor();
    void closeEditor();

    // What the plug-in told the host in its output events.
    struct OutputEvent {
        enum Kind { Value, GestureBegin, GestureEnd } kind;
        int index;
        double value;
    };
    std::vector<OutputEvent> output;

private:
    union Event {
        clap_event_header header;
        clap_event_midi midi;
        clap_event_param_value param;
    };
    struct ParamSet {
        int index;
        float value;
    };

    static const void* CLAP_ABI hostExtension(const clap_host* host, const char* id);

    clap_host host_{};
    void* library_ = nullptr;
    const clap_plugin_entry* entry_ = nullptr;
    const clap_plugin* plugin_ = nullptr;
    const clap_plugin_params* params_ = nullptr;
    const clap_plugin_state* state_ = nullptr;
    const clap_plugin_gui* gui_ = nullptr;
    bool active_ = false;
    bool editorOpen_ = false;
    bool timerRegistered_ = false;
    clap_id timer_ = 0;
    std::vector<Event> events_;
    std::vector<const clap_event_header*> pointers_;
    std::vector<ParamSet> pendingParams_;
};
