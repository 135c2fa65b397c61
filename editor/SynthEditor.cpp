#include "editor/SynthEditor.h"

#include "editor/EditorImages.h"
#include "editor/ParameterKnob.h"
#include "editor/PulseButton.h"
#include "gui/CBitmap.h"
#include "gui/CFontDesc.h"
#include "gui/CFrame.h"
#include "gui/CKickButton.h"
#include "gui/CMovieButton.h"
#include "gui/CTextLabel.h"
#include "gui/TickCount.h"
#include "plugin/Synth.h"

#include <cstring>

// Positions are pixels from the window's top-left corner; the background
// image is painted for exactly these places.
const SynthEditor::LayoutRow SynthEditor::kLayout[] = {
    {0, 0, 740, 520, "doc", "Doc"},
    {299, 250, 90, 40, "readoutParameter", "Readout"},
    {389, 250, 51, 40, "readoutValue", "Readout"},
    {320, 30, 100, 100, "bendButton", "PulseButton"},
    {563, 425, 21, 20, "DelaySync", "SmallToggleButton"},
    {219, 124, 21, 20, "LFO2Reset", "SmallToggleButton"},
    {219, 100, 21, 20, "LFO2Sync", "SmallToggleButton"},
    {219, 54, 21, 20, "LFO1Reset", "SmallToggleButton"},
    {219, 30, 21, 20, "LFO1Sync", "SmallToggleButton"},
    {375, 150, 30, 30, "buttonInit", "Button"},
    {335, 150, 30, 30, "buttonDice", "Button"},
    {680, 180, 30, 30, "AmplifierGain", "Knob"},
    {170, 420, 30, 30, "PhaserCenter", "Knob"},
    {210, 420, 30, 30, "PhaserFeedback", "Knob"},
    {250, 350, 30, 30, "PhaserModDepth", "Knob"},
    {210, 350, 30, 30, "PhaserModRate", "Knob"},
    {170, 350, 30, 30, "PhaserWet", "Knob"},
    {400, 420, 30, 30, "ChorusFeedback", "Knob"},
    {360, 420, 30, 30, "ChorusDepth", "Knob"},
    {400, 350, 30, 30, "ChorusRate", "Knob"},
    {360, 350, 30, 30, "ChorusWet", "Knob"},
    {180, 100, 30, 30, "ModL2Position", "Knob"},
    {140, 100, 30, 30, "ModL2Pitch", "Knob"},
    {100, 100, 30, 30, "LFO2Wave", "Knob"},
    {60, 100, 30, 30, "LFO2Speed", "Knob"},
    {180, 30, 30, 30, "ModL1Balance", "Knob"},
    {140, 30, 30, 30, "ModL1Cutoff", "Knob"},
    {100, 30, 30, 30, "LFO1Wave", "Knob"},
    {60, 30, 30, 30, "LFO1Speed", "Knob"},
    {680, 100, 30, 30, "MixerRingMod", "Knob"},
    {640, 100, 30, 30, "Osc2Position", "Knob"},
    {600, 100, 30, 30, "Osc2Wave", "Knob"},
    {560, 100, 30, 30, "Osc2Fine", "Knob"},
    {520, 100, 30, 30, "Osc2Coarse", "Knob"},
    {680, 30, 30, 30, "MixerBalance", "Knob"},
    {640, 30, 30, 30, "Osc1Position", "Knob"},
    {600, 30, 30, 30, "Osc1Wave", "Knob"},
    {560, 30, 30, 30, "Osc1Fine", "Knob"},
    {520, 30, 30, 30, "Osc1Coarse", "Knob"},
    {180, 250, 30, 30, "ModEnvRelease", "Knob"},
    {140, 250, 30, 30, "ModEnvSustain", "Knob"},
    {100, 250, 30, 30, "ModEnvDecay", "Knob"},
    {60, 250, 30, 30, "ModEnvAttack", "Knob"},
    {220, 180, 30, 30, "ModMRingMod", "Knob"},
    {180, 180, 30, 30, "ModMBalance", "Knob"},
    {140, 180, 30, 30, "ModMPosition", "Knob"},
    {100, 180, 30, 30, "ModMPitch", "Knob"},
    {60, 180, 30, 30, "ModMCutoff", "Knob"},
    {640, 180, 30, 30, "AmpEnvRelease", "Knob"},
    {600, 180, 30, 30, "AmpEnvSustain", "Knob"},
    {560, 180, 30, 30, "AmpEnvDecay", "Knob"},
    {520, 180, 30, 30, "AmpEnvAttack", "Knob"},
    {640, 250, 30, 30, "SaturatorDrive", "Knob"},
    {600, 250, 30, 30, "FilterResonance", "Knob"},
    {520, 250, 30, 30, "FilterMode", "Knob"},
    {560, 250, 30, 30, "FilterCutoff", "Knob"},
    {60, 420, 30, 30, "DigiRate", "Knob"},
    {520, 420, 30, 30, "DelayFeedback", "Knob"},
    {560, 350, 30, 30, "DelayTime", "Knob"},
    {60, 350, 30, 30, "DigiCrush", "Knob"},
    {520, 350, 30, 30, "DelayWet", "Knob"},
};
const int SynthEditor::kLayoutRowCount = static_cast<int>(sizeof(kLayout) / sizeof(kLayout[0]));

