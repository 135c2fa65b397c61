// The framework's editor: the engine's own SynthEditor, opened inside the
// window the host gives, driven from the host's idle calls. Its edits and
// gestures reach the host through this class; everything the host changes
// reaches the editor through the engine, whose live values it polls.

#include "formats/PluginAdapter.h"

#include "gui/CFrame.h"
#include "vst/AEffGUIEditor.h"

#include <DistrhoUI.hpp>

START_NAMESPACE_DISTRHO

class EditorAdapter : public UI, private HostedSynth::EditorLink {
public:
    EditorAdapter() : UI(DISTRHO_UI_DEFAULT_WIDTH, DISTRHO_UI_DEFAULT_HEIGHT)
    {
        // The framework hands over its plug-in base, not our class.
        auto* plugin = static_cast<PluginAdapter*>(static_cast<Plugin*>(getPluginInstancePointer()));
        if (plugin == nullptr)
            return;
        hosted_ = &plugin->hostedSynth();
        editor_ = dynamic_cast<AEffGUIEditor*>(hosted_->editor());
        hosted_->attachEditor(this);
        if (editor_ != nullptr && isEmbed())
            editor_->open(reinterpret_cast<void*>(getParentWindowHandle()));
    }

    ~EditorAdapter() override
    {
        if (hosted_ == nullptr)
            return;
        // Closing ends any gesture still under way, which still reaches the host.
        if (editor_ != nullptr)
            editor_->close();
        hosted_->detachEditor(this);
    }

    uintptr_t getNativeWindowHandle() const noexcept override
    {
        const CFrame* frame = editor_ != nullptr ? editor_->getFrame() : nullptr;
        return frame != nullptr ? frame->getNativeWindow() : 0;
    }

protected:
    // The editor follows every change by polling the engine.
    void parameterChanged(uint32_t, float) override {}
    void programLoaded(uint32_t) override {}
    void stateChanged(const char*, const char*) override {}

    void uiIdle() override
    {
        if (hosted_ == nullptr)
            return;
        if (editor_ != nullptr)
            editor_->idle();
        hosted_->updateHost();
    }

private:
    void beginGesture(int index) override { editParameter(static_cast<uint32_t>(index), true); }
    void parameterEdited(int index, float value) override { setParameterValue(static_cast<uint32_t>(index), value); }
    void endGesture(int index) override { editParameter(static_cast<uint32_t>(index), false); }

    HostedSynth* hosted_ = nullptr;
    AEffGUIEditor* editor_ = nullptr;

    DISTRHO_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(EditorAdapter)
};

UI* createUI()
{
    return new EditorAdapter();
}

END_NAMESPACE_DISTRHO
