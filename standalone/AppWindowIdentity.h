#pragma once
// What makes a top-level window the application's for the window manager
// and the desktop: the class the desktop entry names ("tarvel", "Tarvel"),
// the process it belongs to, and the close button's message.

#include <X11/Xlib.h>

// Returns the WM_DELETE_WINDOW atom that the close button will send.
Atom markAsApplicationWindow(Display* display, Window window);
