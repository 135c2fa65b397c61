#pragma once
// `tarvel-host info PLUGIN.so`: prints the plug-in's identity, flags,
// capabilities, parameters (name, display, value) and programs.

// argv holds the words after `info`. Returns the process exit status.
int runInfoCommand(int argc, char** argv);
