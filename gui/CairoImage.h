#pragma once
// Platform layer (cairo): an image decoded into a cairo image surface, and
// the draw context that paints with cairo on any surface. Only the
// platform files include this.

#include "gui/CDrawContext.h"
#include "gui/PlatformImage.h"

#include <cairo.h>

class CairoImage : public PlatformImage {
public:
    explicit CairoImage(cairo_surface_t* surface) : surface_(surface) {}
    ~CairoImage() override { cairo_surface_destroy(surface_); }
    CairoImage(const CairoImage&) = delete;
    CairoImage& operator=(const CairoImage&) = delete;

    int width() const override { return cairo_image_surface_get_width(surface_); }
    int height() const override { return cairo_image_surface_get_height(surface_); }
    std::unique_ptr<PlatformImage> share() const override;
    cairo_surface_t* surface() const { return surface_; }

private:
    cairo_surface_t* surface_;
};

class CairoDrawContext : public CDrawContext {
public:
    // Draws on `surface`; device pixel (0, 0) is frame point `origin`.
    CairoDrawContext(cairo_surface_t* surface, const CPoint& origin = CPoint(0, 0));
    ~CairoDrawContext() override;
    CairoDrawContext(const CairoDrawContext&) = delete;
    CairoDrawContext& operator=(const CairoDrawContext&) = delete;

    void setClipRect(const CRect& clip) override;
    CRect getClipRect() const override { return clip_; }
    void fillRect(const CRect& rect, const CColor& color) override;
    void frameRect(const CRect& rect, const CColor& color) override;
    void drawBitmap(const CBitmap& bitmap, const CRect& dest, const CPoint& offset, float alpha) override;
    void drawString(const char* text, const CRect& rect, const CFontDesc& font, const CColor& color,
                    CHoriTxtAlign align) override;

    cairo_t* cairo() const { return cr_; }

private:
    void setColor(const CColor& color);

    cairo_t* cr_;
    CRect clip_;
};
