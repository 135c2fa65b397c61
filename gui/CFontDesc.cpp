#include "gui/CFontDesc.h"

#include "gui/PlatformFont.h"

CFontDesc::CFontDesc(const char* family, int size) : name_(family ? family : ""), size_(size)
{
}

const std::string& CFontDesc::resolvedName() const
{
    if (resolved_.empty())
        resolved_ = resolveFontFamily(name_);
    return resolved_;
}
