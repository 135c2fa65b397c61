#pragma once
// Base of an editor drawn by our GUI toolkit: holds the window rectangle,
// the toolkit frame while the window is open, and the calls that tell the
// host about a gesture on a parameter.

#include "vst/AEffEditor.h"
#include "vst/AudioEffect.h"

class CFrame;

class AEffGUIEditor : public AEffEditor {
public:
    explicit AEffGUIEditor(AudioEffect* effect_) : AEffEditor(effect_) { rect = ERect{0, 0, 0, 0}; }

    bool getRect(ERect** r) override
    {
        *r = &rect;
        return true;
    }
    bool open(void* ptr) override { return AEffEditor::open(ptr); }
    void close() override { AEffEditor::close(); }

    // Informs the host that a gesture on parameter `index` starts or ends.
    virtual void beginEdit(VstInt32 index)
    {
        if (effect)
            effect->beginEdit(index);
    }
    virtual void endEdit(VstInt32 index)
    {
        if (effect)
            effect->endEdit(index);
    }

    CFrame* getFrame() const { return frame; }

protected:
    ERect rect;
    CFrame* frame = nullptr;
};
