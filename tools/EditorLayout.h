#pragma once
// Where the editor's controls sit on the background, with the caption
// printed under or beside each one. The artwork generator paints the
// captions from this; the background screenshot test places knobs by it.
// The positions are those of the editor's layout table.

namespace EditorLayout {

enum CaptionStyle { kPlain, kModulation };

struct Knob {
    const char* name; // the parameter's full name
    int x, y;         // top-left corner of the 30 x 30 knob
    const char* caption;
    CaptionStyle style;
};

constexpr int kKnobSize = 30;

// One knob per line, as in the editor's layout table: clang-format leaves it.
// clang-format off
constexpr Knob kKnobs[] = {
    {"AmplifierGain", 680, 180, "gain", kPlain},
    {"PhaserCenter", 170, 420, "center", kPlain},
    {"PhaserFeedback", 210, 420, "fdbk", kPlain},
    {"PhaserModDepth", 250, 350, "depth", kPlain},
    {"PhaserModRate", 210, 350, "rate", kPlain},
    {"PhaserWet", 170, 350, "wet", kPlain},
    {"ChorusFeedback", 400, 420, "fdbk", kPlain},
    {"ChorusDepth", 360, 420, "depth", kPlain},
    {"ChorusRate", 400, 350, "rate", kPlain},
    {"ChorusWet", 360, 350, "wet", kPlain},
    {"ModL2Position", 180, 100, "pos", kModulation},
    {"ModL2Pitch", 140, 100, "pitch", kModulation},
    {"LFO2Wave", 100, 100, "wave", kPlain},
    {"LFO2Speed", 60, 100, "speed", kPlain},
    {"ModL1Balance", 180, 30, "bal", kModulation},
    {"ModL1Cutoff", 140, 30, "cutoff", kModulation},
    {"LFO1Wave", 100, 30, "wave", kPlain},
    {"LFO1Speed", 60, 30, "speed", kPlain},
    {"MixerRingMod", 680, 100, "ring", kPlain},
    {"Osc2Position", 640, 100, "pos", kPlain},
    {"Osc2Wave", 600, 100, "wave", kPlain},
    {"Osc2Fine", 560, 100, "fine", kPlain},
    {"Osc2Coarse", 520, 100, "coarse", kPlain},
    {"MixerBalance", 680, 30, "bal", kPlain},
    {"Osc1Position", 640, 30, "pos", kPlain},
    {"Osc1Wave", 600, 30, "wave", kPlain},
    {"Osc1Fine", 560, 30, "fine", kPlain},
    {"Osc1Coarse", 520, 30, "coarse", kPlain},
    {"ModEnvRelease", 180, 250, "release", kPlain},
    {"ModEnvSustain", 140, 250, "sustain", kPlain},
    {"ModEnvDecay", 100, 250, "decay", kPlain},
    {"ModEnvAttack", 60, 250, "attack", kPlain},
    {"ModMRingMod", 220, 180, "ring", kModulation},
    {"ModMBalance", 180, 180, "bal", kModulation},
    {"ModMPosition", 140, 180, "pos", kModulation},
    {"ModMPitch", 100, 180, "pitch", kModulation},
    {"ModMCutoff", 60, 180, "cutoff", kModulation},
    {"AmpEnvRelease", 640, 180, "release", kPlain},
    {"AmpEnvSustain", 600, 180, "sustain", kPlain},
    {"AmpEnvDecay", 560, 180, "decay", kPlain},
    {"AmpEnvAttack", 520, 180, "attack", kPlain},
    {"SaturatorDrive", 640, 250, "drive", kPlain},
    {"FilterResonance", 600, 250, "reso", kPlain},
    {"FilterMode", 520, 250, "mode", kPlain},
    {"FilterCutoff", 560, 250, "cutoff", kPlain},
    {"DigiRate", 60, 420, "rate", kPlain},
    {"DelayFeedback", 520, 420, "fdbk", kPlain},
    {"DelayTime", 560, 350, "time", kPlain},
    {"DigiCrush", 60, 350, "crush", kPlain},
    {"DelayWet", 520, 350, "wet", kPlain},
};
// clang-format on

constexpr int kKnobCount = static_cast<int>(sizeof(kKnobs) / sizeof(kKnobs[0]));

// Small controls: toggles (21 x 20) and the two 30 x 30 buttons.
struct Small {
    const char* name;
    int x, y, width, height;
    const char* caption;
    bool captionBeside; // right of the control rather than under it
};

constexpr Small kSmall[] = {
    {"DelaySync", 563, 425, 21, 20, "sync", false},  {"LFO2Reset", 219, 124, 21, 20, "reset", true},
    {"LFO2Sync", 219, 100, 21, 20, "sync", true},    {"LFO1Reset", 219, 54, 21, 20, "reset", true},
    {"LFO1Sync", 219, 30, 21, 20, "sync", true},     {"buttonInit", 375, 150, 30, 30, "init", false},
    {"buttonDice", 335, 150, 30, 30, "dice", false},
};

// Vertical section titles: the text runs upwards, centred on (x, centreY).
struct Title {
    const char* text;
    int x, centreY;
};

constexpr Title kTitles[] = {
    {"LFO", 42, 88},   {"MOD ENV", 42, 236}, {"OSC", 502, 86},     {"AMP", 502, 200},   {"FLT", 502, 270},
    {"DIGI", 42, 406}, {"PHASER", 152, 406}, {"CHORUS", 342, 406}, {"DELAY", 502, 406},
};

// The lighter plates behind the sections, each holding one title; the
// lower ones sit on the effects' panel.
struct Plate {
    double x, y, w, h;
    bool lower;
};

constexpr Plate kPlates[] = {
    {30, 20, 245, 140, false},  {30, 170, 245, 140, false}, {490, 20, 235, 140, false},
    {490, 170, 235, 68, false}, {490, 242, 235, 68, false}, {30, 340, 70, 135, true},
    {140, 340, 150, 135, true}, {330, 340, 110, 135, true}, {490, 340, 110, 135, true},
};

constexpr int kWidth = 740;
constexpr int kHeight = 520;
constexpr int kLowerPanelTop = 330;

} // namespace EditorLayout
