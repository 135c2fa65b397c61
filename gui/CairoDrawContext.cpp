// Platform layer: drawing, PNG decoding and offscreen images with cairo.

#include "gui/CBitmap.h"
#include "gui/CFontDesc.h"
#include "gui/COffscreenContext.h"
#include "gui/CairoImage.h"
#include "gui/TextPlacement.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

CairoDrawContext::CairoDrawContext(cairo_surface_t* surface, const CPoint& origin) : cr_(cairo_create(surface))
{
    cairo_translate(cr_, -origin.x, -origin.y);
    clip_ = CRect(origin.x, origin.y, origin.x + 32767, origin.y + 32767);
}

CairoDrawContext::~CairoDrawContext()
{
    cairo_destroy(cr_);
}

void CairoDrawContext::setClipRect(const CRect& clip)
{
    clip_ = clip;
    cairo_reset_clip(cr_);
    cairo_rectangle(cr_, clip.left, clip.top, clip.width(), clip.height());
    cairo_clip(cr_);
}

void CairoDrawContext::setColor(const CColor& color)
{
    cairo_set_source_rgba(cr_, color.red / 255.0, color.green / 255.0, color.blue / 255.0, color.alpha / 255.0);
}

void CairoDrawContext::fillRect(const CRect& rect, const CColor& color)
{
    if (rect.isEmpty())
        return;
    setColor(color);
    cairo_rectangle(cr_, rect.left, rect.top, rect.width(), rect.height());
    cairo_fill(cr_);
}

void CairoDrawContext::frameRect(const CRect& rect, const CColor& color)
{
    if (rect.isEmpty())
        return;
    setColor(color);
    cairo_set_line_width(cr_, 1.0);
    cairo_rectangle(cr_, rect.left + 0.5, rect.top + 0.5, rect.width() - 1, rect.height() - 1);
    cairo_stroke(cr_);
}

void CairoDrawContext::drawBitmap(const CBitmap& bitmap, const CRect& dest, const CPoint& offset, float alpha)
{
    const auto* image = dynamic_cast<const CairoImage*>(bitmap.platformImage());
    if (!image || dest.isEmpty() || alpha <= 0.0f)
        return;
    cairo_save(cr_);
    cairo_rectangle(cr_, dest.left, dest.top, dest.width(), dest.height());
    cairo_clip(cr_);
    cairo_set_source_surface(cr_, image->surface(), dest.left - offset.x, dest.top - offset.y);
    // Whole pixels only: no smoothing between neighbouring film-strip frames.
    cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_NEAREST);
    if (alpha >= 1.0f)
        cairo_paint(cr_);
    else
        cairo_paint_with_alpha(cr_, alpha);
    cairo_restore(cr_);
}

void CairoDrawContext::drawString(const char* text, const CRect& rect, const CFontDesc& font, const CColor& color,
                                  CHoriTxtAlign align)
{
    if (!text || !*text || rect.isEmpty())
        return;
    cairo_save(cr_);
    cairo_rectangle(cr_, rect.left, rect.top, rect.width(), rect.height());
    cairo_clip(cr_);
    cairo_select_font_face(cr_, font.resolvedName().c_str(), CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr_, font.getSize());
    cairo_font_extents_t fontExtents;
    cairo_font_extents(cr_, &fontExtents);
    cairo_text_extents_t extents;
    cairo_text_extents(cr_, text, &extents);
    const TextPlacement place = placeText(rect, extents.x_advance, align);
    const double x = place.x;
    const double squeeze = place.squeeze;
    double y = rect.top + (rect.height() + fontExtents.ascent - fontExtents.descent) / 2.0;
    setColor(color);
    cairo_translate(cr_, static_cast<int>(x + 0.5), static_cast<int>(y + 0.5));
    cairo_scale(cr_, squeeze, 1.0);
    cairo_move_to(cr_, 0, 0);
    cairo_show_text(cr_, text);
    cairo_restore(cr_);
}

namespace {

struct PngReader {
    const unsigned char* data;
    std::size_t size;
    std::size_t position;
};

cairo_status_t readPng(void* closure, unsigned char* out, unsigned int length)
{
    auto* reader = static_cast<PngReader*>(closure);
    if (reader->size - reader->position < length)
        return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, reader->data + reader->position, length);
    reader->position += length;
    return CAIRO_STATUS_SUCCESS;
}

