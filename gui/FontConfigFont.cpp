// Platform layer: font families resolved through fontconfig.

#include "gui/PlatformFont.h"

#include <fontconfig/fontconfig.h>

std::string resolveFontFamily(const std::string& family)
{
    // fontconfig's own substitution rules map well-known names such as
    // "Helvetica" to a metric-compatible or at least sans-serif font; "sans"
    // is appended as a fallback for names it knows nothing about.
    std::string result = "sans-serif";
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return result;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult status = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &status);
    if (match) {
        FcChar8* name = nullptr;
        if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch && name)
            result = reinterpret_cast<const char*>(name);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return result;
}
