#pragma once
// What the plug-in framework builds: a six-voice instrument with two audio
// outputs, MIDI in, the host's transport, 32 programs, its state as text,
// and the engine's own editor embedded in the host's window. The framework
// reads this file by name.

#define DISTRHO_PLUGIN_NAME "Tarvel"
#define DISTRHO_PLUGIN_URI "urn:tarvel:synth"
#define DISTRHO_PLUGIN_CLAP_ID "org.tarvel.synth"
#define DISTRHO_PLUGIN_LV2_STATE_PREFIX "urn:tarvel:state#"

#define DISTRHO_PLUGIN_NUM_INPUTS 0
#define DISTRHO_PLUGIN_NUM_OUTPUTS 2
#define DISTRHO_PLUGIN_IS_SYNTH 1
#define DISTRHO_PLUGIN_IS_RT_SAFE 1
#define DISTRHO_PLUGIN_WANT_MIDI_INPUT 1
#define DISTRHO_PLUGIN_WANT_TIMEPOS 1
#define DISTRHO_PLUGIN_WANT_PROGRAMS 1
#define DISTRHO_PLUGIN_WANT_STATE 1
#define DISTRHO_PLUGIN_WANT_FULL_STATE 1

// The editor reads the engine's live values and drives bend recording, so
// it works on the engine directly; it opens its own window inside the
// host's and is driven from the host's idle calls.
#define DISTRHO_PLUGIN_HAS_UI 1
#define DISTRHO_PLUGIN_HAS_EXTERNAL_UI 1
#define DISTRHO_PLUGIN_HAS_EMBED_UI 1
#define DISTRHO_PLUGIN_WANT_DIRECT_ACCESS 1
#define DISTRHO_UI_USER_RESIZABLE 0
#define DISTRHO_UI_FILE_BROWSER 0
#define DISTRHO_UI_DEFAULT_WIDTH 740
#define DISTRHO_UI_DEFAULT_HEIGHT 520

#define DISTRHO_PLUGIN_LV2_CATEGORY "lv2:InstrumentPlugin"
#define DISTRHO_PLUGIN_VST3_CATEGORIES "Instrument|Synth|Stereo"
#define DISTRHO_PLUGIN_CLAP_FEATURES "instrument", "synthesizer", "stereo"
