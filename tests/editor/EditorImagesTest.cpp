// The editor images: one decoded set per process, shared by the editors of
// every instance, on whatever threads the host opens them, and freed with
// the last editor.

#include "editor/EditorImages.h"
#include "editor/SynthEditor.h"
#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/COffscreenContext.h"
#include "plugin/Synth.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

VstIntPtr VST_CALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

std::unique_ptr<Synth> openInstance()
{
    auto synth = std::make_unique<Synth>(&quietHost, &SynthEditor::create);
    synth->dispatcher(effEditOpen, 0, 0, nullptr, 0.0f); // offscreen
    synth->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    return synth;
}

SynthEditor& editorOf(Synth& synth)
{
    return *dynamic_cast<SynthEditor*>(synth.getEditor());
}

} // namespace

TEST(EditorImages, DecodedOnceSharedByEveryEditorAndFreedWithTheLast)
{
    ASSERT_FALSE(EditorImages::inUse());
    const int decoded = EditorImages::decodeCount();
    auto scanned = std::make_unique<Synth>(&quietHost, &SynthEditor::create);
    EXPECT_FALSE(EditorImages::inUse()) << "an editor never opened decodes nothing";

    auto first = openInstance();
    auto second = openInstance();
    EXPECT_TRUE(EditorImages::inUse());
    EXPECT_EQ(EditorImages::decodeCount(), decoded + 1);
    CFrame* two = editorOf(*second).getFrame();
    EXPECT_TRUE(two->getBackground()->isLoaded());

    // The first goes; the second still draws every image it had.
    auto before = two->renderOffscreen();
    first.reset();
    EXPECT_TRUE(EditorImages::inUse());
    auto after = two->renderOffscreen();
    int differing = 0;
    for (int y = 0; y < 520; y += 7)
        for (int x = 0; x < 740; x += 7)
            differing += before->getPixel(x, y) != after->getPixel(x, y);
    EXPECT_EQ(differing, 0);

    // Closed but not destroyed, an editor keeps the set for its next open.
    second->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_TRUE(EditorImages::inUse());
    second.reset();
    EXPECT_FALSE(EditorImages::inUse());
    auto third = openInstance();
    EXPECT_EQ(EditorImages::decodeCount(), decoded + 2) << "decoded again after the last editor went";
    third.reset();
    scanned.reset();
}

TEST(EditorImages, EditorsOpenAndCloseOnSeveralThreadsAtOnce)
{
    const int decoded = EditorImages::decodeCount();
    std::atomic<int> loaded{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&loaded] {
            for (int round = 0; round < 5; ++round) {
                auto synth = openInstance();
                CFrame* frame = editorOf(*synth).getFrame();
                if (frame && frame->getBackground() && frame->getBackground()->isLoaded() && frame->renderOffscreen())
                    ++loaded;
                synth->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(loaded.load(), 20);
    EXPECT_FALSE(EditorImages::inUse());
    EXPECT_LT(EditorImages::decodeCount() - decoded, 20) << "editors open together share one decoding";
}
