// The adapter's engine host on its own, with the real editor on an offscreen
// frame. Every plug-in format hands the editor's parameter writes back to
// the plug-in in its own way; whichever way, a knob turn with recording
// armed must record exactly the bend points the VST 2.4 edition records, the
// host must hear of every edit with its gesture, and a host's own writes
// must still reach the engine.

#include "formats/HostedSynth.h"

#include "editor/ParameterKnob.h"
#include "editor/PulseButton.h"
#include "editor/SynthEditor.h"
#include "gui/CFrame.h"
#include "gui/CKickButton.h"
#include "gui/TickCount.h"
#include "plugin/Synth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

uint32_t clockNow = 100000;
uint32_t readClock()
{
    return clockNow;
}

// How a format's host gives the editor's edits back to the plug-in.
enum class Echo {
    // LV2: the host writes the control port; the plug-in sees the port's
    // value at its next block, the last of several edits only.
    PortAtNextBlock,
    // VST3 through DPF: the controller passes the value on at once, then the
    // host sends every edit to the processor with the next block, where
    // DPF drops the one equal to the value it last saw.
    AtOnceAndEachLater,
    // CLAP through DPF: every edit queued, delivered in order at the next block.
    EachAtNextBlock,
};

const char* nameOf(Echo echo)
{
    switch (echo) {
    case Echo::PortAtNextBlock:
        return "PortAtNextBlock";
    case Echo::AtOnceAndEachLater:
        return "AtOnceAndEachLater";
    default:
        return "EachAtNextBlock";
    }
}

void PrintTo(Echo echo, std::ostream* out)
{
    *out << nameOf(echo);
}

std::string echoName(const ::testing::TestParamInfo<Echo>& param)
{
    return nameOf(param.param);
}

class FormatHost : public HostedSynth::EditorLink {
public:
    FormatHost(HostedSynth& hosted, Echo echo) : hosted_(hosted), echo_(echo) {}

    void beginGesture(int index) override { gestures.push_back("begin " + std::to_string(index)); }
    void endGesture(int index) override { gestures.push_back("end " + std::to_string(index)); }
    void parameterEdited(int index, float value) override
    {
        edits.push_back({index, value});
        switch (echo_) {
        case Echo::PortAtNextBlock:
            ports_[index] = value;
            break;
        case Echo::AtOnceAndEachLater:
            cache_[index] = value;
            hosted_.setParameterFromHost(index, value);
            queue_.push_back({index, value});
            break;
        case Echo::EachAtNextBlock:
            queue_.push_back({index, value});
            break;
        }
    }

    // What reaches the plug-in before its next block.
    void deliver()
    {
        for (auto& [index, value] : ports_) {
            auto seen = seen_.find(index);
            if (seen == seen_.end() || seen->second != value) {
                seen_[index] = value;
                hosted_.setParameterFromHost(index, value);
            }
        }
        for (auto [index, value] : queue_) {
            if (echo_ == Echo::AtOnceAndEachLater) {
                if (std::fabs(cache_[index] - value) < 1e-7f)
                    continue;
                cache_[index] = value;
            }
            hosted_.setParameterFromHost(index, value);
        }
        queue_.clear();
    }

    std::vector<std::pair<int, float>> edits;
    std::vector<std::string> gestures;

private:
    HostedSynth& hosted_;
    Echo echo_;
    std::map<int, float> ports_, seen_, cache_;
    std::vector<std::pair<int, float>> queue_;
};

VstIntPtr VST_CALLBACK plainHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

CPoint centre(CView* view)
{
    const CRect& r = view->getViewSize();
    return CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// One engine and its editor, opened offscreen, driven by mouse events.
struct Side {
    explicit Side(Synth& s) : synth(s), editor(dynamic_cast<SynthEditor*>(s.getEditor())) { editor->open(nullptr); }
    CFrame* frame() { return editor->getFrame(); }
    ParameterKnob* knob(const char* name)
    {
        return editor->getKnobs().at(static_cast<std::size_t>(synth.findParameter(name)));
    }
    void click(CView* view)
    {
        frame()->mouseDown(centre(view), kLButton);
        frame()->mouseUp(centre(view), kLButton);
    }
    Synth& synth;
    SynthEditor* editor;
};

} // namespace

class HostedSynthEcho : public ::testing::TestWithParam<Echo> {
protected:
    void SetUp() override { setTickSource(&readClock); }
    void TearDown() override { setTickSource(nullptr); }

    // The same steps on the VST 2.4 edition's engine (a host that gives
    // nothing back) and on the hosted one behind the format's echo.
    template <typename Steps>
    void both(Steps&& steps)
    {
        reference = std::make_unique<Synth>(&plainHost, &SynthEditor::create);
        hosted = std::make_unique<HostedSynth>();
        link = std::make_unique<FormatHost>(*hosted, GetParam());
        hosted->attachEditor(link.get());
        Side plain(*reference), wrapped(hosted->synth());
        steps(plain, [&](int frames) { renderPlain(frames); });
        steps(wrapped, [&](int frames) { renderHosted(frames); });
        hosted->detachEditor(link.get());
    }

    void renderPlain(int frames)
    {
        std::vector<float> l(static_cast<std::size_t>(frames)), r(l);
        float* out[2] = {l.data(), r.data()};
        reference->processReplacing(nullptr, out, frames);
        reference->getEditor()->idle();
    }
    void renderHosted(int frames)
    {
        link->deliver();
        std::vector<float> l(static_cast<std::size_t>(frames)), r(l);
        hosted->process(HostedSynth::Transport{}, l.data(), r.data(), static_cast<uint32_t>(frames));
        hosted->editor()->idle();
        hosted->updateHost();
    }

