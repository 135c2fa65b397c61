#pragma once
// `tarvel-host render [options] PLUGIN.so SONG.mid -o OUT.wav`: plays the
// song through the plug-in and writes its first two outputs to a WAV or FLAC
// file. Ctrl-C ends the render early and keeps what was rendered.

// The lines that `tarvel-host --help` shows for the command.
const char* renderUsage();

// argv holds the words after `render`. Returns the process exit status;
// errors in the command line raise TarvelHost::UsageError, others HostError.
int runRenderCommand(int argc, char** argv);
