#pragma once
// A Synth built directly with its editor, a host callback that records what
// the plug-in tells the host, a fake toolkit clock and helpers that press,
// drag and hover on the editor's offscreen frame.

#include "editor/ParameterKnob.h"
#include "editor/PulseButton.h"
#include "editor/SynthEditor.h"
#include "gui/CFrame.h"
#include "gui/TickCount.h"
#include "plugin/Synth.h"
#include "tests/support/SynthRender.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

struct HostCall {
    VstInt32 opcode;
    VstInt32 index;
    float opt;
};

struct EditorHost {
    static std::vector<HostCall> calls;
    static VstIntPtr VST_CALLBACK callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt)
    {
        calls.push_back({opcode, index, opt});
        return opcode == audioMasterVersion ? 2400 : 0;
    }
    static int count(VstInt32 opcode, VstInt32 index = -1)
    {
        return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const HostCall& c) {
            return c.opcode == opcode && (index < 0 || c.index == index);
        }));
    }
    static std::vector<float> automated(VstInt32 index)
    {
        std::vector<float> values;
        for (const HostCall& c : calls)
            if (c.opcode == audioMasterAutomate && c.index == index)
                values.push_back(c.opt);
        return values;
    }
};

struct EditorClock {
    static std::uint32_t now;
    static std::uint32_t read() { return now; }
};

class EditorFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        EditorClock::now = 100000;
        setTickSource(&EditorClock::read);
        EditorHost::calls.clear();
        synth = std::make_unique<Synth>(&EditorHost::callback, &SynthEditor::create);
        editor = dynamic_cast<SynthEditor*>(synth->getEditor());
        ASSERT_NE(editor, nullptr);
    }
    void TearDown() override
    {
        synth.reset();
        setTickSource(nullptr);
    }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr)
    {
        return synth->dispatcher(opcode, index, value, ptr, 0.0f);
    }
    // Opens without a parent window: the frame draws offscreen. (A host
    // asking for that through the dispatcher is refused.)
    void open()
    {
        ASSERT_EQ(dispatch(effEditOpen), 0);
        ASSERT_TRUE(editor->open(nullptr));
        ASSERT_NE(frame(), nullptr);
    }
    void idle() { dispatch(effEditIdle); }
    CFrame* frame() const { return editor->getFrame(); }

    int index(const char* name) { return synth->findParameter(name); }
    ParameterKnob* knob(const char* name) { return editor->getKnobs().at(static_cast<std::size_t>(index(name))); }

    static CPoint centre(CView* view)
    {
        const CRect& r = view->getViewSize();
        return CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    void hover(CPoint where) { frame()->mouseMoved(where, CButtonState()); }
    void click(CView* view)
    {
        frame()->mouseDown(centre(view), kLButton);
        frame()->mouseUp(centre(view), kLButton);
    }
    // Presses in the middle of the knob, moves up by dy pixels in steps, releases.
    void drag(CView* view, int dy, int steps = 4)
    {
        CPoint at = centre(view);
        frame()->mouseDown(at, kLButton);
        for (int s = 1; s <= steps; ++s)
            frame()->mouseMoved(CPoint(at.x, at.y - dy * s / steps), kLButton);
        frame()->mouseUp(CPoint(at.x, at.y - dy), kLButton);
    }

    // Renders in the test thread, as the host's audio thread would.
    std::vector<float> render(int frames, int block = 512) { return renderSynth(*synth, frames, block); }
    static float peak(const std::vector<float>& samples)
    {
        float p = 0.0f;
        for (float s : samples)
            p = std::max(p, std::fabs(s));
        return p;
    }

    std::unique_ptr<Synth> synth;
    SynthEditor* editor = nullptr;
};
