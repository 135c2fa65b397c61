#pragma once
// The editor's nine images. Their pixels are decoded once per process and
// shared by the editors of every instance: the first editor to open decodes
// them (some 40 ms and 10 MB), and they are freed when the last editor
// holding them is destroyed. Editors of different instances may open on
// different threads (some hosts give each plug-in window a thread of its
// own), so the decoded set is handed out under a lock, which only editors
// ever take, never the audio thread; and each editor draws from image
// objects of its own over the shared pixels, since drawing from an image
// object is not a pure read.

#include <memory>

class CBitmap;

class EditorImages {
public:
    // A set for one editor, over the process's pixels (decoded now if no
    // editor holds them).
    static std::unique_ptr<EditorImages> acquire();
    // Inspection (tests): whether decoded pixels are held, and how many
    // times this process has decoded them.
    static bool inUse();
    static int decodeCount();

    ~EditorImages();
    EditorImages(const EditorImages&) = delete;
    EditorImages& operator=(const EditorImages&) = delete;

    CBitmap* bend = nullptr;     // "BendButton.png"
    CBitmap* bendHot = nullptr;  // "BendButtonHot.png"
    CBitmap* layout = nullptr;   // "Layout.png"
    CBitmap* dice = nullptr;     // "Dice.png"
    CBitmap* init = nullptr;     // "Init.png"
    CBitmap* knob = nullptr;     // "KnobStrip.png"
    CBitmap* knobBend = nullptr; // "KnobStripBend.png"
    CBitmap* reset = nullptr;    // "ResetButton.png"
    CBitmap* sync = nullptr;     // "SyncButton.png"

    struct Decoded;

private:
    EditorImages() = default;
    void release();
    // Keeps the decoded set, and with it the cache entry, alive.
    std::shared_ptr<const Decoded> decoded_;
};