class CairoOffscreen : public COffscreenContext {
public:
    explicit CairoOffscreen(cairo_surface_t* surface) : surface_(surface), context_(surface) {}
    ~CairoOffscreen() override { cairo_surface_destroy(surface_); }

    int width() const override { return cairo_image_surface_get_width(surface_); }
    int height() const override { return cairo_image_surface_get_height(surface_); }
    CDrawContext& drawContext() override { return context_; }

    CColor getPixel(int x, int y) override
    {
        if (x < 0 || y < 0 || x >= width() || y >= height())
            return kTransparentCColor;
        cairo_surface_flush(surface_);
        const unsigned char* row =
            cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
        std::uint32_t argb;
        std::memcpy(&argb, row + 4 * x, 4);
        unsigned a = argb >> 24;
        if (a == 0)
            return kTransparentCColor;
        auto unpremultiply = [a](unsigned c) { return static_cast<std::uint8_t>((c * 255 + a / 2) / a); };
        return CColor(unpremultiply((argb >> 16) & 0xff), unpremultiply((argb >> 8) & 0xff), unpremultiply(argb & 0xff),
                      static_cast<std::uint8_t>(a));
    }

    bool writePNG(const char* path) override
    {
        cairo_surface_flush(surface_);
        return cairo_surface_write_to_png(surface_, path) == CAIRO_STATUS_SUCCESS;
    }

private:
    cairo_surface_t* surface_;
    CairoDrawContext context_;
};

} // namespace

namespace {

// An image with an alpha channel but no pixel that is not opaque (the
// background) is kept without one. Cairo then copies it instead of blending
// it, and, drawn on an X server, keeps no record for it per display
// connection for as long as the image lives (it does for an image with
// alpha, and every editor window has a connection of its own). Takes over
// `surface`; the pixels stay the same.
cairo_surface_t* withoutUnusedAlpha(cairo_surface_t* surface)
{
    if (cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32)
        return surface;
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint32_t pixel;
            std::memcpy(&pixel, data + y * stride + 4 * x, sizeof pixel);
            if ((pixel >> 24) != 0xff)
                return surface;
        }
    cairo_surface_t* opaque = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(opaque) != CAIRO_STATUS_SUCCESS || cairo_image_surface_get_stride(opaque) != stride) {
        cairo_surface_destroy(opaque);
        return surface;
    }
    // The same 32-bit words: RGB24 only ignores the top byte.
    cairo_surface_flush(opaque);
    std::memcpy(cairo_image_surface_get_data(opaque), data,
                static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
    cairo_surface_mark_dirty(opaque);
    cairo_surface_destroy(surface);
    return opaque;
}

} // namespace

std::unique_ptr<PlatformImage> CairoImage::share() const
{
    // A surface of its own (cairo and pixman keep per-surface state while
    // drawing from it) over the same pixels, holding a reference to the
    // surface that owns them.
    static const cairo_user_data_key_t kPixelsOwner{};
    cairo_surface_t* view = cairo_image_surface_create_for_data(cairo_image_surface_get_data(surface_),
                                                                cairo_image_surface_get_format(surface_), width(),
                                                                height(), cairo_image_surface_get_stride(surface_));
    cairo_surface_t* owner = cairo_surface_reference(surface_);
    if (cairo_surface_status(view) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_set_user_data(view, &kPixelsOwner, owner, [](void* surface) {
            cairo_surface_destroy(static_cast<cairo_surface_t*>(surface));
        }) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(owner);
        cairo_surface_destroy(view);
        return nullptr;
    }
    return std::make_unique<CairoImage>(view);
}

std::unique_ptr<PlatformImage> PlatformImage::decodePNG(const unsigned char* data, std::size_t size)
{
    if (!data || size == 0)
        return nullptr;
    PngReader reader{data, size, 0};
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(readPng, &reader);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return std::make_unique<CairoImage>(withoutUnusedAlpha(surface));
}

std::unique_ptr<COffscreenContext> COffscreenContext::create(int width, int height)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return std::make_unique<CairoOffscreen>(surface);
}