    std::unique_ptr<Synth> reference;
    std::unique_ptr<HostedSynth> hosted;
    std::unique_ptr<FormatHost> link;
};

TEST_P(HostedSynthEcho, AKnobTurnRecordsExactlyTheBendPointsOfTheVst24Edition)
{
    int cutoff = -1;
    both([&](Side& side, auto render) {
        cutoff = side.synth.findParameter("FilterCutoff");
        side.click(side.editor->getBendButton());
        ParameterKnob* knob = side.knob("FilterCutoff");
        const CPoint at = centre(knob);
        side.frame()->mouseDown(at, kLButton);
        render(256);
        // Several edits between two blocks, one edit, a value the knob
        // already had, and a value from an earlier edit.
        const int moves[] = {5, 11, 17, 17, 23, 40, 23, 60, 61, 62, 70};
        const int blocksAfter[] = {0, 0, 1, 0, 1, 1, 1, 0, 0, 1, 2};
        for (std::size_t i = 0; i < std::size(moves); ++i) {
            side.frame()->mouseMoved(CPoint(at.x, at.y + moves[i]), kLButton);
            for (int b = 0; b < blocksAfter[i]; ++b)
                render(128);
        }
        side.frame()->mouseUp(CPoint(at.x, at.y + 70), kLButton);
        render(512);
        render(512);
    });
    const std::vector<BendPoint> expected = reference->bendPoints(cutoff);
    const std::vector<BendPoint> actual = hosted->synth().bendPoints(cutoff);
    ASSERT_GE(expected.size(), 8u) << "the drag recorded too little to tell";
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actual[i].time, expected[i].time) << "point " << i;
        EXPECT_EQ(actual[i].value, expected[i].value) << "point " << i;
    }
    EXPECT_EQ(hosted->synth().getParameter(cutoff), reference->getParameter(cutoff));

    // The host heard every edit, inside one gesture.
    ASSERT_EQ(link->edits.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(link->edits[i].second, expected[i].value);
    const std::string name = std::to_string(cutoff);
    EXPECT_EQ(link->gestures, (std::vector<std::string>{"begin " + name, "end " + name}));
}

TEST_P(HostedSynthEcho, DiceWhileArmedRecordsOnePointPerParameterAndTheHostLearnsTheValues)
{
    both([&](Side& side, auto render) {
        side.click(side.editor->getBendButton());
        side.click(side.editor->getDiceButton());
        render(128);
        render(128);
        render(128);
    });
    int recorded = 0;
    for (int i = 0; i < reference->parameterCount(); ++i) {
        const std::vector<BendPoint> expected = reference->bendPoints(i);
        const std::vector<BendPoint> actual = hosted->synth().bendPoints(i);
        ASSERT_EQ(actual.size(), expected.size()) << "parameter " << i;
        recorded += static_cast<int>(expected.size());
        EXPECT_EQ(hosted->synth().getParameter(i), reference->getParameter(i));
        EXPECT_EQ(hosted->parameter(i), reference->getParameter(i));
    }
    EXPECT_GT(recorded, 30);
    // Dice does not name its values to the host: the editor's next idle does,
    // each within a gesture.
    std::map<int, float> told;
    for (auto [index, value] : link->edits)
        told[index] = value;
    for (int i = 0; i < reference->voiceParameterCount(); ++i) {
        if (!reference->bendPoints(i).empty()) {
            EXPECT_EQ(told.at(i), reference->getParameter(i)) << "parameter " << i;
        }
    }
}

TEST_P(HostedSynthEcho, TheHostsOwnWritesReachTheEngineAndAreRecordedWhileArmed)
{
    both([&](Side& side, auto render) {
        // A write from the host's automation: on the VST 2.4 edition the host
        // calls setParameter; here it comes as a host write.
        auto automate = [&](int index, float value) {
            if (&side.synth == reference.get())
                side.synth.setParameter(index, value);
            else
                hosted->setParameterFromHost(index, value);
        };
        automate(9, 0.7f);
        render(128);
        side.synth.armBend();
        automate(9, 0.3f);
        automate(9, 0.3f); // the same value twice: two points, as a VST 2.4 host gets
        render(128);
        // Even a value the editor itself set, once the blocks in which a host
        // gives an edit back have passed.
        side.click(side.editor->getBendButton()); // disarm
        ParameterKnob* knob = side.knob("LFO1Speed");
        side.frame()->mouseDown(centre(knob), kLButton);
        side.frame()->mouseMoved(CPoint(centre(knob).x, centre(knob).y - 10), kLButton);
        side.frame()->mouseUp(CPoint(centre(knob).x, centre(knob).y - 10), kLButton);
        for (int block = 0; block < 6; ++block)
            render(128);
        const float edited = side.synth.getParameter(9);
        side.synth.armBend();
        automate(9, 0.1f);
        automate(9, edited);
        render(128);
    });
    EXPECT_EQ(hosted->synth().bendPoints(9).size(), reference->bendPoints(9).size());
    EXPECT_EQ(reference->bendPoints(9).size(), 2u);
    EXPECT_EQ(hosted->synth().getParameter(9), reference->getParameter(9));
}

INSTANTIATE_TEST_SUITE_P(Formats, HostedSynthEcho,
                         ::testing::Values(Echo::PortAtNextBlock, Echo::AtOnceAndEachLater, Echo::EachAtNextBlock),
                         echoName);
