#pragma once
// `tarvel-host audition [options] PLUGIN.so (-o OUT.wav | --split DIR)`:
// every program of a bank plays the reference phrase (host/ReferencePhrase.h),
// each in a fresh instance of the plug-in, into one file with a gap between
// programs or into one file per program named after it. A table gives each
// program's integrated loudness, true peak and release time.

// The lines that `tarvel-host --help` shows for the command.
const char* auditionUsage();

// argv holds the words after `audition`. Returns the process exit status;
// errors in the plug-in, the bank or the output raise HostError, a command
// line it cannot follow UsageError (main() reports both).
int runAuditionCommand(int argc, char** argv);
