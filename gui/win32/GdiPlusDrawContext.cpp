// Platform layer (Win32): drawing with GDI+, PNG decoding through GDI+ (the
// system's codecs), offscreen images and their PNG files.

#include "gui/TextPlacement.h"
#include "gui/win32/GdiPlusImage.h"

#include "gui/CBitmap.h"
#include "gui/CFontDesc.h"
#include "gui/COffscreenContext.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <new>

namespace {

// Images may be decoded on the thread that creates the plug-in and drawn on
// the window thread.
std::mutex sessionLock;
int sessionCount = 0;
ULONG_PTR sessionToken = 0;

Gdiplus::Color toColor(const CColor& c)
{
    return Gdiplus::Color(c.alpha, c.red, c.green, c.blue);
}

} // namespace

GdiPlusSession::GdiPlusSession()
{
    std::lock_guard<std::mutex> guard(sessionLock);
    if (sessionCount == 0) {
        Gdiplus::GdiplusStartupInput input;
        ok_ = Gdiplus::GdiplusStartup(&sessionToken, &input, nullptr) == Gdiplus::Ok;
        if (!ok_)
            return;
    }
    ok_ = true;
    ++sessionCount;
}

GdiPlusSession::~GdiPlusSession()
{
    std::lock_guard<std::mutex> guard(sessionLock);
    if (ok_ && --sessionCount == 0) {
        Gdiplus::GdiplusShutdown(sessionToken);
        sessionToken = 0;
    }
}

PixelBuffer::PixelBuffer(int width, int height)
    : width_(width),
      height_(height),
      owned_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u),
      pixels_(owned_.data())
{
    if (session_.ok())
        bitmap_ = std::make_unique<Gdiplus::Bitmap>(width, height, width * 4, PixelFormat32bppPARGB,
                                                    reinterpret_cast<BYTE*>(pixels_));
}

PixelBuffer::PixelBuffer(int width, int height, void* pixels)
    : width_(width), height_(height), pixels_(static_cast<std::uint32_t*>(pixels))
{
    if (session_.ok())
        bitmap_ = std::make_unique<Gdiplus::Bitmap>(width, height, width * 4, PixelFormat32bppPARGB,
                                                    reinterpret_cast<BYTE*>(pixels_));
}

std::wstring widenUtf8(const char* text)
{
    if (!text || !*text)
        return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (length <= 0) // not UTF-8: take the bytes as Latin-1
        length = MultiByteToWideChar(1252, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 1)), L'\0');
    if (!MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, &wide[0], length))
        MultiByteToWideChar(1252, 0, text, -1, &wide[0], length);
    wide.resize(std::wcslen(wide.c_str()));
    return wide;
}

GdiPlusDrawContext::GdiPlusDrawContext(PixelBuffer& target, const CPoint& origin) : graphics_(target.bitmap())
{
    // Whole pixels everywhere: rectangles on pixel edges, images copied 1:1
    // with no smoothing between neighbouring film-strip frames.
    graphics_.SetSmoothingMode(Gdiplus::SmoothingModeNone);
    graphics_.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    graphics_.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    graphics_.SetCompositingMode(Gdiplus::CompositingModeSourceOver);
    graphics_.SetCompositingQuality(Gdiplus::CompositingQualityHighSpeed);
    // The buffer has an alpha channel, on which ClearType's coloured
    // fringes would be wrong.
    graphics_.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
    graphics_.TranslateTransform(static_cast<Gdiplus::REAL>(-origin.x), static_cast<Gdiplus::REAL>(-origin.y));
    clip_ = CRect(origin.x, origin.y, origin.x + 32767, origin.y + 32767);
}

void GdiPlusDrawContext::setClipRect(const CRect& clip)
{
    clip_ = clip;
    graphics_.SetClip(Gdiplus::Rect(clip.left, clip.top, clip.width(), clip.height()), Gdiplus::CombineModeReplace);
}

void GdiPlusDrawContext::fillRect(const CRect& rect, const CColor& color)
{
    if (rect.isEmpty())
        return;
    Gdiplus::SolidBrush brush(toColor(color));
    graphics_.FillRectangle(&brush, rect.left, rect.top, rect.width(), rect.height());
}

void GdiPlusDrawContext::frameRect(const CRect& rect, const CColor& color)
{
    if (rect.isEmpty())
        return;
    // Four strips rather than a pen, so that no pixel is covered twice (which
    // would show with a translucent colour) and none falls outside rect.
    const int w = rect.width();
    const int h = rect.height();
    fillRect(CRect(rect.left, rect.top, rect.right, rect.top + 1), color);
    if (h > 1)
        fillRect(CRect(rect.left, rect.bottom - 1, rect.right, rect.bottom), color);
    if (h > 2) {
        fillRect(CRect(rect.left, rect.top + 1, rect.left + 1, rect.bottom - 1), color);
        if (w > 1)
            fillRect(CRect(rect.right - 1, rect.top + 1, rect.right, rect.bottom - 1), color);
    }
}