namespace {

bool same(const char* a, const char* b)
{
    return std::strcmp(a, b) == 0;
}

const CColor kReadoutColour(255, 144, 0, 255);

} // namespace

SynthEditor::SynthEditor(Synth* synth) : AEffGUIEditor(synth), synth_(synth)
{
    // The fonts are reference counted rather than owned by a member that
    // would release them: if the second cannot be made, the first is given
    // back before the failure leaves the constructor.
    smallFont_ = new CFontDesc("Helvetica", 11);
    try {
        largeFont_ = new CFontDesc("Helvetica", 13);
    } catch (...) {
        smallFont_->forget();
        throw;
    }
    rect = ERect{0, 0, 100, 100};
}

SynthEditor::~SynthEditor()
{
    // A host may unload the plug-in with the window still open.
    close();
    smallFont_->forget();
    largeFont_->forget();
}

AEffEditor* SynthEditor::create(Synth* synth)
{
    return new SynthEditor(synth);
}

bool SynthEditor::open(void* parentWindow)
{
    // A second open without a close would leave the first frame behind.
    if (frame)
        close();
    AEffGUIEditor::open(parentWindow);
    // Taken at the first open and kept from then on: hosts create many a
    // plug-in that never shows its window (a plug-in scan creates and closes
    // each one).
    if (!images_)
        images_ = EditorImages::acquire();
    CBitmap* layoutImage = images_->layout;

    knobs_.clear();
    knobs_.resize(static_cast<std::size_t>(synth_->parameterCount()), nullptr);

    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<int16_t>(layoutImage->getHeight());
    rect.right = static_cast<int16_t>(layoutImage->getWidth());

    frame = new CFrame(CRect(0, 0, rect.right, rect.bottom), parentWindow, this);
    // No window of ours in the host's (no display, a handle that names no
    // window): no editor, rather than an empty frame the host would show.
    if (parentWindow && !frame->isOpen()) {
        close();
        return false;
    }
    frame->setBackground(layoutImage);

    // Until blocks are seen rendering, the controls show the stored values.
    followLive_ = false;
    seenBlocks_ = synth_->renderedBlocks();
    seenBlocksTick_ = getTickCount() - kAudioStoppedMs;
    for (int row = 0; row < kLayoutRowCount; ++row)
        buildRow(kLayout[row]);

    refreshAll_ = true;
    // The first frame now: a host may be slow to send the first idle call.
    frame->paintDirty();
    return true;
}

