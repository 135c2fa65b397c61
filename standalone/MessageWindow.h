#pragma once
// A message for a user who started the application from the desktop's menu,
// where nobody reads its standard error: a small window with the text,
// closed by a click, a key or the window manager. Main thread only.

#include <string>

// Shows `text` (wrapped to the window) until the user closes it. Returns
// false at once, showing nothing, when there is no display.
bool showMessageWindow(const std::string& title, const std::string& text);
