#pragma once
// A JACK test client: it plays notes into another client's MIDI input and
// records that client's audio outputs, as a keyboard and a recorder would.
// The process callback only reads preallocated buffers, so the recording
// has no gaps of its own making.

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

class JackProbe {
public:
    explicit JackProbe(const std::string& server, const char* name = "probe");
    ~JackProbe();
    JackProbe(const JackProbe&) = delete;
    JackProbe& operator=(const JackProbe&) = delete;

    bool ok() const { return client_ != nullptr; }
    unsigned sampleRate() const { return rate_; }

    // Waits until `client` has a MIDI input and two audio outputs, then
    // connects this probe's MIDI output and inputs to them.
    bool connectTo(const std::string& client, std::chrono::milliseconds limit);

    struct Take {
        bool complete = false;
        std::vector<float> left, right;
        double rms = 0.0;        // over the held note, from 50 ms after its start
        double pitchHz = 0.0;    // of the held note, by autocorrelation
        double leadInPeak = 0.0; // before the note
    };
    // Once the input has been silent for 100 ms: a program change (unless
    // program < 0), then `note` 200 ms later, held 800 ms, and 300 ms of
    // release recorded after it.
    Take play(int note, int program = -1, std::chrono::milliseconds limit = std::chrono::seconds(20));

    // Full names of the ports connected to `port`.
    std::vector<std::string> connections(const std::string& port) const;
    // Another MIDI output of this client (a second keyboard); its full name.
    std::string addMidiSource(const char* shortName);
    std::string midiOutputName() const;

private:
    static int process(jack_nframes_t frames, void* self);

    jack_client_t* client_ = nullptr;
    jack_port_t* midiOut_ = nullptr;
    jack_port_t* in_[2] = {nullptr, nullptr};
    unsigned rate_ = 0;

    // The take under way, set up by play() before it arms the callback.
    std::vector<float> record_[2];
    uint32_t frames_ = 0, noteOn_ = 0, noteOff_ = 0;
    int note_ = 69, program_ = -1;
    std::atomic<bool> armed_{false};
    std::atomic<uint32_t> position_{0};
    // Frames of silence in a row heard while no take is under way.
    std::atomic<uint32_t> quietFrames_{0};
};