void SynthEditor::buildRow(const LayoutRow& row)
{
    const CRect area(row.x, row.y, row.x + row.width, row.y + row.height);
    const char* name = row.name;

    if (same(row.type, "Readout")) {
        auto* label = new CTextLabel(area, "", nullptr);
        label->setBackColor(kTransparentCColor);
        label->setFrameColor(kTransparentCColor);
        label->setFontColor(kReadoutColour);
        if (same(name, "readoutParameter")) {
            label->setFont(smallFont_);
            label->setHoriAlign(kLeftText);
            readoutParameter_ = label;
        } else {
            label->setFont(largeFont_);
            label->setHoriAlign(kRightText);
            if (same(name, "readoutValue"))
                readoutValue_ = label;
        }
        frame->addView(label);
    } else if (same(row.type, "PulseButton")) {
        bendButton_ = new PulseButton(area, this, -1, row.height, images_->bend, images_->bendHot);
        frame->addView(bendButton_);
    } else if (same(row.type, "SmallToggleButton")) {
        CMovieButton** field = nullptr;
        CBitmap* image = images_->sync;
        if (same(name, "DelaySync")) {
            field = &delaySyncButton_;
        } else if (same(name, "LFO1Sync")) {
            field = &lfo1SyncButton_;
        } else if (same(name, "LFO2Sync")) {
            field = &lfo2SyncButton_;
        } else if (same(name, "LFO1Reset")) {
            field = &lfo1ResetButton_;
            image = images_->reset;
        } else if (same(name, "LFO2Reset")) {
            field = &lfo2ResetButton_;
            image = images_->reset;
        }
        if (!field)
            return;
        const int tag = synth_->findParameter(name);
        auto* button = new CMovieButton(area, this, tag, row.height, image, CPoint(0, 0));
        button->setValue(toggleState(shownValue(tag)));
        *field = button;
        frame->addView(button);
    } else if (same(row.type, "Button")) {
        CKickButton** field = nullptr;
        CBitmap* image = nullptr;
        if (same(name, "buttonDice")) {
            field = &diceButton_;
            image = images_->dice;
        } else if (same(name, "buttonInit")) {
            field = &initButton_;
            image = images_->init;
        }
        if (!field)
            return;
        *field = new CKickButton(area, this, -1, row.height, image, CPoint(0, 0));
        frame->addView(*field);
    } else if (same(row.type, "Knob")) {
        const int tag = synth_->findParameter(name);
        if (tag < 0 || tag >= static_cast<int>(knobs_.size()))
            return;
        auto* knob = new ParameterKnob(area, this, tag, images_->knob, images_->knobBend);
        knob->setValue(shownValue(tag));
        knob->setBendLook(synth_->hasBend(tag));
        knobs_[static_cast<std::size_t>(tag)] = knob;
        frame->addView(knob);
    }
    // "Doc" only records the window size.
}

void SynthEditor::close()
{
    if (frame) {
        // A window closed in the middle of a drag would otherwise leave the
        // host's gesture open and, with recording armed, the audition note
        // sounding: end whatever edit is still under way.
        for (int i = 0; i < frame->getNbViews(); ++i)
            if (auto* control = dynamic_cast<CControl*>(frame->getView(i)))
                while (control->isEditing())
                    control->endEdit();
        CFrame* closing = frame;
        frame = nullptr;
        delete closing;
    }
    forgetControls();
    AEffGUIEditor::close();
}

void SynthEditor::forgetControls()
{
    knobs_.clear();
    bendButton_ = nullptr;
    delaySyncButton_ = nullptr;
    diceButton_ = nullptr;
    initButton_ = nullptr;
    lfo1ResetButton_ = nullptr;
    lfo1SyncButton_ = nullptr;
    lfo2ResetButton_ = nullptr;
    lfo2SyncButton_ = nullptr;
    readoutParameter_ = nullptr;
    readoutValue_ = nullptr;
}

void SynthEditor::idle()
{
    if (!frame)
        return;
    // Pending input, timers and redraws first; what the refresh pass changes
    // is painted at the next call.
    frame->idle();
    refreshPass();
}

void SynthEditor::followAudio()
{
    // The live values move only while blocks are rendered. While they do,
    // the controls show them, bends playing included; once no block has come
    // for a while (the host switched the plug-in off or stopped processing)
    // they show the stored values, or every edit would seem to snap back.
    // The grace period keeps hosts with long blocks from flickering between
    // the two.
    const std::uint32_t blocks = synth_->renderedBlocks();
    const std::uint32_t now = getTickCount();
    if (blocks != seenBlocks_) {
        seenBlocks_ = blocks;
        seenBlocksTick_ = now;
        followLive_ = true;
    } else if (now - seenBlocksTick_ >= kAudioStoppedMs) {
        followLive_ = false;
    }
}

