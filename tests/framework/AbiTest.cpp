#include "vst/AudioEffectX.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Recorded {
    VstInt32 opcode;
    VstIntPtr value;
};
std::vector<Recorded> recorded;

VstIntPtr VST_CALLBACK recordingHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr value, void*, float)
{
    recorded.push_back({opcode, value});
    return opcode == audioMasterVersion ? 2400 : 0;
}

class Plain : public AudioEffectX {
public:
    Plain() : AudioEffectX(recordingHost, 4, 3) {}
    void processReplacing(float**, float**, VstInt32) override {}
    void setParameter(VstInt32 index, float value) override { last = {index, value}; }
    std::pair<VstInt32, float> last{-1, 0.0f};
};

class Editor : public AEffEditor {
public:
    using AEffEditor::AEffEditor;
    bool getRect(ERect** rect) override
    {
        *rect = &r;
        return true;
    }
    bool open(void* ptr) override
    {
        AEffEditor::open(ptr);
        ++opened;
        return true;
    }
    void idle() override { ++idles; }
    ERect r{0, 0, 20, 30};
    int opened = 0;
    int idles = 0;
};

} // namespace

TEST(AudioEffect, DefaultsOfABarePlugin)
{
    recorded.clear();
    Plain plugin;
    AEffect* e = plugin.getAeffect();
    EXPECT_EQ(e->object, &plugin);
    EXPECT_EQ(e->numPrograms, 4);
    EXPECT_EQ(e->numParams, 3);
    EXPECT_EQ(plugin.getSampleRate(), 44100.0f);
    EXPECT_EQ(plugin.getBlockSize(), 1024);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    e->dispatcher(e, effSetBlockSize, 0, 256, nullptr, 0.0f);
    EXPECT_EQ(plugin.getSampleRate(), 48000.0f);
    EXPECT_EQ(plugin.getBlockSize(), 256);
    EXPECT_EQ(e->dispatcher(e, effGetPlugCategory, 0, 0, nullptr, 0.0f), kPlugCategUnknown);
    plugin.isSynth();
    EXPECT_EQ(e->dispatcher(e, effGetPlugCategory, 0, 0, nullptr, 0.0f), kPlugCategSynth);
    recorded.clear();
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].opcode, audioMasterWantMidi);
    EXPECT_EQ(recorded[0].value, 1);
}

TEST(AudioEffect, SetParameterAutomatedStoresThenTellsTheHost)
{
    recorded.clear();
    Plain plugin;
    plugin.setParameterAutomated(2, 0.25f);
    EXPECT_EQ(plugin.last.first, 2);
    EXPECT_EQ(plugin.last.second, 0.25f);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].opcode, audioMasterAutomate);
}

TEST(AudioEffect, EditorOpcodesReachTheAttachedEditor)
{
    Plain plugin;
    AEffect* e = plugin.getAeffect();
    ERect* rect = nullptr;
    EXPECT_EQ(e->dispatcher(e, effEditGetRect, 0, 0, &rect, 0.0f), 0);
    EXPECT_EQ(e->flags & effFlagsHasEditor, 0);
    auto* editor = new Editor(&plugin);
    plugin.setEditor(editor); // owned by the plug-in from now on
    EXPECT_NE(e->flags & effFlagsHasEditor, 0);
    EXPECT_EQ(e->dispatcher(e, effEditGetRect, 0, 0, &rect, 0.0f), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right, 30);
    int parent = 0;
    EXPECT_EQ(e->dispatcher(e, effEditOpen, 0, 0, &parent, 0.0f), 1);
    EXPECT_TRUE(editor->isOpen());
    e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(editor->idles, 1);
    e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_FALSE(editor->isOpen());
}
