#include "editor/EditorImages.h"

#include "gui/CBitmap.h"
#include "gui/PlatformImage.h"

#include <array>
#include <mutex>

namespace {

const char* const kNames[] = {"BendButton.png", "BendButtonHot.png", "Layout.png",      "Dice.png",      "Init.png",
                              "KnobStrip.png",  "KnobStripBend.png", "ResetButton.png", "SyncButton.png"};
constexpr int kImageCount = static_cast<int>(sizeof kNames / sizeof kNames[0]);

std::mutex& cacheLock()
{
    static std::mutex lock;
    return lock;
}

int& decodes()
{
    static int count = 0;
    return count;
}

} // namespace

// The images as decoded; they are never drawn from themselves.
struct EditorImages::Decoded {
    Decoded()
    {
        try {
            for (int i = 0; i < kImageCount; ++i)
                images[i] = new CBitmap(kNames[i]);
        } catch (...) {
            release();
            throw;
        }
    }
    ~Decoded() { release(); }
    Decoded(const Decoded&) = delete;
    Decoded& operator=(const Decoded&) = delete;

    void release()
    {
        for (CBitmap*& image : images) {
            if (image)
                image->forget();
            image = nullptr;
        }
    }

    CBitmap* images[kImageCount] = {};
};

namespace {

// A set's image fields, in the order of kNames.
std::array<CBitmap**, kImageCount> fieldsOf(EditorImages& set)
{
    return {&set.bend, &set.bendHot,  &set.layout, &set.dice, &set.init,
            &set.knob, &set.knobBend, &set.reset,  &set.sync};
}

// Does not keep the set alive: the editors' sets do.
std::weak_ptr<const EditorImages::Decoded>& cache()
{
    static std::weak_ptr<const EditorImages::Decoded> decoded;
    return decoded;
}

} // namespace

std::unique_ptr<EditorImages> EditorImages::acquire()
{
    std::unique_ptr<EditorImages> set(new EditorImages);
    {
        std::lock_guard<std::mutex> lock(cacheLock());
        set->decoded_ = cache().lock();
        if (!set->decoded_) {
            set->decoded_ = std::make_shared<const Decoded>();
            cache() = set->decoded_;
            ++decodes();
        }
    }
    const std::array<CBitmap**, kImageCount> fields = fieldsOf(*set);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        // An image that is not there stays empty, as a missing one always is.
        const PlatformImage* pixels = set->decoded_->images[i]->platformImage();
        *fields[i] = new CBitmap(pixels ? pixels->share() : nullptr);
    }
    return set;
}

bool EditorImages::inUse()
{
    std::lock_guard<std::mutex> lock(cacheLock());
    return !cache().expired();
}

int EditorImages::decodeCount()
{
    std::lock_guard<std::mutex> lock(cacheLock());
    return decodes();
}

EditorImages::~EditorImages()
{
    release();
}

void EditorImages::release()
{
    // Controls still drawing an image keep their own reference to it, and
    // the image keeps its pixels.
    for (CBitmap** image : fieldsOf(*this)) {
        if (*image)
            (*image)->forget();
        *image = nullptr;
    }
}
