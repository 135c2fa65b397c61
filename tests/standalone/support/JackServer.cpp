#include "support/JackServer.h"

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#include <unistd.h>

namespace {

void quiet(const char*)
{
}

} // namespace

std::string JackServer::unusedName()
{
    static std::atomic<int> count{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return "tarvel-test-" + std::to_string(getpid()) + "-" + std::to_string(count++) + "-" +
           std::to_string(now % 1000000);
}

JackServer::JackServer(const std::string& logFolder, int sampleRate, int period) : name_(unusedName())
{
    // libjack reports every failed attempt while the server comes up.
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    process_ = std::make_unique<ChildProcess>(std::vector<std::string>{"jackd", "--no-realtime", "--name", name_, "-d",
                                                                       "dummy", "--rate", std::to_string(sampleRate),
                                                                       "--period", std::to_string(period)},
                                              std::vector<std::string>{}, logFolder + "/jackd-" + name_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (process_->running() && std::chrono::steady_clock::now() < deadline) {
        jack_status_t status{};
        jack_client_t* client = jack_client_open(
            "ready", static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status, name_.c_str());
        if (client != nullptr) {
            // Kept until the server stops: a client that quits just as the
            // next one registers can make the server fail that registration.
            watcher_ = client;
            ready_ = true;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

JackServer::~JackServer()
{
    if (watcher_ != nullptr)
        jack_client_close(static_cast<jack_client_t*>(watcher_));
    process_->signal(SIGTERM);
    if (!process_->wait(std::chrono::milliseconds(3000)))
        process_->signal(SIGKILL);
    process_->wait(std::chrono::milliseconds(3000));
}
