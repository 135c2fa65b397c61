#pragma once
// The engine's bank and current program kept in the state file: brought
// back at start (the factory bank on a first run, or in place of a state
// that cannot be read), and saved whenever they changed. What happens is
// told on standard error, each failure once.
//
// Main thread only.

#include "formats/HostedSynth.h"
#include "standalone/StateFile.h"

#include <string>
#include <vector>

class StateKeeper {
public:
    StateKeeper(StateFile& file, HostedSynth& synth) : file_(file), synth_(synth) {}

    // Takes the state for this process (where no other holds it) and loads
    // it into the engine, or the factory bank.
    void restore();
    // Saves the bank and program if they differ from what was saved last.
    // False when the disk refused; the last saved state is then kept.
    bool save();

private:
    StateFile::Snapshot snapshot();

    StateFile& file_;
    HostedSynth& synth_;
    std::vector<uint8_t> saved_;
    std::string lastError_;
};
