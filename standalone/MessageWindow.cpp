#include "standalone/MessageWindow.h"

#include "standalone/AppWindowIdentity.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int kWidth = 520;
constexpr int kMargin = 16;

// The text in lines no wider than the window, broken between words.
std::vector<std::string> wrap(XFontStruct* font, const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(start, end - start);
        const std::string longer = line.empty() ? word : line + " " + word;
        if (!line.empty() && XTextWidth(font, longer.c_str(), static_cast<int>(longer.size())) > kWidth - 2 * kMargin) {
            lines.push_back(line);
            line = word;
        } else {
            line = longer;
        }
        start = end + 1;
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

} // namespace

bool showMessageWindow(const std::string& title, const std::string& text)
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return false;
    XFontStruct* font = XLoadQueryFont(display, "-*-helvetica-medium-r-normal--14-*-*-*-*-*-iso8859-1");
    if (font == nullptr)
        font = XLoadQueryFont(display, "fixed");
    if (font == nullptr) {
        XCloseDisplay(display);
        return false;
    }
    const std::vector<std::string> lines = wrap(font, text);
    const int lineHeight = font->ascent + font->descent + 4;
    const int height = 2 * kMargin + lineHeight * static_cast<int>(std::max<std::size_t>(lines.size(), 1));
    const int screen = DefaultScreen(display);
    const Window window =
        XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, kWidth, static_cast<unsigned>(height), 0,
                            BlackPixel(display, screen), WhitePixel(display, screen));
    XStoreName(display, window, title.c_str());
    const Atom deleteWindow = markAsApplicationWindow(display, window);
    XSelectInput(display, window, ExposureMask | KeyPressMask | ButtonPressMask | StructureNotifyMask);
    const GC gc = XCreateGC(display, window, 0, nullptr);
    XSetFont(display, gc, font->fid);
    XSetForeground(display, gc, BlackPixel(display, screen));
    XMapWindow(display, window);

    for (bool open = true; open;) {
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0)
                for (std::size_t i = 0; i < lines.size(); ++i)
                    XDrawString(display, window, gc, kMargin, kMargin + font->ascent + lineHeight * static_cast<int>(i),
                                lines[i].c_str(), static_cast<int>(lines[i].size()));
            break;
        case KeyPress:
        case ButtonPress:
        case DestroyNotify:
            open = false;
            break;
        case ClientMessage:
            open = static_cast<Atom>(event.xclient.data.l[0]) != deleteWindow;
            break;
        default:
            break;
        }
    }
    XFreeGC(display, gc);
    XFreeFont(display, font);
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return true;
}
