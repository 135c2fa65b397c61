#include "standalone/Options.h"

#include <stdexcept>

const char* const kUsage = "usage: tarvel [--load FILE.fxb|FILE.fxp] [--connect]\n"
                           "       tarvel --help | --version\n"
                           "\n"
                           "Plays the Tarvel synthesizer on a running JACK server, with its editor in a\n"
                           "window: a stereo output (out_left, out_right) and a MIDI input (midi_in).\n"
                           "A MIDI program change chooses one of the 32 programs.\n"
                           "\n"
                           "options:\n"
                           "  --load FILE   load a bank (.fxb, all 32 programs) or a program (.fxp, into\n"
                           "                the current program) at start; the plug-in's raw bank or\n"
                           "                program chunk is accepted too\n"
                           "  --connect     connect the outputs to the system's playback ports and every\n"
                           "                MIDI source to the input, also sources that appear later\n"
                           "  --help        show this text\n"
                           "  --version     show the version\n"
                           "\n"
                           "The bank and the current program are kept between runs in\n"
                           "$XDG_CONFIG_HOME/tarvel/state.fxb (~/.config/tarvel/state.fxb), a bank file\n"
                           "that VST 2.4 hosts load too. The first run starts with the factory bank.\n"
                           "Close the window or press Ctrl-C to quit.\n";

Options parseOptions(int argc, const char* const* argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool inlineValue = false;
        if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            value = arg.substr(arg.find('=') + 1);
            arg.resize(arg.find('='));
            inlineValue = true;
        }
        if (arg == "--load") {
            if (!inlineValue) {
                if (i + 1 >= argc)
                    throw std::invalid_argument("--load needs a file");
                value = argv[++i];
            }
            if (value.empty())
                throw std::invalid_argument("--load needs a file");
            if (!options.load.empty())
                throw std::invalid_argument("--load can be given once");
            options.load = value;
        } else if (inlineValue) {
            throw std::invalid_argument(arg + " takes no value");
        } else if (arg == "--connect") {
            options.connect = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else {
            throw std::invalid_argument((arg.rfind('-', 0) == 0 ? "unknown option " : "unexpected argument ") + arg);
        }
    }
    return options;
}
