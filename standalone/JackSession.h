#pragma once
// The application's JACK client: a stereo output pair and a MIDI input,
// driven by the server's process callback, and the connections --connect
// asks for.
//
// Opening never starts a server and never waits long: without a running
// server it fails at once with one sentence that says how to start one
// (libjack's own messages about the failed attempt are kept quiet).

#include "formats/HostedSynth.h"

#include <jack/jack.h>

#include <atomic>
#include <memory>
#include <string>

class LiveSynth;

class JackSession {
public:
    // A client of the running server; nullptr, with the sentence for the
    // user in `error`, when there is none.
    static std::unique_ptr<JackSession> open(const char* name, std::string& error);
    ~JackSession();
    JackSession(const JackSession&) = delete;
    JackSession& operator=(const JackSession&) = delete;

    double sampleRate() const;
    int blockSize() const;
    std::string clientName() const;

    // Registers the ports and starts the audio; the engine must already
    // have the server's sample rate and block size. False, with why in
    // `error`, when the server refuses.
    bool start(HostedSynth& synth, LiveSynth& live, std::string& error);
    // Stops the audio; the engine's last block has finished on return.
    void stop();

    // The outputs to the first two physical playback ports and every MIDI
    // source (another program's output, a keyboard) to the input. Returns
    // a line saying what was connected.
    std::string connectEverything();
    // Connects the MIDI sources that appeared since the last call (a
    // keyboard plugged in); true when any was connected.
    bool connectNewMidiSources();

    // The server shut down or threw the client out.
    bool serverGone() const { return serverGone_.load(); }

private:
    explicit JackSession(jack_client_t* client) : client_(client) {}
    static int process(jack_nframes_t frames, void* self);
    static int blockSizeChanged(jack_nframes_t frames, void* self);
    static void portRegistered(jack_port_id_t port, int registered, void* self);
    static void shutDown(void* self);
    int connectMidiSources();

    jack_client_t* client_;
    jack_port_t* left_ = nullptr;
    jack_port_t* right_ = nullptr;
    jack_port_t* midiIn_ = nullptr;
    HostedSynth* synth_ = nullptr;
    LiveSynth* live_ = nullptr;
    bool active_ = false;
    std::atomic<bool> serverGone_{false};
    std::atomic<bool> portsAppeared_{false};
};