float SynthEditor::shownValue(int tag) const
{
    return followLive_ ? synth_->liveValue(tag) : synth_->getParameter(tag);
}

void SynthEditor::refreshPass()
{
    followAudio();
    for (std::size_t i = 0; i < knobs_.size(); ++i) {
        ParameterKnob* knob = knobs_[i];
        if (!knob)
            continue;
        // Compared as the knob would hold it, so that a value outside 0..1
        // does not count as a change on every pass.
        if (refreshAll_ || knob->getValue() != CControl::clampValue(shownValue(static_cast<int>(i))))
            refreshKnob(knob);
    }
    if (bendButton_)
        bendButton_->setValue(synth_->isBendArmed() ? 1.0f : 0.0f);
    // Every toggle shows on exactly when the value it acts on is at least
    // 0.5, as the modules read it, whoever set it (a click, the host, Dice).
    for (CMovieButton* button :
         {delaySyncButton_, lfo1SyncButton_, lfo2SyncButton_, lfo1ResetButton_, lfo2ResetButton_})
        if (button)
            button->setValue(toggleState(shownValue(button->getTag())));
    refreshAll_ = false;
}

void SynthEditor::refreshKnob(ParameterKnob* knob)
{
    if (!knob)
        return;
    const int tag = knob->getTag();
    knob->setValue(shownValue(tag));
    knob->setBendLook(synth_->hasBend(tag));
}

void SynthEditor::valueChanged(CControl* control)
{
    if (!control)
        return;
    if (bendButton_ && control == bendButton_) {
        // Each notification toggles, whatever the button shows.
        if (synth_->isBendArmed())
            synth_->disarmBend();
        else
            synth_->armBend();
        return;
    }
    if (diceButton_ && control == diceButton_) {
        synth_->randomise();
        programRewritten_ = true;
        return;
    }
    if (initButton_ && control == initButton_) {
        synth_->initialise();
        programRewritten_ = true;
        return;
    }
    const int tag = control->getTag();
    if (tag < 0)
        return;
    synth_->setParameterAutomated(tag, control->getValue());
    ParameterKnob* knob = tag < static_cast<int>(knobs_.size()) ? knobs_[static_cast<std::size_t>(tag)] : nullptr;
    // While audio runs the live value follows at the next sub-block; until
    // then the knob may show the previous one.
    refreshKnob(knob);
    updateReadout(knob);
    refreshAll_ = true;
}

void SynthEditor::controlBeginEdit(CControl* control)
{
    if (control && control->getTag() >= 0)
        synth_->beginParameterGesture(control->getTag());
}

void SynthEditor::controlEndEdit(CControl* control)
{
    if (control && control->getTag() >= 0)
        synth_->endParameterGesture(control->getTag());
    // A press of Dice or Init rewrites the program (once or twice, as the
    // button notifies): the host hears of it once, at the release, so that
    // its own views of the parameters read them again. This is no
    // automation: nothing is recorded or sent per parameter.
    if (control && (control == diceButton_ || control == initButton_) && programRewritten_) {
        programRewritten_ = false;
        synth_->updateDisplay();
    }
}

bool SynthEditor::isRecordingArmed() const
{
    return synth_->isBendArmed();
}

void SynthEditor::updateReadout(ParameterKnob* knob)
{
    if (!readoutParameter_ || !readoutValue_)
        return;
    if (!knob) {
        readoutParameter_->setText("");
        readoutValue_->setText("");
        return;
    }
    const int tag = knob->getTag();
    // Room for the longest full names, which the host's 8 characters would cut.
    char text[256] = {};
    synth_->copyParameterName(tag, text, sizeof text);
    readoutParameter_->setText(text);
    char display[256] = {};
    synth_->getParameterDisplay(tag, display);
    readoutValue_->setText(display);
}

void SynthEditor::resetToDefault(ParameterKnob* knob)
{
    if (!knob)
        return;
    const int tag = knob->getTag();
    synth_->setParameterAutomated(tag, synth_->defaultValue(tag));
    updateReadout(knob);
    refreshAll_ = true;
}
