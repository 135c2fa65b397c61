#pragma once
// Platform layer (Win32): GDI+ images and the draw context that paints with
// GDI+ on a 32-bit premultiplied-alpha pixel buffer (a window's back buffer
// or an offscreen image). Only the files in gui/win32/ include this.

#include "gui/CDrawContext.h"
#include "gui/PlatformImage.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Keeps GDI+ started while any of its objects exist. GDI+ may not be
// started or stopped from DllMain, so the first window, image or offscreen
// context starts it and the last one to go stops it again: nothing of it
// remains once the host may unload the plug-in.
class GdiPlusSession {
public:
    GdiPlusSession();
    ~GdiPlusSession();
    GdiPlusSession(const GdiPlusSession&) = delete;
    GdiPlusSession& operator=(const GdiPlusSession&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_;
};

// Pixels of premultiplied ARGB (0xAARRGGBB words, as cairo keeps them too)
// in memory this object owns or borrows, and a GDI+ bitmap on them.
class PixelBuffer {
public:
    // Owns zeroed (transparent) memory.
    PixelBuffer(int width, int height);
    // Borrows memory that outlives the buffer (a DIB section).
    PixelBuffer(int width, int height, void* pixels);
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    std::uint32_t* pixels() const { return pixels_; }
    Gdiplus::Bitmap* bitmap() const { return bitmap_.get(); }
    bool ok() const { return bitmap_ && bitmap_->GetLastStatus() == Gdiplus::Ok; }

private:
    GdiPlusSession session_; // first in, last out
    int width_;
    int height_;
    std::vector<std::uint32_t> owned_;
    std::uint32_t* pixels_;
    std::unique_ptr<Gdiplus::Bitmap> bitmap_;
};

class GdiPlusImage : public PlatformImage {
public:
    GdiPlusImage(int width, int height) : buffer_(std::make_shared<PixelBuffer>(width, height)) {}
    int width() const override { return buffer_->width(); }
    int height() const override { return buffer_->height(); }
    std::unique_ptr<PlatformImage> share() const override
    {
        // A GDI+ bitmap of its own (GDI+ refuses to draw from one bitmap on
        // two threads at once) over the same pixels, which it keeps alive.
        return std::unique_ptr<PlatformImage>(new GdiPlusImage(owner_ ? owner_ : buffer_));
    }
    PixelBuffer& buffer() { return *buffer_; }
    const PixelBuffer& buffer() const { return *buffer_; }

private:
    explicit GdiPlusImage(const std::shared_ptr<const PixelBuffer>& owner)
        : owner_(owner), buffer_(std::make_shared<PixelBuffer>(owner->width(), owner->height(), owner->pixels()))
    {
    }

    // The buffer that owns the pixels when they are another image's; empty
    // when they are this image's own.
    std::shared_ptr<const PixelBuffer> owner_;
    std::shared_ptr<PixelBuffer> buffer_;
};

class GdiPlusDrawContext : public CDrawContext {
public:
    // Draws on `target`; device pixel (0, 0) is frame point `origin`.
    explicit GdiPlusDrawContext(PixelBuffer& target, const CPoint& origin = CPoint(0, 0));
    GdiPlusDrawContext(const GdiPlusDrawContext&) = delete;
    GdiPlusDrawContext& operator=(const GdiPlusDrawContext&) = delete;

    void setClipRect(const CRect& clip) override;
    CRect getClipRect() const override { return clip_; }
    void fillRect(const CRect& rect, const CColor& color) override;
    void frameRect(const CRect& rect, const CColor& color) override;
    void drawBitmap(const CBitmap& bitmap, const CRect& dest, const CPoint& offset, float alpha) override;
    void drawString(const char* text, const CRect& rect, const CFontDesc& font, const CColor& color,
                    CHoriTxtAlign align) override;

    // Finishes every pending drawing operation on the target.
    void flush();

private:
    Gdiplus::Graphics graphics_;
    CRect clip_;
};

// UTF-8 to the UTF-16 that the system's wide-character calls take.
std::wstring widenUtf8(const char* text);
