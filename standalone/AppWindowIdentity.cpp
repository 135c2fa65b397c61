#include "standalone/AppWindowIdentity.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <unistd.h>

Atom markAsApplicationWindow(Display* display, Window window)
{
    XClassHint classHint{};
    char instanceName[] = "tarvel";
    char className[] = "Tarvel";
    classHint.res_name = instanceName;
    classHint.res_class = className;
    XSetClassHint(display, window, &classHint);
    const long pid = static_cast<long>(getpid());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    return deleteWindow;
}
