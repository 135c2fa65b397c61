#include "standalone/JackSession.h"

#include "standalone/LiveSynth.h"

#include <jack/midiport.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

void quiet(const char*)
{
}

void reportJackError(const char* message)
{
    std::fprintf(stderr, "tarvel: JACK: %s\n", message);
}

// How a user gets a server, the same words wherever it is said.
const char* const kHowToStart =
    "start one first (for example with `jackd -d alsa &`, or on a PipeWire desktop run `pw-jack tarvel`) and "
    "run tarvel again";

std::string serverName()
{
    const char* name = std::getenv("JACK_DEFAULT_SERVER");
    return name != nullptr && *name != 0 ? std::string(" named \"") + name + "\"" : std::string();
}

// A server that accepted the connection but hangs would hold jack_client_open
// for ever; the application must not hang with it. Past the deadline this
// ends the process with the sentence for the user.
class OpenDeadline {
public:
    explicit OpenDeadline(std::chrono::milliseconds limit)
        : thread_([this, limit] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!done_.wait_for(lock, limit, [this] { return finished_; })) {
                  std::fprintf(stderr, "tarvel: the JACK server%s does not answer: %s.\n", serverName().c_str(),
                               kHowToStart);
                  std::fflush(stderr);
                  _exit(1);
              }
          })
    {
    }
    ~OpenDeadline()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        thread_.join();
    }
    OpenDeadline(const OpenDeadline&) = delete;
    OpenDeadline& operator=(const OpenDeadline&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

} // namespace

std::unique_ptr<JackSession> JackSession::open(const char* name, std::string& error)
{
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    jack_status_t status{};
    jack_client_t* client = nullptr;
    {
        const OpenDeadline deadline(std::chrono::milliseconds(4000));
        // A server that is still taking leave of a client that just quit
        // can fail the next one's registration; that passes in a moment.
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (attempt > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
            client = jack_client_open(name, JackNoStartServer, &status);
            if (client != nullptr || (status & JackServerFailed) || !(status & JackServerError))
                break;
        }
    }
    jack_set_error_function(reportJackError);
    if (client == nullptr) {
        if (status & JackServerFailed)
            error = "no JACK server" + serverName() + " is running: " + kHowToStart + ".";
        else
            error = "the JACK server" + serverName() + " refused the connection (status 0x" + [&] {
                char hex[16];
                std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(status));
                return std::string(hex);
            }() + "): restart it and run tarvel again.";
        return nullptr;
    }
    return std::unique_ptr<JackSession>(new JackSession(client));
}

JackSession::~JackSession()
{
    stop();
    jack_client_close(client_);
}

double JackSession::sampleRate() const
{
    return static_cast<double>(jack_get_sample_rate(client_));
}

int JackSession::blockSize() const
{
    return static_cast<int>(jack_get_buffer_size(client_));
}

std::string JackSession::clientName() const
{
    const char* name = jack_get_client_name(client_);
    return name != nullptr ? name : "";
}

