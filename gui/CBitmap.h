#pragma once
// An image shared by reference counting, loaded from the PNGs embedded in
// the plug-in. A name that is not embedded gives an empty bitmap (size 0),
// which draws nothing.

#include "gui/CRect.h"
#include "gui/CReferenceCounter.h"

#include <memory>

class CDrawContext;
class PlatformImage;

class CBitmap : public CReferenceCounter {
public:
    // Looks the resource up by name, ignoring case.
    explicit CBitmap(const char* resourceName);
    // Takes a decoded image (may be null for an empty bitmap).
    explicit CBitmap(std::unique_ptr<PlatformImage> image);

    int getWidth() const;
    int getHeight() const;
    bool isLoaded() const { return image_ != nullptr; }
    const PlatformImage* platformImage() const { return image_.get(); }

    // Draws the part of the image starting at `offset` into dest.
    void draw(CDrawContext& context, const CRect& dest, const CPoint& offset = CPoint(0, 0), float alpha = 1.0f) const;

protected:
    ~CBitmap() override;

private:
    std::unique_ptr<PlatformImage> image_;
};
