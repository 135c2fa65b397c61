// The editor in a real window on a (virtual) X server, as a host runs it:
// a parent window, idle calls from the test thread, audio rendered at
// real-time pace on a thread of its own, input through XTest. Run under
// xvfb-run.

#include "editor/ParameterKnob.h"
#include "editor/PulseButton.h"
#include "editor/SynthEditor.h"
#include "gui/CFrame.h"
#include "gui/CKickButton.h"
#include "gui/CMovieButton.h"
#include "gui/COffscreenContext.h"
#include "gui/CTextLabel.h"
#include "plugin/Synth.h"
#include "tests/support/XServerTest.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <cairo.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Recorded {
    VstInt32 opcode;
    VstInt32 index;
    float opt;
};

std::mutex callsMutex;
std::vector<Recorded> calls;

VstIntPtr VST_CALLBACK recordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt)
{
    if (opcode == audioMasterGetTime)
        return 0;
    std::lock_guard<std::mutex> lock(callsMutex);
    calls.push_back({opcode, index, opt});
    return opcode == audioMasterVersion ? 2400 : 0;
}

std::vector<Recorded> recorded(VstInt32 opcode)
{
    std::lock_guard<std::mutex> lock(callsMutex);
    std::vector<Recorded> out;
    for (const Recorded& c : calls)
        if (c.opcode == opcode)
            out.push_back(c);
    return out;
}

// Renders 512-sample blocks at the pace of a sound card and keeps the
// loudest sample since the last reset; a note can be handed to it.
class AudioThread {
public:
    explicit AudioThread(Synth& synth) : synth_(synth), thread_([this] { run(); }) {}
    ~AudioThread()
    {
        running_.store(false);
        thread_.join();
    }
    float peak() const { return peak_.load(); }
    // Voices sounding after the last block (read on the audio thread).
    int activeVoices() const { return activeVoices_.load(); }
    void resetPeak() { peak_.store(0.0f); }
    // MIDI note on (velocity > 0) or off, delivered before the next block.
    void sendNote(int note, int velocity) { pending_.store(note << 8 | velocity); }

private:
    void run()
    {
        std::vector<float> left(512), right(512);
        float* outputs[2] = {left.data(), right.data()};
        auto next = Clock::now();
        while (running_.load()) {
            int pending = pending_.exchange(-1);
            if (pending >= 0) {
                VstMidiEvent event{};
                event.type = kVstMidiType;
                event.byteSize = sizeof event;
                event.midiData[0] = static_cast<char>((pending & 0xff) ? 0x90 : 0x80);
                event.midiData[1] = static_cast<char>(pending >> 8);
                event.midiData[2] = static_cast<char>(pending & 0xff);
                VstEvents events{};
                events.numEvents = 1;
                events.events[0] = reinterpret_cast<VstEvent*>(&event);
                synth_.processEvents(&events);
            }
            synth_.processReplacing(nullptr, outputs, 512);
            float p = peak_.load();
            for (float s : left)
                p = std::max(p, std::fabs(s));
            peak_.store(p);
            activeVoices_.store(synth_.activeVoiceCount());
            next += std::chrono::microseconds(11610);
            std::this_thread::sleep_until(next);
        }
    }

    Synth& synth_;
    std::atomic<bool> running_{true};
    std::atomic<float> peak_{0.0f};
    std::atomic<int> pending_{-1};
    std::atomic<int> activeVoices_{0};
    std::thread thread_;
};

class EditorX11Test : public XServerTest {
protected:
    void SetUp() override
    {
        XServerTest::SetUp();
        if (HasFatalFailure())
            return;
        {
            std::lock_guard<std::mutex> lock(callsMutex);
            calls.clear();
        }
        movePointer(kWidth + 100, kHeight + 100);
        synth = std::make_unique<Synth>(&recordingHost, &SynthEditor::create);
        editor = dynamic_cast<SynthEditor*>(synth->getEditor());
        ASSERT_NE(editor, nullptr);
        synth->setSampleRate(44100.0f);
        synth->setBlockSize(512);
    }

    void TearDown() override
    {
        if (synth)
            synth->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
        audio.reset();
        synth.reset();
        XServerTest::TearDown();
    }

