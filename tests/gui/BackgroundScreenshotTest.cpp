// Writes build/background.png: the editor's background with every knob at
// its parameter's default, the toggles off and the bend button at rest.

#include "EditorLayout.h"

#include "gui/CAnimKnob.h"
#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/CKickButton.h"
#include "gui/CMovieButton.h"
#include "gui/COffscreenContext.h"
#include "plugin/Synth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

TEST(BackgroundScreenshotTest, WritesTheBackgroundWithKnobsAtTheirDefaults)
{
    Synth synth(nullptr);
    CBitmap* layout = new CBitmap("Layout.png");
    CBitmap* knobs = new CBitmap("KnobStrip.png");
    CBitmap* reset = new CBitmap("ResetButton.png");
    CBitmap* sync = new CBitmap("SyncButton.png");
    CBitmap* bend = new CBitmap("BendButton.png");
    CBitmap* dice = new CBitmap("Dice.png");
    CBitmap* init = new CBitmap("Init.png");

    CFrame frame(CRect(0, 0, layout->getWidth(), layout->getHeight()), nullptr);
    frame.setBackground(layout);
    std::vector<std::pair<CAnimKnob*, float>> placed;
    for (const auto& k : EditorLayout::kKnobs) {
        int index = synth.findParameter(k.name);
        // Parameters not (yet) registered by the synth show at 0.
        float value = index >= 0 ? synth.parameter(index).defaultValue : 0.0f;
        auto* knob = new CAnimKnob(CRect(k.x, k.y, k.x + 30, k.y + 30), nullptr, index, knobs);
        knob->setValue(value);
        frame.addView(knob);
        placed.emplace_back(knob, knob->getValue());
    }
    for (const auto& s : EditorLayout::kSmall) {
        CRect r(s.x, s.y, s.x + s.width, s.y + s.height);
        std::string name = s.name;
        if (name == "buttonDice" || name == "buttonInit")
            frame.addView(new CKickButton(r, nullptr, -1, s.height, name == "buttonDice" ? dice : init));
        else
            frame.addView(
                new CMovieButton(r, nullptr, -1, s.height, name.find("Reset") != std::string::npos ? reset : sync));
    }
    frame.addView(new CMovieButton(CRect(320, 30, 420, 130), nullptr, -1, 100, bend));

    auto image = frame.renderOffscreen();
    ASSERT_TRUE(image);
    std::string path = std::string(TARVEL_BUILD_DIR) + "/background.png";
    std::remove(path.c_str());
    ASSERT_TRUE(image->writePNG(path.c_str()));
    std::FILE* written = std::fopen(path.c_str(), "rb");
    ASSERT_NE(written, nullptr);
    std::fclose(written);

    // The background shows: the two panels, and each knob covers its spot.
    EXPECT_EQ(image->getPixel(5, 5), CColor(214, 214, 216));
    EXPECT_EQ(image->getPixel(735, 515), CColor(250, 218, 190));
    int fixedUpKnobs = 0;
    for (const auto& p : placed) {
        const CRect& r = p.first->getViewSize();
        CColor centre = image->getPixel(r.left + 15, r.top + 15);
        fixedUpKnobs += centre.alpha == 255 && centre.red > 240 && centre.green > 240 && centre.blue > 240;
    }
    EXPECT_EQ(fixedUpKnobs, EditorLayout::kKnobCount) << "every knob's white disc is drawn";

    for (CBitmap* b : {layout, knobs, reset, sync, bend, dice, init})
        b->forget();
}
