#include "gui/CBitmap.h"

#include "gui/CDrawContext.h"
#include "gui/EmbeddedResources.h"
#include "gui/PlatformImage.h"

CBitmap::CBitmap(const char* resourceName)
{
    if (const EmbeddedResource* resource = findEmbeddedResource(resourceName))
        image_ = PlatformImage::decodePNG(resource->data, resource->size);
}

CBitmap::CBitmap(std::unique_ptr<PlatformImage> image) : image_(std::move(image))
{
}

CBitmap::~CBitmap() = default;

int CBitmap::getWidth() const
{
    return image_ ? image_->width() : 0;
}

int CBitmap::getHeight() const
{
    return image_ ? image_->height() : 0;
}

void CBitmap::draw(CDrawContext& context, const CRect& dest, const CPoint& offset, float alpha) const
{
    if (image_)
        context.drawBitmap(*this, dest, offset, alpha);
}
