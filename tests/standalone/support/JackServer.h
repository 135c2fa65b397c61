#pragma once
// A private JACK server on the dummy backend (no sound card, no realtime
// rights needed), under a name no other test uses, stopped with the object.

#include "support/ChildProcess.h"

#include <memory>
#include <string>

class JackServer {
public:
    JackServer(const std::string& logFolder, int sampleRate = 48000, int period = 256);
    ~JackServer();

    // True once a client can connect.
    bool ready() const { return ready_; }
    const std::string& name() const { return name_; }
    std::string log() const { return process_ ? process_->errorOutput() + process_->output() : ""; }

    // A server name that no server has: what a test without one sets.
    static std::string unusedName();

private:
    std::string name_;
    std::unique_ptr<ChildProcess> process_;
    bool ready_ = false;
    void* watcher_ = nullptr; // the client that found the server ready
};
