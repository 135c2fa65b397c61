// The CLAP edition's editor in a real window on a virtual X server, moved
// with XTest as a user moves it: the editor is embedded in the host's
// window, a knob turn reaches the host as parameter values inside one
// gesture, and with recording armed the program's bend holds exactly one
// point per value the host saw, as in the VST 2.4 edition (where each edit
// is one point), although DPF hands every edit back to the plug-in. Dice
// changes reach the host too.

#include "support/ClapPlugin.h"

// GoogleTest before Xlib, whose macros (None) its names would meet.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <thread>
#include <vector>

namespace {

// The number of points of a parameter's bend in the current program (the
// first program block of the bank, program 0 being current): a parameter
// entry is its name length, point count and value, then the name.
uint32_t bendPointCount(const std::vector<uint8_t>& bank, const std::string& name)
{
    const std::string text(bank.begin(), bank.end());
    const std::size_t at = text.find(name);
    if (at == std::string::npos || at < 12)
        return 0;
    const auto* p = bank.data() + at - 8;
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

class ClapEditor : public ::testing::Test {
protected:
    void SetUp() override
    {
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr) << "no X display (run under xvfb-run)";
        host = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 740, 520, 0, 0, 0);
        XMapWindow(display, host);
        XSync(display, False);
        plugin = std::make_unique<ClapPlugin>(TARVEL_CLAP_PATH);
        ASSERT_TRUE(plugin->error.empty()) << plugin->error;
        plugin->activate(44100, 512);
        ASSERT_TRUE(plugin->openEditor(host));
        run(10);
    }
    void TearDown() override
    {
        plugin.reset();
        if (display) {
            XDestroyWindow(display, host);
            XCloseDisplay(display);
        }
    }

    // The host's loop: the editor's timer, then a block, at about 60 Hz.
    void run(int rounds)
    {
        VstTimeInfo time{};
        time.sampleRate = 44100.0;
        time.tempo = 120.0;
        time.timeSigNumerator = 4;
        time.timeSigDenominator = 4;
        for (int i = 0; i < rounds; ++i) {
            plugin->idleEditor();
            plugin->process(nullptr, time, left.data(), right.data(), 512);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    void moveTo(int x, int y)
    {
        XTestFakeMotionEvent(display, -1, x, y, 0);
        XSync(display, False);
        run(2);
    }
    void press(bool down)
    {
        XTestFakeButtonEvent(display, 1, down ? True : False, 0);
        XSync(display, False);
        run(3);
    }
    void click(int x, int y)
    {
        moveTo(x, y);
        press(true);
        press(false);
    }

    Display* display = nullptr;
    Window host = 0;
    std::unique_ptr<ClapPlugin> plugin;
    std::vector<float> left = std::vector<float>(512), right = std::vector<float>(512);
};

} // namespace

TEST_F(ClapEditor, AKnobTurnRecordsOnePointPerValueTheHostSaw)
{
    // The editor is a child of the host's window, at the host's size.
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, host, &root, &parent, &children, &count);
    ASSERT_EQ(count, 1u);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, children[0], &attributes);
    XFree(children);
    EXPECT_EQ(attributes.width, 740);
    EXPECT_EQ(attributes.height, 520);

    click(370, 80); // the bend button arms recording
    plugin->output.clear();
    moveTo(575, 265); // the filter cutoff knob
    press(true);
    for (int y = 270; y <= 310; y += 5)
        moveTo(575, y);
    press(false);
    run(10);

    const int cutoff = 27;
    std::vector<double> values;
    int begins = 0, ends = 0;
    for (const ClapPlugin::OutputEvent& e : plugin->output) {
        if (e.index != cutoff)
            continue;
        if (e.kind == ClapPlugin::OutputEvent::Value)
            values.push_back(e.value);
        begins += e.kind == ClapPlugin::OutputEvent::GestureBegin;
        ends += e.kind == ClapPlugin::OutputEvent::GestureEnd;
    }
    ASSERT_GE(values.size(), 5u) << "the drag did not reach the host";
    EXPECT_EQ(begins, 1);
    EXPECT_EQ(ends, 1);
    EXPECT_LT(values.back(), 1.0);
    EXPECT_EQ(plugin->parameter(cutoff), static_cast<float>(values.back()));
    EXPECT_EQ(bendPointCount(plugin->bank(), "FilterCutoff"), values.size());
}

TEST_F(ClapEditor, TheHostLearnsTheValuesDiceSets)
{
    plugin->output.clear();
    click(350, 165); // Dice
    run(10);
    std::map<int, double> told; // the last value of each parameter
    for (const ClapPlugin::OutputEvent& e : plugin->output)
        if (e.kind == ClapPlugin::OutputEvent::Value)
            told[e.index] = e.value;
    EXPECT_GE(told.size(), 30u);
    for (auto [index, value] : told)
        EXPECT_EQ(static_cast<float>(value), plugin->parameter(index)) << "parameter " << index;
}
