#pragma once
// The plug-in's window: a fixed background, one knob per sound parameter
// (but one), the sync and reset toggles, the bend button, Dice and Init and
// a two-field readout, all built from one layout table at each open. It
// writes parameters through the host-visible path and learns of every other
// change (automation, programs, bend playback) by polling on each idle call:
// the live values while audio runs, the stored ones while it does not.

#include "gui/CControlListener.h"
#include "vst/AEffGUIEditor.h"

#include <cstdint>
#include <memory>
#include <vector>

class CControl;
class CFontDesc;
class CKickButton;
class CMovieButton;
class CTextLabel;
class EditorImages;
class ParameterKnob;
class PulseButton;
class Synth;

class SynthEditor : public AEffGUIEditor, public CControlListener {
public:
    struct LayoutRow {
        std::int32_t x, y, width, height;
        const char* name;
        const char* type;
    };
    static const LayoutRow kLayout[];
    static const int kLayoutRowCount;

    explicit SynthEditor(Synth* synth);
    ~SynthEditor() override;

    // What the plug-in's constructor calls to make its editor.
    static AEffEditor* create(Synth* synth);

    bool open(void* parentWindow) override;
    void close() override;
    void idle() override;

    void valueChanged(CControl* control) override;
    void controlBeginEdit(CControl* control) override;
    void controlEndEdit(CControl* control) override;

    // Shows the knob's parameter name and display text; null clears both.
    void updateReadout(ParameterKnob* knob);
    void resetToDefault(ParameterKnob* knob);
    // The next knob gesture records a bend.
    bool isRecordingArmed() const;

    // With no block rendered for this long, audio counts as stopped.
    static constexpr std::uint32_t kAudioStoppedMs = 500;

    // Inspection (tests, tools).
    bool isEditorOpen() const { return frame != nullptr; }
    const std::vector<ParameterKnob*>& getKnobs() const { return knobs_; }
    PulseButton* getBendButton() const { return bendButton_; }
    CKickButton* getDiceButton() const { return diceButton_; }
    CKickButton* getInitButton() const { return initButton_; }
    CMovieButton* getDelaySyncButton() const { return delaySyncButton_; }
    CMovieButton* getLfo1ResetButton() const { return lfo1ResetButton_; }
    CMovieButton* getLfo1SyncButton() const { return lfo1SyncButton_; }
    CMovieButton* getLfo2ResetButton() const { return lfo2ResetButton_; }
    CMovieButton* getLfo2SyncButton() const { return lfo2SyncButton_; }
    CTextLabel* getReadoutParameter() const { return readoutParameter_; }
    CTextLabel* getReadoutValue() const { return readoutValue_; }

private:
    void buildRow(const LayoutRow& row);
    void followAudio();
    float shownValue(int tag) const;
    static float toggleState(float value) { return value >= 0.5f ? 1.0f : 0.0f; }
    void refreshKnob(ParameterKnob* knob);
    void refreshPass();
    void forgetControls();

    PulseButton* bendButton_ = nullptr;
    CMovieButton* delaySyncButton_ = nullptr;
    CKickButton* diceButton_ = nullptr;
    CKickButton* initButton_ = nullptr;
    // From the first open: this editor's images, over pixels shared with
    // the editors of every other instance.
    std::unique_ptr<EditorImages> images_;
    std::vector<ParameterKnob*> knobs_;
    CMovieButton* lfo1ResetButton_ = nullptr;
    CMovieButton* lfo1SyncButton_ = nullptr;
    CMovieButton* lfo2ResetButton_ = nullptr;
    CMovieButton* lfo2SyncButton_ = nullptr;
    bool refreshAll_ = false;
    CTextLabel* readoutParameter_ = nullptr;
    CTextLabel* readoutValue_ = nullptr;
    CFontDesc* smallFont_ = nullptr;
    CFontDesc* largeFont_ = nullptr;
    Synth* synth_;
    // Whether the controls follow the live values (audio runs) or the stored
    // ones, and the block count and tick when a new block was last seen.
    bool followLive_ = false;
    std::uint32_t seenBlocks_ = 0;
    std::uint32_t seenBlocksTick_ = 0;
    // Dice or Init rewrote the program during the current button press.
    bool programRewritten_ = false;
};
