#pragma once
// A decoded image held by the platform layer. Views never see its pixels;
// they hand it to a draw context.

#include <cstddef>
#include <memory>

class PlatformImage {
public:
    virtual ~PlatformImage() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    // Another image over the same pixels, without copying them, that keeps
    // them valid for as long as it lives. Drawing from an image is not a
    // pure read (the drawing libraries keep state on the image object), so
    // windows on different threads each draw from an image of their own.
    // nullptr when it cannot be made.
    virtual std::unique_ptr<PlatformImage> share() const = 0;

    // Decodes PNG data; nullptr when the data is not a readable PNG.
    static std::unique_ptr<PlatformImage> decodePNG(const unsigned char* data, std::size_t size);
};
