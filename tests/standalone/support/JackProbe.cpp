#include "support/JackProbe.h"
#include "pitch.h"

#include <jack/midiport.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <thread>

namespace {

// -60 dBFS: what counts as silence between takes.
constexpr float kQuiet = 0.001f;

// The ports of `client` of a type and direction (jack_get_ports matches a
// regular expression on the full name).
std::vector<std::string> portsOf(jack_client_t* self, const std::string& client, const char* type, unsigned long flags)
{
    std::string pattern = "^";
    for (char c : client) {
        if (std::strchr(".[]()*+?^$|\\{}", c) != nullptr)
            pattern += '\\';
        pattern += c;
    }
    pattern += ':';
    std::vector<std::string> names;
    const char** ports = jack_get_ports(self, pattern.c_str(), type, flags);
    for (int i = 0; ports != nullptr && ports[i] != nullptr; ++i)
        names.emplace_back(ports[i]);
    jack_free(ports);
    return names;
}

} // namespace

JackProbe::JackProbe(const std::string& server, const char* name)
{
    // The server may fail a registration while it takes leave of a client
    // that just quit; a moment later it succeeds.
    for (int attempt = 0; attempt < 5 && client_ == nullptr; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        jack_status_t status{};
        client_ = jack_client_open(name, static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status,
                                   server.c_str());
    }
    if (client_ == nullptr)
        return;
    rate_ = jack_get_sample_rate(client_);
    midiOut_ = jack_port_register(client_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    in_[0] = jack_port_register(client_, "in_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    in_[1] = jack_port_register(client_, "in_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    if (midiOut_ == nullptr || in_[0] == nullptr || in_[1] == nullptr ||
        jack_set_process_callback(client_, &JackProbe::process, this) != 0 || jack_activate(client_) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
    }
}

JackProbe::~JackProbe()
{
    if (client_ != nullptr) {
        jack_deactivate(client_);
        jack_client_close(client_);
    }
}

bool JackProbe::connectTo(const std::string& client, std::chrono::milliseconds limit)
{
    // The ports appear before their client is active, and an inactive
    // client's ports cannot be connected yet: try until both succeed.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (client_ != nullptr && std::chrono::steady_clock::now() < deadline) {
        const std::vector<std::string> midi = portsOf(client_, client, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
        const std::vector<std::string> audio = portsOf(client_, client, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
        if (!midi.empty() && audio.size() >= 2) {
            bool joined = true;
            const auto join = [&](const std::string& from, const char* to) {
                const int result = jack_connect(client_, from.c_str(), to);
                joined = joined && (result == 0 || result == EEXIST);
            };
            join(jack_port_name(midiOut_), midi[0].c_str());
            join(audio[0], jack_port_name(in_[0]));
            join(audio[1], jack_port_name(in_[1]));
            if (joined)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

JackProbe::Take JackProbe::play(int note, int program, std::chrono::milliseconds limit)
{
    Take take;
    if (client_ == nullptr)
        return take;
    note_ = note;
    program_ = program;
    noteOn_ = rate_ / 5;
    noteOff_ = noteOn_ + rate_ * 4 / 5;
    frames_ = noteOff_ + rate_ * 3 / 10;
    for (auto& channel : record_)
        channel.assign(frames_, 0.0f);
    position_.store(0);
    // The last take's tail (a program's echo) must not sound under this one.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (quietFrames_.load() < rate_ / 10 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    armed_.store(true);
    while (position_.load() < frames_ && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    armed_.store(false);
    take.left = record_[0];
    take.right = record_[1];
    take.complete = position_.load() >= frames_;
    if (!take.complete)
        return take;

    const uint32_t from = noteOn_ + rate_ / 20, to = noteOff_;
    double sum = 0.0;
    for (uint32_t i = from; i < to; ++i)
        for (const auto& channel : record_)
            sum += static_cast<double>(channel[i]) * static_cast<double>(channel[i]);
    take.rms = std::sqrt(sum / (2.0 * static_cast<double>(to - from)));
    for (uint32_t i = 0; i < noteOn_; ++i)
        for (const auto& channel : record_)
            take.leadInPeak = std::max(take.leadInPeak, std::fabs(static_cast<double>(channel[i])));
    take.pitchHz = estimate_pitch(record_[0].data() + from, to - from, rate_);
    return take;
}

int JackProbe::process(jack_nframes_t frames, void* arg)
{
    auto* self = static_cast<JackProbe*>(arg);
    void* midi = jack_port_get_buffer(self->midiOut_, frames);
    jack_midi_clear_buffer(midi);
    const float* in[2] = {static_cast<const float*>(jack_port_get_buffer(self->in_[0], frames)),
                          static_cast<const float*>(jack_port_get_buffer(self->in_[1], frames))};
    if (!self->armed_.load()) {
        uint32_t quiet = self->quietFrames_.load();
        for (uint32_t i = 0; i < frames; ++i)
            quiet = std::fabs(in[0][i]) < kQuiet && std::fabs(in[1][i]) < kQuiet ? quiet + 1 : 0;
        self->quietFrames_.store(quiet);
        return 0;
    }
    self->quietFrames_.store(0);
    const uint32_t at = self->position_.load();
    if (at >= self->frames_)
        return 0;
    const uint32_t end = at + frames;
    // In time order: the program change, the note's start, its end.
    if (self->program_ >= 0 && at == 0) {
        const jack_midi_data_t change[2] = {0xC0, static_cast<jack_midi_data_t>(self->program_)};
        jack_midi_event_write(midi, 0, change, 2);
    }
    if (self->noteOn_ >= at && self->noteOn_ < end) {
        const jack_midi_data_t on[3] = {0x90, static_cast<jack_midi_data_t>(self->note_), 100};
        jack_midi_event_write(midi, self->noteOn_ - at, on, 3);
    }
    if (self->noteOff_ >= at && self->noteOff_ < end) {
        const jack_midi_data_t off[3] = {0x80, static_cast<jack_midi_data_t>(self->note_), 0};
        jack_midi_event_write(midi, self->noteOff_ - at, off, 3);
    }
    const uint32_t n = std::min(frames, self->frames_ - at);
    for (int c = 0; c < 2; ++c)
        std::memcpy(self->record_[c].data() + at, in[c], n * sizeof(float));
    self->position_.store(at + n);
    return 0;
}

std::vector<std::string> JackProbe::connections(const std::string& port) const
{
    std::vector<std::string> names;
    jack_port_t* p = jack_port_by_name(client_, port.c_str());
    const char** connected = p != nullptr ? jack_port_get_all_connections(client_, p) : nullptr;
    for (int i = 0; connected != nullptr && connected[i] != nullptr; ++i)
        names.emplace_back(connected[i]);
    jack_free(connected);
    return names;
}

std::string JackProbe::addMidiSource(const char* shortName)
{
    jack_port_t* port = jack_port_register(client_, shortName, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    return port != nullptr ? jack_port_name(port) : "";
}

std::string JackProbe::midiOutputName() const
{
    return jack_port_name(midiOut_);
}
