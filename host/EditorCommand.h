#pragma once
// `tarvel-host editor PLUGIN.so [--screenshot FILE --after MS]`: loads the
// plug-in, shows its editor in a top-level X11 window, idles it at 60 Hz and
// renders audio to nowhere at real-time pace so that live values and bends
// move. With --screenshot it writes a PNG of the window after MS
// milliseconds and exits.

// argv holds the words after `editor`. Returns the process exit status.
int runEditorCommand(int argc, char** argv);
