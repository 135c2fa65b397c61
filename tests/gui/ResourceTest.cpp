// The embedded images, bitmap lookup and sharing, fonts.

#include "gui/CAnimKnob.h"
#include "gui/CBitmap.h"
#include "gui/CFontDesc.h"
#include "gui/CFrame.h"
#include "gui/COffscreenContext.h"
#include "gui/CTextLabel.h"
#include "gui/EmbeddedResources.h"

#include <gtest/gtest.h>

#include <fontconfig/fontconfig.h>

#include <string>

TEST(EmbeddedImageTest, EveryEditorImageHasItsSizeAndFrameCount)
{
    const struct {
        const char* name;
        int width, height, frameHeight, frames;
    } images[] = {
        {"Layout.png", 740, 520, 520, 1},
        {"KnobStrip.png", 30, 930, 30, 31},
        {"KnobStripBend.png", 30, 930, 30, 31},
        {"BendButton.png", 100, 12800, 100, 128},
        {"BendButtonHot.png", 100, 12800, 100, 128},
        {"ResetButton.png", 20, 40, 20, 2},
        {"SyncButton.png", 20, 40, 20, 2},
        {"Dice.png", 30, 30, 30, 1},
        {"Init.png", 30, 30, 30, 1},
    };
    EXPECT_EQ(embeddedResourceCount(), 9);
    // Every one stored as 8-bit RGBA: the header's bit depth and colour type.
    for (int i = 0; i < embeddedResourceCount(); ++i) {
        const EmbeddedResource& resource = embeddedResource(i);
        ASSERT_GT(resource.size, 26u) << resource.name;
        EXPECT_EQ(resource.data[24], 8) << resource.name;
        EXPECT_EQ(resource.data[25], 6) << resource.name;
    }
    for (const auto& image : images) {
        CBitmap* bitmap = new CBitmap(image.name);
        EXPECT_TRUE(bitmap->isLoaded()) << image.name;
        EXPECT_EQ(bitmap->getWidth(), image.width) << image.name;
        EXPECT_EQ(bitmap->getHeight(), image.height) << image.name;
        EXPECT_EQ(bitmap->getHeight() / image.frameHeight, image.frames) << image.name;
        EXPECT_EQ(bitmap->getHeight() % image.frameHeight, 0) << image.name;
        bitmap->forget();
    }
}

TEST(EmbeddedImageTest, FilmStripFramesAreAllDrawnAndDistinctWhereTheyShouldBe)
{
    // Every knob frame has something in it, and successive frames differ
    // (the value arc grows); the bend button's hot ring shrinks to nothing.
    CBitmap* strip = new CBitmap("KnobStrip.png");
    auto image = COffscreenContext::create(30, 930);
    strip->draw(image->drawContext(), CRect(0, 0, 30, 930));
    for (int frame = 0; frame < 31; ++frame) {
        int opaque = 0, differing = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x) {
                opaque += image->getPixel(x, frame * 30 + y).alpha > 128;
                if (frame > 0)
                    differing += image->getPixel(x, frame * 30 + y) != image->getPixel(x, (frame - 1) * 30 + y);
            }
        EXPECT_GT(opaque, 300) << "frame " << frame;
        if (frame > 0) {
            EXPECT_GT(differing, 0) << "frame " << frame;
        }
    }
    strip->forget();

    CBitmap* hot = new CBitmap("BendButtonHot.png");
    CBitmap* rest = new CBitmap("BendButton.png");
    auto restImage = COffscreenContext::create(100, 100);
    rest->draw(restImage->drawContext(), CRect(0, 0, 100, 100));
    auto differenceAt = [&](int frame) {
        auto h = COffscreenContext::create(100, 100);
        hot->draw(h->drawContext(), CRect(0, 0, 100, 100), CPoint(0, frame * 100));
        int differing = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x)
                differing += h->getPixel(x, y) != restImage->getPixel(x, y);
        return differing;
    };
    EXPECT_GT(differenceAt(0), differenceAt(64));
    EXPECT_GT(differenceAt(64), differenceAt(120));
    EXPECT_EQ(differenceAt(127), 0) << "the ring is gone in the last frame";
    hot->forget();
    rest->forget();
}

TEST(BitmapTest, LookupIgnoresCase)
{
    for (const char* name : {"knobstrip.png", "KNOBSTRIP.PNG", "KnobStrip.Png"}) {
        ASSERT_NE(findEmbeddedResource(name), nullptr) << name;
        EXPECT_STREQ(findEmbeddedResource(name)->name, "KnobStrip.png");
    }
    EXPECT_EQ(findEmbeddedResource("KnobStrip"), nullptr);
    EXPECT_EQ(findEmbeddedResource("KnobStrip.png2"), nullptr);
    EXPECT_EQ(findEmbeddedResource(nullptr), nullptr);
    CBitmap* bitmap = new CBitmap("dice.PNG");
    EXPECT_EQ(bitmap->getWidth(), 30);
    bitmap->forget();
}