void GdiPlusDrawContext::drawBitmap(const CBitmap& bitmap, const CRect& dest, const CPoint& offset, float alpha)
{
    const auto* image = dynamic_cast<const GdiPlusImage*>(bitmap.platformImage());
    if (!image || dest.isEmpty() || alpha <= 0.0f)
        return;
    // Only the part of dest that the image covers: GDI+ would stretch or
    // repeat its edge pixels where the source rectangle leaves the image.
    CRect source(offset.x, offset.y, offset.x + dest.width(), offset.y + dest.height());
    source.left = std::max(source.left, 0);
    source.top = std::max(source.top, 0);
    source.right = std::min(source.right, image->width());
    source.bottom = std::min(source.bottom, image->height());
    if (source.isEmpty())
        return;
    const int x = dest.left + (source.left - offset.x);
    const int y = dest.top + (source.top - offset.y);
    Gdiplus::Rect target(x, y, source.width(), source.height());
    Gdiplus::Bitmap* pixels = image->buffer().bitmap();
    if (alpha >= 1.0f) {
        graphics_.DrawImage(pixels, target, source.left, source.top, source.width(), source.height(),
                            Gdiplus::UnitPixel);
        return;
    }
    Gdiplus::ColorMatrix matrix = {
        {{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, alpha, 0}, {0, 0, 0, 0, 1}}};
    Gdiplus::ImageAttributes attributes;
    attributes.SetColorMatrix(&matrix);
    graphics_.DrawImage(pixels, target, source.left, source.top, source.width(), source.height(), Gdiplus::UnitPixel,
                        &attributes);
}

void GdiPlusDrawContext::drawString(const char* text, const CRect& rect, const CFontDesc& font, const CColor& color,
                                    CHoriTxtAlign align)
{
    if (!text || !*text || rect.isEmpty())
        return;
    std::wstring wide = widenUtf8(text);
    std::wstring family = widenUtf8(font.resolvedName().c_str());
    Gdiplus::FontFamily fontFamily(family.c_str());
    std::unique_ptr<Gdiplus::FontFamily> fallback;
    const Gdiplus::FontFamily* chosen = &fontFamily;
    if (fontFamily.GetLastStatus() != Gdiplus::Ok) {
        fallback.reset(Gdiplus::FontFamily::GenericSansSerif()->Clone());
        chosen = fallback.get();
    }
    const Gdiplus::REAL size = static_cast<Gdiplus::REAL>(font.getSize());
    Gdiplus::Font gdiFont(chosen, size, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    if (gdiFont.GetLastStatus() != Gdiplus::Ok)
        return;
    Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
    format.SetFormatFlags(format.GetFormatFlags() | Gdiplus::StringFormatFlagsNoWrap |
                          Gdiplus::StringFormatFlagsMeasureTrailingSpaces);
    Gdiplus::RectF bounds;
    graphics_.MeasureString(wide.c_str(), -1, &gdiFont, Gdiplus::PointF(0, 0), &format, &bounds);

    const double em = chosen->GetEmHeight(Gdiplus::FontStyleRegular);
    const double fontSize = static_cast<double>(size);
    const double ascent = em > 0 ? fontSize * chosen->GetCellAscent(Gdiplus::FontStyleRegular) / em : fontSize * 0.8;
    const double descent = em > 0 ? fontSize * chosen->GetCellDescent(Gdiplus::FontStyleRegular) / em : fontSize * 0.2;

    const TextPlacement place = placeText(rect, bounds.Width, align);
    const double x = place.x;
    const double squeeze = place.squeeze;
    const double baseline = rect.top + (rect.height() + ascent - descent) / 2.0;

    // Save and Restore bring back the clip and the transform.
    Gdiplus::GraphicsState saved = graphics_.Save();
    graphics_.IntersectClip(Gdiplus::Rect(rect.left, rect.top, rect.width(), rect.height()));
    graphics_.TranslateTransform(static_cast<Gdiplus::REAL>(static_cast<int>(x + 0.5)),
                                 static_cast<Gdiplus::REAL>(static_cast<int>(baseline + 0.5)));
    graphics_.ScaleTransform(static_cast<Gdiplus::REAL>(squeeze), 1.0f);
    Gdiplus::SolidBrush brush(toColor(color));
    // GDI+ places a string by the top of its line; the baseline lies one
    // ascent below.
    graphics_.DrawString(wide.c_str(), -1, &gdiFont, Gdiplus::PointF(0, static_cast<Gdiplus::REAL>(-ascent)), &format,
                         &brush);
    graphics_.Restore(saved);
}

void GdiPlusDrawContext::flush()
{
    graphics_.Flush(Gdiplus::FlushIntentionSync);
}

namespace {

// An IStream over a copy of the PNG bytes, for GDI+'s decoder.
IStream* memoryStream(const unsigned char* data, std::size_t size)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory)
        return nullptr;
    void* bytes = GlobalLock(memory);
    if (!bytes) {
        GlobalFree(memory);
        return nullptr;
    }
    std::memcpy(bytes, data, size);
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    if (CreateStreamOnHGlobal(memory, TRUE, &stream) != S_OK) {
        GlobalFree(memory);
        return nullptr;
    }
    return stream;
}