    // Makes the host's window, opens the editor in it and starts the audio.
    void openEditor()
    {
        mapHostWindow();
        ASSERT_EQ(
            synth->dispatcher(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent)), 0.0f),
            1);
        ASSERT_TRUE(editor->getFrame()->isOpen());
        audio = std::make_unique<AudioThread>(*synth);
        idleFor(100);
    }

    // The host's idle calls, every 5 ms.
    void idleFor(int ms)
    {
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < until) {
            synth->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    bool idleUntil(const std::function<bool()>& done, int ms = 3000)
    {
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < until) {
            synth->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    using XServerTest::movePointer;
    void movePointer(CView* view)
    {
        const CRect& r = view->getViewSize();
        movePointer((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    void button(bool down) { XServerTest::button(1, down); }
    void clickOn(CView* view)
    {
        movePointer(view);
        idleFor(30);
        button(true);
        idleFor(30);
        button(false);
        idleFor(30);
    }

    ParameterKnob* knob(const char* name)
    {
        return editor->getKnobs().at(static_cast<std::size_t>(synth->findParameter(name)));
    }
    std::string readout() const
    {
        return std::string(editor->getReadoutParameter()->getText()) + "|" + editor->getReadoutValue()->getText();
    }

    std::unique_ptr<Synth> synth;
    SynthEditor* editor = nullptr;
    std::unique_ptr<AudioThread> audio;
};

} // namespace

TEST_F(EditorX11Test, ReadoutAndTogglesAnswerTheRealPointer)
{
    const int sync1 = synth->findParameter("LFO1Sync");
    const int sync2 = synth->findParameter("LFO2Sync");
    synth->setParameter(sync1, 0.3f);
    synth->setParameter(sync2, 0.7f);
    openEditor();
    ERect* rect = nullptr;
    synth->dispatcher(effEditGetRect, 0, 0, &rect, 0.0f);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right, kWidth);
    EXPECT_EQ(rect->bottom, kHeight);

    CMovieButton* one = editor->getLfo1SyncButton();
    CMovieButton* two = editor->getLfo2SyncButton();
    ASSERT_TRUE(idleUntil([&] { return two->getValue() == 1.0f; })) << "0.7 shows on";
    EXPECT_LT(one->getValue(), 1.0f) << "0.3 shows off";

    movePointer(knob("DelayTime"));
    ASSERT_TRUE(idleUntil([&] { return readout() == "DelayTime|0.20s"; })) << readout();
    movePointer(5, 5);
    ASSERT_TRUE(idleUntil([&] { return readout() == "|"; })) << readout();

    // Hover a knob, then click a toggle: the readout clears, 1 is sent.
    movePointer(knob("LFO1Speed"));
    ASSERT_TRUE(idleUntil([&] { return readout() != "|"; }));
    clickOn(one);
    ASSERT_TRUE(idleUntil([&] { return !recorded(audioMasterAutomate).empty(); }));
    EXPECT_EQ(readout(), "|");
    auto automated = recorded(audioMasterAutomate);
    ASSERT_EQ(automated.size(), 1u);
    EXPECT_EQ(automated[0].index, sync1);
    EXPECT_EQ(automated[0].opt, 1.0f);
    ASSERT_TRUE(idleUntil([&] { return synth->liveValue(sync1) == 1.0f; }));
    idleFor(30);
    EXPECT_EQ(one->getValue(), 1.0f);

    clickOn(one);
    ASSERT_TRUE(idleUntil([&] { return recorded(audioMasterAutomate).size() == 2; }));
    EXPECT_EQ(recorded(audioMasterAutomate)[1].opt, 0.0f);
    EXPECT_EQ(recorded(audioMasterBeginEdit).size(), 2u);
    EXPECT_EQ(recorded(audioMasterEndEdit).size(), 2u);
}

TEST_F(EditorX11Test, DraggingAKnobAutomatesItAndTheKnobFollowsTheLiveValue)
{
    openEditor();
    ParameterKnob* k = knob("FilterResonance");
    const int tag = k->getTag();
    movePointer(k);
    idleFor(30);
    button(true);
    ASSERT_TRUE(idleUntil([&] { return k->isEditing(); }));
    const CRect& r = k->getViewSize();
    for (int step = 1; step <= 5; ++step) {
        movePointer((r.left + r.right) / 2, (r.top + r.bottom) / 2 - 10 * step);
        idleFor(20);
    }
    button(false);
    ASSERT_TRUE(idleUntil([&] { return !k->isEditing(); }));

    auto begins = recorded(audioMasterBeginEdit);
    auto ends = recorded(audioMasterEndEdit);
    auto automated = recorded(audioMasterAutomate);
    ASSERT_EQ(begins.size(), 1u);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(begins[0].index, tag);
    EXPECT_EQ(ends[0].index, tag);
    ASSERT_FALSE(automated.empty());
    EXPECT_FLOAT_EQ(automated.back().opt, 0.1f + 50.0f / 200.0f);
    for (const Recorded& c : automated)
        EXPECT_EQ(c.index, tag);
    EXPECT_FLOAT_EQ(synth->getParameter(tag), 0.35f);
    EXPECT_TRUE(idleUntil([&] { return k->getValue() == synth->getParameter(tag); }));
}

TEST_F(EditorX11Test, RecordsABendFromTheButtonAndAKnobAndPlaysItBack)
{
    openEditor();
    PulseButton* bend = editor->getBendButton();
    movePointer(bend);
    idleFor(30);
    button(true);
    ASSERT_TRUE(idleUntil([&] { return synth->isBendArmed() && bend->isAnimating(); }));
    const auto armedAt = Clock::now();
    EXPECT_EQ(bend->getValue(), 1.0f);
    button(false);

    // The ring runs by elapsed time: about half way after 750 ms, round
    // again after 1.5 s (allowing for the timer's 16 ms steps and a busy
    // machine).
    while (Clock::now() < armedAt + std::chrono::milliseconds(750))
        idleFor(2);
    EXPECT_NEAR(bend->currentFrame(), 64, 8);
    while (Clock::now() < armedAt + std::chrono::milliseconds(1500))
        idleFor(2);
    const int round = bend->currentFrame();
    EXPECT_LE(std::min(round, 128 - round), 8) << round;

    // Grab the cutoff knob: the audition note sounds in the rendered audio.
    ParameterKnob* k = knob("FilterCutoff");
    const int tag = k->getTag();
    audio->resetPeak();
    movePointer(k);
    idleFor(30);
    EXPECT_EQ(audio->peak(), 0.0f);
    button(true);
    ASSERT_TRUE(idleUntil([&] { return audio->peak() > 0.0f; })) << "the audition note sounds";
    const CRect& r = k->getViewSize();
    for (int step = 1; step <= 4; ++step) {
        movePointer((r.left + r.right) / 2, (r.top + r.bottom) / 2 + 12 * step);
        idleFor(60);
    }
    button(false);
    ASSERT_TRUE(idleUntil([&] { return !synth->isBendArmed(); }));
    ASSERT_TRUE(idleUntil([&] { return bend->getValue() == 0.0f && k->showsBendLook(); }));
    EXPECT_FALSE(bend->isAnimating());
    const std::vector<BendPoint> points = synth->bendPoints(tag);
    ASSERT_GE(points.size(), 3u);
    EXPECT_LT(points.back().value, points.front().value);

    // The next note replays the motion: the knob moves through the points.
    ASSERT_TRUE(idleUntil([&] { return audio->activeVoices() == 0; }, 5000));
    audio->sendNote(67, 100);
    std::set<float> seen;
    const auto until = Clock::now() + std::chrono::milliseconds(800);
    while (Clock::now() < until) {
        idleFor(5);
        seen.insert(k->getValue());
    }
    audio->sendNote(67, 0);
    int recordedSeen = 0;
    for (const BendPoint& p : points)
        recordedSeen += seen.count(p.value) ? 1 : 0;
    EXPECT_GE(recordedSeen, 2);
    EXPECT_TRUE(k->showsBendLook());
}

TEST_F(EditorX11Test, HostAutomationDiceAndInitShowOnTheKnobs)
{
    openEditor();
    ParameterKnob* wet = knob("ChorusWet");
    synth->setParameter(wet->getTag(), 0.66f); // the host automates
    ASSERT_TRUE(idleUntil([&] { return wet->getValue() == 0.66f; }));

    ParameterKnob* cutoff = knob("FilterCutoff");
    const float before = cutoff->getValue();
    clickOn(editor->getDiceButton());
    ASSERT_TRUE(idleUntil([&] { return cutoff->getValue() != before; }));
    EXPECT_EQ(cutoff->getValue(), synth->getParameter(cutoff->getTag()));

    clickOn(editor->getInitButton());
    ASSERT_TRUE(idleUntil([&] { return cutoff->getValue() == synth->defaultValue(cutoff->getTag()); }));
    EXPECT_EQ(wet->getValue(), synth->defaultValue(wet->getTag()));
}

// The host's editor command writes a PNG of its window: it must show what
// the editor draws with every control at its default.
TEST_F(EditorX11Test, TheHostsEditorCommandWritesAScreenshotOfTheEditor)
{
    const std::string path = std::string(TARVEL_BUILD_DIR) + "/editor.png";
    std::remove(path.c_str());
    std::vector<std::string> words = {EDITOR_HOST_COMMAND, "editor", TARVEL_PLUGIN_PATH, "--screenshot", path,
                                      "--after",           "800"};
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    cairo_surface_t* shot = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(shot), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(cairo_image_surface_get_width(shot), kWidth);
    ASSERT_EQ(cairo_image_surface_get_height(shot), kHeight);
    cairo_surface_flush(shot);
    const unsigned char* data = cairo_image_surface_get_data(shot);
    const int stride = cairo_image_surface_get_stride(shot);
    auto pixel = [&](int x, int y) {
        std::uint32_t p = *reinterpret_cast<const std::uint32_t*>(data + y * stride + 4 * x);
        return CColor((p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff);
    };

    // The same editor drawn offscreen in this process.
    editor->open(nullptr);
    synth->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    auto expected = editor->getFrame()->renderOffscreen();
    ASSERT_TRUE(expected);
    int differing = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            CColor e = expected->getPixel(x, y), s = pixel(x, y);
            auto over = [&](int c) { return c * e.alpha / 255; };
            differing += std::abs(s.red - over(e.red)) > 2 || std::abs(s.green - over(e.green)) > 2 ||
                         std::abs(s.blue - over(e.blue)) > 2;
        }
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(pixel(5, 5), CColor(214, 214, 216)) << "the upper panel";
    EXPECT_EQ(pixel(735, 515), CColor(250, 218, 190)) << "the lower panel";
    CColor disc = pixel(575, 365); // the DelayTime knob's white disc
    EXPECT_GT(disc.red, 240);
    EXPECT_GT(disc.green, 240);
    cairo_surface_destroy(shot);
}
