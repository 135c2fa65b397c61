// tarvel-host: renders a Standard MIDI File through a VST 2.4 instrument to
// an audio file, or lists what a plug-in offers, the way a sequencer's
// plug-in scanner sees it. Each command lives in a file of its own; this
// one picks the command and turns errors into one line and an exit status.

#ifdef TARVEL_HOST_AUDITION
#include "host/AuditionCommand.h"
#endif
#include "host/CommandLine.h"
#ifdef TARVEL_HOST_EDITOR
#include "host/EditorCommand.h"
#endif
#include "host/InfoCommand.h"
#include "host/RenderCommand.h"

#include <cstdio>
#include <exception>
#include <string>

using namespace TarvelHost;

namespace {

const char* const kUsage = "usage:\n"
                           "  tarvel-host render [options] PLUGIN.so SONG.mid -o OUT.wav\n"
                           "  tarvel-host info PLUGIN.so\n"
                           "  tarvel-host editor PLUGIN.so [--screenshot FILE.png --after MS]\n"
                           "\n"
                           "editor opens the plug-in's editor in a window, idles it at 60 Hz and renders\n"
                           "audio to nowhere so that knobs follow the sound; with --screenshot it writes\n"
                           "a PNG of the window after MS milliseconds and exits.\n";

} // namespace

int main(int argc, char** argv)
{
    std::string command = argc > 1 ? argv[1] : "";
    try {
        if (command == "render")
            return runRenderCommand(argc - 2, argv + 2);
        if (command == "info")
            return runInfoCommand(argc - 2, argv + 2);
#ifdef TARVEL_HOST_EDITOR
        if (command == "editor")
            return runEditorCommand(argc - 2, argv + 2);
#endif
#ifdef TARVEL_HOST_AUDITION
        if (command == "audition")
            return runAuditionCommand(argc - 2, argv + 2);
#endif
        if (command == "--help" || command == "-h" || command == "help") {
            std::fputs(kUsage, stdout);
            std::fputs(renderUsage(), stdout);
#ifdef TARVEL_HOST_AUDITION
            std::fputs(auditionUsage(), stdout);
#endif
            return 0;
        }
        throw UsageError(command.empty() ? "no command given" : "unknown command \"" + command + "\"");
    } catch (const UsageError& e) {
        std::fprintf(stderr, "tarvel-host: %s (see tarvel-host --help)\n", e.what());
        return 2;
    } catch (const HostError& e) {
        std::fprintf(stderr, "tarvel-host: error: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarvel-host: error: %s\n", e.what());
        return 1;
    } catch (...) {
        std::fprintf(stderr, "tarvel-host: error: the plug-in threw an unknown exception\n");
        return 1;
    }
}