bool pngEncoder(CLSID& clsid)
{
    UINT count = 0;
    UINT bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0)
        return false;
    std::vector<unsigned char> storage(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(storage.data());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i)
        if (codecs[i].MimeType && std::wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    return false;
}

class GdiPlusOffscreen : public COffscreenContext {
public:
    GdiPlusOffscreen(int width, int height) : buffer_(width, height) {}

    bool open()
    {
        if (!buffer_.ok())
            return false;
        context_ = std::make_unique<GdiPlusDrawContext>(buffer_);
        return true;
    }

    int width() const override { return buffer_.width(); }
    int height() const override { return buffer_.height(); }
    CDrawContext& drawContext() override { return *context_; }

    CColor getPixel(int x, int y) override
    {
        if (x < 0 || y < 0 || x >= width() || y >= height())
            return kTransparentCColor;
        context_->flush();
        std::uint32_t argb = buffer_.pixels()[static_cast<std::size_t>(y) * static_cast<std::size_t>(width()) +
                                              static_cast<std::size_t>(x)];
        unsigned a = argb >> 24;
        if (a == 0)
            return kTransparentCColor;
        auto unpremultiply = [a](unsigned c) { return static_cast<std::uint8_t>((c * 255 + a / 2) / a); };
        return CColor(unpremultiply((argb >> 16) & 0xff), unpremultiply((argb >> 8) & 0xff), unpremultiply(argb & 0xff),
                      static_cast<std::uint8_t>(a));
    }

    bool writePNG(const char* path) override
    {
        context_->flush();
        CLSID clsid;
        if (!path || !pngEncoder(clsid))
            return false;
        std::wstring wide = widenUtf8(path);
        return buffer_.bitmap()->Save(wide.c_str(), &clsid, nullptr) == Gdiplus::Ok;
    }

private:
    PixelBuffer buffer_;
    std::unique_ptr<GdiPlusDrawContext> context_;
};

} // namespace

std::unique_ptr<PlatformImage> PlatformImage::decodePNG(const unsigned char* data, std::size_t size)
{
    // The PNG signature first: GDI+ would also take BMP, GIF or JPEG data.
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (!data || size < sizeof kSignature || std::memcmp(data, kSignature, sizeof kSignature) != 0)
        return nullptr;
    GdiPlusSession session;
    if (!session.ok())
        return nullptr;
    IStream* stream = memoryStream(data, size);
    if (!stream)
        return nullptr;
    std::unique_ptr<PlatformImage> result;
    {
        Gdiplus::Bitmap decoded(stream);
        const int width = static_cast<int>(decoded.GetWidth());
        const int height = static_cast<int>(decoded.GetHeight());
        if (decoded.GetLastStatus() == Gdiplus::Ok && width > 0 && height > 0) {
            // Convert once into premultiplied pixels of our own, the form
            // that blends fastest and that the stream need not outlive.
            auto image = std::make_unique<GdiPlusImage>(width, height);
            Gdiplus::BitmapData target{};
            target.Width = static_cast<UINT>(width);
            target.Height = static_cast<UINT>(height);
            target.Stride = width * 4;
            target.PixelFormat = PixelFormat32bppPARGB;
            target.Scan0 = image->buffer().pixels();
            Gdiplus::Rect all(0, 0, width, height);
            if (image->buffer().ok() &&
                decoded.LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                                 PixelFormat32bppPARGB, &target) == Gdiplus::Ok) {
                decoded.UnlockBits(&target);
                result = std::move(image);
            }
        }
    }
    stream->Release();
    return result;
}

std::unique_ptr<COffscreenContext> COffscreenContext::create(int width, int height)
{
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767)
        return nullptr;
    try {
        auto offscreen = std::make_unique<GdiPlusOffscreen>(width, height);
        if (!offscreen->open())
            return nullptr;
        return offscreen;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
