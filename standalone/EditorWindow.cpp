#include "standalone/EditorWindow.h"

#include "standalone/AppWindowIdentity.h"
#include "vst/AEffEditor.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstring>

struct EditorWindow::X11 {
    Display* display = nullptr;
    Window window = 0;
    Atom deleteWindow = 0;
    Atom utf8 = 0;
    Atom netName = 0;
};

namespace {

// The editor reports its size once it knows it; until then, and for an
// editor that never says, the size it is made for.
void editorSize(AEffEditor* editor, unsigned& width, unsigned& height)
{
    ERect* rect = nullptr;
    if (editor->getRect(&rect) && rect != nullptr && rect->right > rect->left && rect->bottom > rect->top) {
        width = static_cast<unsigned>(rect->right - rect->left);
        height = static_cast<unsigned>(rect->bottom - rect->top);
    }
}

} // namespace

EditorWindow::~EditorWindow()
{
    close();
}

bool EditorWindow::open(AEffEditor* editor, const std::string& title, std::string& error)
{
    if (editor == nullptr) {
        error = "the engine has no editor";
        return false;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        error = "cannot open the X display";
        return false;
    }
    unsigned width = 740, height = 520;
    editorSize(editor, width, height);
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, width, height, 0,
                                              BlackPixel(display, screen), BlackPixel(display, screen));
    x_ = new X11{display, window, markAsApplicationWindow(display, window), XInternAtom(display, "UTF8_STRING", False),
                 XInternAtom(display, "_NET_WM_NAME", False)};
    XSelectInput(display, window, StructureNotifyMask);
    setTitle(title);

    if (!editor->open(reinterpret_cast<void*>(static_cast<std::uintptr_t>(window)))) {
        error = "the editor could not open";
        close();
        return false;
    }
    editor_ = editor;
    editorSize(editor, width, height);
    XResizeWindow(display, window, width, height);
    // The editor has one size: the window manager should not offer another.
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = static_cast<int>(width);
    hints.min_height = hints.max_height = static_cast<int>(height);
    XSetWMNormalHints(display, window, &hints);
    XMapWindow(display, window);
    XFlush(display);
    return true;
}

void EditorWindow::setTitle(const std::string& title)
{
    if (x_ == nullptr)
        return;
    XStoreName(x_->display, x_->window, title.c_str());
    XChangeProperty(x_->display, x_->window, x_->netName, x_->utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.c_str()), static_cast<int>(title.size()));
    XFlush(x_->display);
}

bool EditorWindow::idle()
{
    if (x_ == nullptr)
        return false;
    bool open = true;
    while (XPending(x_->display) > 0) {
        XEvent event;
        XNextEvent(x_->display, &event);
        if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == x_->deleteWindow)
            open = false;
        else if (event.type == DestroyNotify && event.xdestroywindow.window == x_->window)
            open = false;
    }
    if (open && editor_ != nullptr)
        editor_->idle();
    return open;
}

void EditorWindow::close()
{
    if (editor_ != nullptr) {
        editor_->close();
        editor_ = nullptr;
    }
    if (x_ != nullptr) {
        XDestroyWindow(x_->display, x_->window);
        XCloseDisplay(x_->display);
        delete x_;
        x_ = nullptr;
    }
}
