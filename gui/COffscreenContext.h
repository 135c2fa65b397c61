#pragma once
// An image in memory to draw into with the same code that draws a window:
// used for screenshots and tests.

#include "gui/CColor.h"
#include "gui/CDrawContext.h"

#include <memory>

class COffscreenContext {
public:
    virtual ~COffscreenContext() = default;

    // nullptr when the size is not positive or memory is short.
    static std::unique_ptr<COffscreenContext> create(int width, int height);

    virtual int width() const = 0;
    virtual int height() const = 0;
    // Starts fully transparent.
    virtual CDrawContext& drawContext() = 0;
    // The pixel with its colour un-premultiplied; transparent outside.
    virtual CColor getPixel(int x, int y) = 0;
    virtual bool writePNG(const char* path) = 0;
};