TEST(BitmapTest, AMissingImageIsEmptyAndDrawsNothing)
{
    CBitmap* missing = new CBitmap("NoSuchImage.png");
    EXPECT_FALSE(missing->isLoaded());
    EXPECT_EQ(missing->getWidth(), 0);
    EXPECT_EQ(missing->getHeight(), 0);

    CFrame frame(CRect(0, 0, 40, 40), nullptr);
    frame.setBackground(missing);
    auto* knob = new CAnimKnob(CRect(5, 5, 35, 35), nullptr, 0, missing);
    knob->setValue(0.7f);
    frame.addView(knob);
    EXPECT_EQ(knob->getNumSubPixmaps(), 0);
    auto image = frame.renderOffscreen();
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(image->getPixel(x, y).alpha, 0) << x << "," << y;
    missing->forget();
}

TEST(BitmapTest, DrawsASubRectangleAtAnOffsetWithAnOpacity)
{
    CBitmap* strip = new CBitmap("SyncButton.png");
    auto whole = COffscreenContext::create(20, 40);
    strip->draw(whole->drawContext(), CRect(0, 0, 20, 40));
    auto part = COffscreenContext::create(40, 40);
    // The lower frame, placed at (10, 5), at half opacity.
    strip->draw(part->drawContext(), CRect(10, 5, 30, 25), CPoint(0, 20), 0.5f);
    int checked = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            CColor source = whole->getPixel(x, 20 + y);
            CColor drawn = part->getPixel(10 + x, 5 + y);
            EXPECT_NEAR(drawn.alpha, source.alpha / 2.0, 1.0) << x << "," << y;
            checked += source.alpha == 255;
        }
    EXPECT_GT(checked, 100) << "the frame has opaque pixels to compare";
    EXPECT_EQ(part->getPixel(9, 10).alpha, 0) << "nothing outside the destination";
    EXPECT_EQ(part->getPixel(15, 25).alpha, 0);
    strip->forget();
}

TEST(BitmapTest, ViewsShareABitmapByReference)
{
    CBitmap* bitmap = new CBitmap("KnobStrip.png");
    {
        CFrame frame(CRect(0, 0, 100, 100), nullptr);
        frame.addView(new CAnimKnob(CRect(0, 0, 30, 30), nullptr, 0, bitmap));
        frame.addView(new CAnimKnob(CRect(30, 0, 60, 30), nullptr, 1, bitmap));
        EXPECT_EQ(bitmap->getNbReference(), 3);
        auto* knob = static_cast<CAnimKnob*>(frame.getView(0));
        CBitmap* other = new CBitmap("KnobStripBend.png");
        knob->setBackground(other);
        other->forget();
        EXPECT_EQ(bitmap->getNbReference(), 2);
        EXPECT_EQ(other->getNbReference(), 1) << "the knob holds the only reference now";
    }
    EXPECT_EQ(bitmap->getNbReference(), 1);
    bitmap->forget();
}

TEST(FontTest, HelveticaResolvesToAnInstalledSansFont)
{
    CFontDesc* font = new CFontDesc("Helvetica", 11);
    const std::string& resolved = font->resolvedName();
    EXPECT_FALSE(resolved.empty());

    // Whatever it resolved to is installed and is not a serif or monospace face.
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(resolved.c_str()));
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
    EXPECT_GT(fonts ? fonts->nfont : 0, 0) << resolved;
    if (fonts)
        FcFontSetDestroy(fonts);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    EXPECT_EQ(resolved.find("Serif"), std::string::npos) << resolved;
    EXPECT_EQ(resolved.find("Mono"), std::string::npos) << resolved;
    font->forget();
}

TEST(TextLabelTest, AlignsTextLeftOrRightWithinItsRectangle)
{
    auto inkColumns = [](CHoriTxtAlign align) {
        CFrame frame(CRect(0, 0, 120, 30), nullptr);
        auto* label = new CTextLabel(CRect(0, 0, 120, 30), "DelayTime");
        label->setBackColor(kTransparentCColor);
        label->setFrameColor(kTransparentCColor);
        label->setFontColor(CColor(255, 144, 0, 255));
        CFontDesc* font = new CFontDesc("Helvetica", 13);
        label->setFont(font);
        font->forget();
        label->setHoriAlign(align);
        frame.addView(label);
        auto image = frame.renderOffscreen();
        int first = -1, last = -1;
        for (int x = 0; x < 120; ++x)
            for (int y = 0; y < 30; ++y)
                if (image->getPixel(x, y).alpha > 100) {
                    if (first < 0)
                        first = x;
                    last = x;
                }
        return std::make_pair(first, last);
    };
    auto left = inkColumns(kLeftText);
    auto right = inkColumns(kRightText);
    ASSERT_GE(left.first, 0) << "text was drawn";
    EXPECT_LE(left.first, 2);
    EXPECT_GE(right.second, 116);
    EXPECT_LT(left.second, right.second);
}
