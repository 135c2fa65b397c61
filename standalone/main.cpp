// tarvel: the synthesizer as an application of its own. The engine plays on
// a running JACK server (which is also how PipeWire desktops offer
// low-latency audio), its editor in a window; the bank and the current
// program are kept between runs.

#include "formats/HostedSynth.h"
#include "host/HostError.h"
#include "plugin/Synth.h"
#include "standalone/EditorWindow.h"
#include "standalone/JackSession.h"
#include "standalone/LiveSynth.h"
#include "standalone/MessageWindow.h"
#include "standalone/Options.h"
#include "standalone/StateFile.h"
#include "standalone/StateKeeper.h"
#include "standalone/SynthTarget.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t quitRequested = 0;

void requestQuit(int)
{
    quitRequested = 1;
}

// Ctrl-C, a kill and a closed terminal all end the application the same
// clean way, with the state saved. A file grown past the process's size
// limit is an error of the write (the state is kept), not a reason to die.
void installSignalHandlers()
{
    struct sigaction action {};
    action.sa_handler = requestQuit;
    // The JACK library's and Xlib's calls under way carry on undisturbed.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    std::signal(SIGXFSZ, SIG_IGN);
}

constexpr auto kIdlePeriod = std::chrono::milliseconds(16);
constexpr auto kSavePeriod = std::chrono::seconds(5);

std::string windowTitle(HostedSynth& synth)
{
    char name[kVstMaxProgNameLen + 1] = {};
    const int program = synth.currentProgram();
    synth.synth().getProgramNameIndexed(0, program, name);
    return "Tarvel - " + std::to_string(program) + " " + name;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    try {
        options = parseOptions(argc, argv);
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "tarvel: %s\n\n%s", e.what(), kUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("tarvel %s\n", TARVEL_VERSION);
        return 0;
    }
    std::string error;
    std::unique_ptr<JackSession> jack = JackSession::open("Tarvel", error);
    if (!jack) {
        std::fprintf(stderr, "tarvel: %s\n", error.c_str());
        // Started from the desktop's menu, nobody reads that: say it in a
        // window (which a signal still ends: nothing is kept yet).
        if (isatty(STDERR_FILENO) == 0)
            showMessageWindow("Tarvel", "Tarvel cannot start: " + error);
        return 1;
    }
    installSignalHandlers();

    HostedSynth synth;
    synth.setSampleRate(jack->sampleRate());
    synth.setBlockSize(jack->blockSize());
    StateFile state(StateFile::defaultPath());
    StateKeeper keeper(state, synth);
    keeper.restore();
    if (!options.load.empty()) {
        try {
            SynthTarget target(synth);
            const std::string what = TarvelHost::loadPreset(target, options.load);
            std::fprintf(stderr, "tarvel: loaded %s from %s\n", what.c_str(), options.load.c_str());
        } catch (const TarvelHost::HostError& e) {
            std::fprintf(stderr, "tarvel: %s\n", e.what());
            return 1;
        }
    }

    LiveSynth live(synth);
    synth.activate();
    if (!jack->start(synth, live, error)) {
        std::fprintf(stderr, "tarvel: %s\n", error.c_str());
        jack.reset();
        synth.deactivate();
        return 1;
    }
    if (options.connect)
        std::fprintf(stderr, "tarvel: %s\n", jack->connectEverything().c_str());

    std::string title = windowTitle(synth);
    EditorWindow window;
    const bool windowed = window.open(synth.editor(), title, error);
    if (!windowed)
        std::fprintf(stderr, "tarvel: %s: playing without the editor (Ctrl-C quits)\n", error.c_str());

    int status = 0;
    auto nextSave = std::chrono::steady_clock::now() + kSavePeriod;
    while (quitRequested == 0) {
        if (jack->serverGone()) {
            std::fprintf(stderr, "tarvel: the JACK server has stopped\n");
            status = 1;
            break;
        }
        if (windowed && !window.idle())
            break;
        const int program = live.takeProgramChange();
        if (program >= 0)
            synth.chooseProgram(program);
        if (windowed) {
            const std::string now = windowTitle(synth);
            if (now != title)
                window.setTitle(title = now);
        }
        if (options.connect)
            jack->connectNewMidiSources();
        // Saved now and then as well as at the end, so that a crash or a
        // power cut costs at most the last few seconds of work.
        if (std::chrono::steady_clock::now() >= nextSave) {
            keeper.save();
            nextSave = std::chrono::steady_clock::now() + kSavePeriod;
        }
        std::this_thread::sleep_for(kIdlePeriod);
    }

    window.close();
    jack->stop();
    synth.deactivate();
    jack.reset();
    if (!keeper.save())
        status = 1;
    return status;
}
