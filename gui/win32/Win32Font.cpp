// Platform layer (Win32): font families resolved among the installed ones
// through GDI+.

#include "gui/PlatformFont.h"
#include "gui/win32/GdiPlusImage.h"

namespace {

bool installed(const std::string& family)
{
    if (family.empty())
        return false;
    std::wstring wide = widenUtf8(family.c_str());
    Gdiplus::FontFamily probe(wide.c_str());
    return probe.GetLastStatus() == Gdiplus::Ok && probe.IsAvailable();
}

} // namespace

std::string resolveFontFamily(const std::string& family)
{
    GdiPlusSession session;
    if (!session.ok())
        return family;
    if (installed(family))
        return family;
    // Windows has no "Helvetica"; Arial is its metric-compatible stand-in,
    // and the others are sans-serif faces one of which every system has.
    for (const char* candidate : {"Arial", "Liberation Sans", "DejaVu Sans", "Tahoma", "Microsoft Sans Serif"})
        if (installed(candidate))
            return candidate;
    return "Microsoft Sans Serif";
}
