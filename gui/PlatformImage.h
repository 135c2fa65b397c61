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

    // Decodes PNG data; nullptr when the data is not a readable PNG.
    static std::unique_ptr<PlatformImage> decodePNG(const unsigned char* data, std::size_t size);
};
