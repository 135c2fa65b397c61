#pragma once
// What the application remembers between runs: the whole bank and the
// current program, kept as a standard bank file (.fxb, which any VST 2.4
// host loads too) at $XDG_CONFIG_HOME/tarvel/state.fxb, or
// ~/.config/tarvel/state.fxb where that variable is unset.
//
// Saving writes the new state beside the old, flushes it to the disk and
// only then renames it over the old file, so a crash, a power cut or a
// full disk leaves the last good state or the new one, never a torn file.
// A file that cannot be read at start is moved aside under a new name,
// never overwritten, so that nothing in it is lost.
//
// One application at a time keeps the state: a second one started while
// the first runs reads it but never writes it (it would overwrite the
// first one's work when it quits).

#include "host/PresetLoader.h"

#include <cstdint>
#include <string>
#include <vector>

class StateFile {
public:
    explicit StateFile(std::string path);
    ~StateFile();
    StateFile(const StateFile&) = delete;
    StateFile& operator=(const StateFile&) = delete;

    // $XDG_CONFIG_HOME/tarvel/state.fxb (an absolute $XDG_CONFIG_HOME only,
    // as the base directory rules say), else $HOME/.config/tarvel/state.fxb.
    static std::string defaultPath();

    const std::string& path() const { return path_; }

    // Takes the state for this process; false when another process holds
    // it (or its folder cannot be made), with why in `error`.
    bool claim(std::string& error);
    bool claimed() const { return lockFd_ >= 0; }

    enum class Outcome {
        Restored,  // the target has the saved bank and program
        Missing,   // no state yet: the first run
        Damaged,   // unreadable data, now kept aside under `keptAs`
        Unreadable // the file exists but cannot be read; left as it is, never saved over
    };
    struct LoadResult {
        Outcome outcome = Outcome::Missing;
        std::string detail; // why a file was damaged or unreadable
        std::string keptAs; // where a damaged file went
    };
    // Loads the state into the target; changes nothing in it unless the
    // whole file is sound.
    LoadResult load(TarvelHost::PresetTarget& target);

    struct Snapshot {
        std::vector<uint8_t> bankChunk;
        int currentProgram = 0;
        int32_t uniqueID = 0;
        int32_t version = 0;
        int programCount = 0;
    };
    // The file's bytes for a state.
    static std::vector<uint8_t> encode(const Snapshot& state);
    // Replaces the saved state. False, with why in `error`, when the disk
    // refuses: the previous file is then left exactly as it was.
    bool save(const Snapshot& state, std::string& error);

private:
    std::string path_;
    int lockFd_ = -1;
    bool keepExisting_ = false;
};