bool JackSession::start(HostedSynth& synth, LiveSynth& live, std::string& error)
{
    synth_ = &synth;
    live_ = &live;
    left_ = jack_port_register(client_, "out_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput | JackPortIsTerminal, 0);
    right_ =
        jack_port_register(client_, "out_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput | JackPortIsTerminal, 0);
    midiIn_ = jack_port_register(client_, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput | JackPortIsTerminal, 0);
    if (left_ == nullptr || right_ == nullptr || midiIn_ == nullptr) {
        error = "the JACK server refused to register the ports";
        return false;
    }
    jack_set_process_callback(client_, &JackSession::process, this);
    jack_set_buffer_size_callback(client_, &JackSession::blockSizeChanged, this);
    jack_set_port_registration_callback(client_, &JackSession::portRegistered, this);
    jack_on_shutdown(client_, &JackSession::shutDown, this);
    // From here the server may call the engine, whatever activation answers.
    active_ = true;
    if (jack_activate(client_) != 0) {
        error = "the JACK server refused to start the audio";
        return false;
    }
    return true;
}

void JackSession::stop()
{
    if (active_ && !serverGone_.load())
        jack_deactivate(client_);
    active_ = false;
}

// ---- Audio thread ----

int JackSession::process(jack_nframes_t frames, void* arg)
{
    auto* self = static_cast<JackSession*>(arg);
    auto* left = static_cast<float*>(jack_port_get_buffer(self->left_, frames));
    auto* right = static_cast<float*>(jack_port_get_buffer(self->right_, frames));
    void* midi = jack_port_get_buffer(self->midiIn_, frames);
    LiveSynth& live = *self->live_;
    live.beginBlock();
    const uint32_t count = jack_midi_get_event_count(midi);
    for (uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, midi, i) == 0)
            live.addMidi(event.time, event.buffer, event.size);
    }

    // The song position, where a program on the server keeps the bars and
    // beats (a sequencer as timebase master); JACK counts beats in the
    // time signature's unit, the engine in quarter notes.
    jack_position_t position;
    const jack_transport_state_t state = jack_transport_query(self->client_, &position);
    HostedSynth::Transport transport;
    transport.playing = state == JackTransportRolling;
    transport.frame = position.frame;
    if ((position.valid & JackPositionBBT) && position.ticks_per_beat > 0.0 && position.beat_type > 0.0f &&
        position.bar > 0) {
        const double quarterNotesPerBeat = 4.0 / static_cast<double>(position.beat_type);
        const double beats = (position.bar - 1) * static_cast<double>(position.beats_per_bar) + (position.beat - 1) +
                             position.tick / position.ticks_per_beat;
        transport.positionValid = true;
        transport.quarterNotes = beats * quarterNotesPerBeat;
        transport.tempoValid = position.beats_per_minute > 0.0;
        transport.tempo = position.beats_per_minute * quarterNotesPerBeat;
    }
    live.render(transport, left, right, frames);
    return 0;
}

int JackSession::blockSizeChanged(jack_nframes_t frames, void* arg)
{
    static_cast<JackSession*>(arg)->synth_->setBlockSize(static_cast<int>(frames));
    return 0;
}

// ---- Notification thread ----

void JackSession::portRegistered(jack_port_id_t, int registered, void* arg)
{
    if (registered != 0)
        static_cast<JackSession*>(arg)->portsAppeared_.store(true);
}

void JackSession::shutDown(void* arg)
{
    static_cast<JackSession*>(arg)->serverGone_.store(true);
}

// ---- Connections (main thread) ----

std::string JackSession::connectEverything()
{
    portsAppeared_.store(false);
    std::string report;
    const char** playback =
        jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput);
    if (playback != nullptr && playback[0] != nullptr) {
        const char* first = playback[0];
        const char* second = playback[1] != nullptr ? playback[1] : playback[0];
        const int a = jack_connect(client_, jack_port_name(left_), first);
        const int b = jack_connect(client_, jack_port_name(right_), second);
        if ((a == 0 || a == EEXIST) && (b == 0 || b == EEXIST))
            report = std::string("the outputs to ") + first + " and " + second;
        else
            report = std::string("not the outputs (") + first + " refused them)";
    } else {
        report = "not the outputs (the server has no playback ports)";
    }
    jack_free(playback);
    const int sources = connectMidiSources();
    return "connected " + report + ", and " + std::to_string(sources) + " MIDI source" + (sources == 1 ? "" : "s") +
           " to the input";
}

bool JackSession::connectNewMidiSources()
{
    if (!portsAppeared_.exchange(false))
        return false;
    return connectMidiSources() > 0;
}

int JackSession::connectMidiSources()
{
    int connected = 0;
    const char** sources = jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
    for (int i = 0; sources != nullptr && sources[i] != nullptr; ++i) {
        jack_port_t* port = jack_port_by_name(client_, sources[i]);
        if (port == nullptr || jack_port_is_mine(client_, port) || jack_port_connected_to(midiIn_, sources[i]))
            continue;
        if (jack_connect(client_, sources[i], jack_port_name(midiIn_)) == 0)
            ++connected;
    }
    jack_free(sources);
    return connected;
}
