// tarvel-host: renders a Standard MIDI File through a VST 2.4 instrument to
// an audio file, or lists what a plug-in offers, the way a sequencer's
// plug-in scanner sees it.

#include "host/AudioFileSink.h"
#ifdef TARVEL_HOST_AUDITION
#include "host/AuditionCommand.h"
#endif
#ifdef TARVEL_HOST_EDITOR
#include "host/EditorCommand.h"
#endif
#include "host/HostError.h"
#include "host/MidiFile.h"
#include "host/ParameterMatch.h"
#include "host/Plugin.h"
#include "host/Presets.h"
#include "host/Renderer.h"
#include "host/Schedule.h"
#include "host/TempoMap.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

using namespace TarvelHost;

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) { interrupted = 1; }

// Songs longer than this are refused instead of rendering for hours.
constexpr double kMaxSongSeconds = 4 * 3600.0;

const char* const kUsage =
    "usage:\n"
    "  tarvel-host render [options] PLUGIN.so SONG.mid -o OUT.wav\n"
    "  tarvel-host info PLUGIN.so\n"
    "  tarvel-host editor PLUGIN.so [--screenshot FILE.png --after MS]\n"
    "\n"
    "editor opens the plug-in's editor in a window, idles it at 60 Hz and renders\n"
    "audio to nowhere so that knobs follow the sound; with --screenshot it writes\n"
    "a PNG of the window after MS milliseconds and exits.\n"
    "\n"
    "render plays a Standard MIDI File (format 0 or 1) through a VST 2.4 instrument\n"
    "and writes its first two outputs as a stereo WAV or FLAC file (by extension).\n"
    "\n"
    "options:\n"
    "  -o, --output FILE   the audio file to write (.wav or .flac)\n"
    "  --format F          sample format: 16, 24 (default) or float (WAV only)\n"
    "  --rate HZ           sample rate (default 44100)\n"
    "  --block N           block size in frames, 1 to 8192 (default 512)\n"
    "  --tail SECONDS      after the song, render until the output has been silent\n"
    "                      (below -90 dBFS) this long (default 2); never more than\n"
    "                      --max-tail seconds after the song (default 60)\n"
    "  --program N         switch to program N before rendering\n"
    "  --set NAME=VALUE    set a parameter to a normalised value (0..1); repeatable.\n"
    "                      NAME is the name the plug-in reports (see info). Plug-ins\n"
    "                      report at most 8 characters, so a unique prefix match is\n"
    "                      accepted either way round: FilterCutoff and FilterC both\n"
    "                      find \"FilterCu\". A number selects by index.\n"
    "  --load FILE         load a program or bank: an .fxp/.fxb container or the\n"
    "                      plug-in's raw chunk (program or bank told by its magic\n"
    "                      \"vqps\"/\"vqbk\", otherwise by the extension .fxp/.fxb)\n"
    "  --save FILE         after rendering, save the current program (.fxp) or the\n"
    "                      whole bank (.fxb)\n"
    "  --quiet             no progress and no summary\n"
    "\n"
    "Applied in this order: --load, --program, --set.\n";

struct UsageError : HostError {
    using HostError::HostError;
};

struct RenderOptions {
    std::string plugin, song, output, load, save;
    std::vector<std::string> sets;
    RenderSettings settings;
    SampleFormat format = SampleFormat::Pcm24;
    int program = -1;
    bool quiet = false;
};

long parseInteger(const std::string& option, const std::string& text, long low, long high)
{
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || errno != 0 || v < low || v > high)
        throw UsageError(option + " needs a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not \"" + text + "\"");
    return v;
}

double parseNumber(const std::string& option, const std::string& text, double low, double high)
{
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != 0 || errno != 0 || !std::isfinite(v) || v < low || v > high)
    {
        char range[64];
        std::snprintf(range, sizeof range, "%g to %g", low, high);
        throw UsageError(option + " needs a number from " + range + ", not \"" + text + "\"");
    }
    return v;
}

RenderOptions parseRender(int argc, char** argv)
{
    RenderOptions o;
    std::vector<std::string> positional;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool inlineValue = false;
        if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos && arg.rfind("--set", 0) != 0) {
            value = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
            inlineValue = true;
        } else if (arg.rfind("--set=", 0) == 0) {
            value = arg.substr(6);
            arg = "--set";
            inlineValue = true;
        }
        auto next = [&]() -> std::string {
            if (inlineValue)
                return value;
            if (i + 1 >= argc)
                throw UsageError(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "-o" || arg == "--output")
            o.output = next();
        else if (arg == "--format")
            o.format = AudioFileSink::parseFormat(next());
        else if (arg == "--rate")
            o.settings.sampleRate = static_cast<int>(parseInteger(arg, next(), 8000, 384000));
        else if (arg == "--block")
            o.settings.blockSize = static_cast<int>(parseInteger(arg, next(), 1, 8192));
        else if (arg == "--tail")
            o.settings.tailSeconds = parseNumber(arg, next(), 0.0, 3600.0);
        else if (arg == "--max-tail")
            o.settings.maxTailSeconds = parseNumber(arg, next(), 0.0, 3600.0);
        else if (arg == "--program")
            o.program = static_cast<int>(parseInteger(arg, next(), 0, 1 << 20));
        else if (arg == "--set")
            o.sets.push_back(next());
        else if (arg == "--load")
            o.load = next();
        else if (arg == "--save")
            o.save = next();
        else if (arg == "--quiet" || arg == "-q")
            o.quiet = true;
        else if (arg.size() > 1 && arg[0] == '-')
            throw UsageError("unknown option " + arg);
        else
            positional.push_back(arg);
    }
    if (positional.size() != 2)
        throw UsageError("render needs a plug-in and a MIDI file");
    if (o.output.empty())
        throw UsageError("render needs an output file: -o OUT.wav");
    o.plugin = positional[0];
    o.song = positional[1];
    if (o.settings.tailSeconds > o.settings.maxTailSeconds)
        o.settings.maxTailSeconds = o.settings.tailSeconds;
    return o;
}

std::string formatDuration(double seconds)
{
    char text[64];
    if (seconds >= 60.0)
        std::snprintf(text, sizeof text, "%d:%05.2f", static_cast<int>(seconds / 60), std::fmod(seconds, 60.0));
    else
        std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
}

class Progress {
public:
    Progress(bool quiet, double songSeconds, int rate)
        : quiet_(quiet), terminal_(isatty(STDERR_FILENO) == 1), songSeconds_(songSeconds), rate_(rate)
    {
    }
    void operator()(double fraction, int64_t frames)
    {
        if (quiet_)
            return;
        double seconds = static_cast<double>(frames) / rate_;
        int percent = static_cast<int>(fraction * 100.0);
        if (terminal_) {
            // A fast render would otherwise redraw the bar thousands of times a second.
            auto now = std::chrono::steady_clock::now();
            if (drawn_ && now - lastDraw_ < std::chrono::milliseconds(50))
                return;
            lastDraw_ = now;
            constexpr int kWidth = 30;
            int filled = static_cast<int>(fraction * kWidth);
            std::string bar(filled, '#');
            bar += std::string(kWidth - filled, '-');
            if (seconds > songSeconds_)
                std::fprintf(stderr, "\r%3d%% [%s] tail %s      ", percent, bar.c_str(),
                             formatDuration(seconds - songSeconds_).c_str());
            else
                std::fprintf(stderr, "\r%3d%% [%s] %s / %s ", percent, bar.c_str(), formatDuration(seconds).c_str(),
                             formatDuration(songSeconds_).c_str());
            std::fflush(stderr);
            drawn_ = true;
        } else if (percent >= nextLine_ && nextLine_ <= 100) {
            std::fprintf(stderr, "rendering: %d%%\n", percent);
            nextLine_ = percent / 10 * 10 + 10;
        }
    }
    void finish(double fraction, int64_t frames)
    {
        // The last state is always shown, however soon after the previous one.
        if (drawn_) {
            drawn_ = false;
            (*this)(fraction, frames);
        }
        if (drawn_)
            std::fprintf(stderr, "\n");
        drawn_ = false;
    }

private:
    bool quiet_;
    bool terminal_;
    double songSeconds_;
    int rate_;
    bool drawn_ = false;
    int nextLine_ = 0;
    std::chrono::steady_clock::time_point lastDraw_;
};

void applySettings(Plugin& plugin, const RenderOptions& o)
{
    if (!o.load.empty()) {
        std::string what = loadPreset(plugin, o.load);
        if (!o.quiet)
            std::fprintf(stderr, "loaded %s from %s\n", what.c_str(), o.load.c_str());
    }
    if (o.program >= 0) {
        if (o.program >= plugin.numPrograms())
            throw HostError("--program " + std::to_string(o.program) + " out of range: the plug-in has " +
                            std::to_string(plugin.numPrograms()) + " programs (0 to " +
                            std::to_string(plugin.numPrograms() - 1) + ")");
        plugin.setProgram(o.program);
    }
    if (o.sets.empty())
        return;
    std::vector<std::string> names;
    for (int i = 0; i < plugin.numParams(); ++i)
        names.push_back(plugin.paramName(i));
    for (const std::string& assignment : o.sets) {
        std::size_t eq = assignment.find('=');
        if (eq == std::string::npos)
            throw UsageError("--set needs NAME=VALUE, not \"" + assignment + "\"");
        int index = matchParameter(names, assignment.substr(0, eq));
        float value = static_cast<float>(parseNumber("--set " + assignment.substr(0, eq), assignment.substr(eq + 1),
                                                     -1e6, 1e6));
        if (value < 0.0f || value > 1.0f)
            throw UsageError("--set " + assignment + ": parameter values are normalised, from 0 to 1");
        plugin.setParameter(index, value);
        if (!o.quiet)
            std::fprintf(stderr, "set %s (%d) = %g [%s %s]\n", names[index].c_str(), index, value,
                         plugin.paramDisplay(index).c_str(), plugin.paramLabel(index).c_str());
    }
}

int runRender(int argc, char** argv)
{
    RenderOptions o = parseRender(argc, argv);
    // Ctrl-C ends the render early but still closes the file properly, so
    // what was rendered stays playable.
    o.settings.interrupt = &interrupted;
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    MidiFile song = MidiFile::load(o.song);
    TempoMap tempo(song, o.settings.sampleRate);
    double songSeconds = tempo.secondsAtTick(song.lengthTicks);
    if (songSeconds > kMaxSongSeconds)
        throw HostError(o.song + ": the song lasts " + formatDuration(songSeconds) + ", longer than the limit of " +
                        formatDuration(kMaxSongSeconds));
    Schedule schedule(song, tempo);
    if (!o.save.empty())
        checkPresetPath(o.save);

    std::unique_ptr<Plugin> plugin = Plugin::load(o.plugin);
    plugin->start(o.settings.sampleRate, o.settings.blockSize);
    applySettings(*plugin, o);

    AudioFileSink sink(o.output, o.settings.sampleRate, o.format);
    Progress progress(o.quiet, static_cast<double>(schedule.endFrame()) / o.settings.sampleRate,
                      o.settings.sampleRate);
    RenderResult result = render(*plugin, tempo, schedule, o.settings, sink,
                                 [&](double fraction, int64_t frames) { progress(fraction, frames); });
    progress.finish(result.interrupted ? static_cast<double>(std::min(result.frames, result.songFrames)) /
                                             std::max<int64_t>(1, result.songFrames)
                                       : 1.0,
                    result.frames);
    sink.close();
    if (result.interrupted) {
        std::fprintf(stderr, "tarvel-host: interrupted: %s holds the first %s\n", o.output.c_str(),
                     formatDuration(static_cast<double>(result.frames) / o.settings.sampleRate).c_str());
        return 130;
    }

    if (!o.save.empty()) {
        std::string what = savePreset(*plugin, o.save);
        if (!o.quiet)
            std::fprintf(stderr, "saved %s to %s\n", what.c_str(), o.save.c_str());
    }
    if (!o.quiet) {
        double rendered = static_cast<double>(result.frames) / o.settings.sampleRate;
        double songPart = static_cast<double>(std::min(result.frames, result.songFrames)) / o.settings.sampleRate;
        char peak[32];
        if (result.peak > 0.0f)
            std::snprintf(peak, sizeof peak, "%.1f dBFS", 20.0 * std::log10(result.peak));
        else
            std::snprintf(peak, sizeof peak, "-inf dBFS (silent)");
        double speed = result.wallSeconds > 0.0 ? rendered / result.wallSeconds : 0.0;
        std::fprintf(stderr, "rendered %s (song %s + tail %s) to %s, peak %s, %.1fx real time\n",
                     formatDuration(rendered).c_str(), formatDuration(songPart).c_str(),
                     formatDuration(rendered - songPart).c_str(), o.output.c_str(), peak, speed);
    }
    return 0;
}

std::string fourCC(int32_t id)
{
    std::string s;
    for (int i = 0; i < 4; ++i) {
        char c = static_cast<char>(uint32_t(id) >> (24 - 8 * i));
        s += (c >= 32 && c <= 126) ? c : '.';
    }
    return s;
}

int runInfo(int argc, char** argv)
{
    if (argc != 3)
        throw UsageError("info needs exactly one plug-in");
    std::unique_ptr<Plugin> plugin = Plugin::load(argv[2]);
    AEffect* e = plugin->effect();
    std::printf("plug-in:     %s\n", plugin->path().c_str());
    auto orNone = [](const std::string& s) { return s.empty() ? std::string("(not given)") : s; };
    std::printf("name:        %s\n", orNone(plugin->effectName()).c_str());
    std::printf("vendor:      %s\n", orNone(plugin->vendorString()).c_str());
    std::printf("product:     %s\n", orNone(plugin->productString()).c_str());
    std::printf("unique ID:   '%s' (0x%08x)\n", fourCC(e->uniqueID).c_str(), static_cast<uint32_t>(e->uniqueID));
    std::printf("version:     %d (vendor version %ld)\n", e->version,
                static_cast<long>(plugin->dispatch(effGetVendorVersion)));
    std::printf("VST version: %ld\n", static_cast<long>(plugin->dispatch(effGetVstVersion)));
    VstIntPtr category = plugin->dispatch(effGetPlugCategory);
    std::printf("category:    %ld%s\n", static_cast<long>(category),
                category == kPlugCategSynth ? " (instrument)" : category == kPlugCategEffect ? " (effect)" : "");
    std::string flags;
    struct Flag {
        int bit;
        const char* name;
    };
    static const Flag known[] = {{effFlagsHasEditor, "HasEditor"},         {effFlagsCanReplacing, "CanReplacing"},
                                 {effFlagsProgramChunks, "ProgramChunks"}, {effFlagsIsSynth, "IsSynth"},
                                 {effFlagsNoSoundInStop, "NoSoundInStop"},
                                 {effFlagsCanDoubleReplacing, "CanDoubleReplacing"}};
    for (const Flag& f : known)
        if (e->flags & f.bit)
            flags += std::string(flags.empty() ? "" : " ") + f.name;
    std::printf("flags:       0x%x %s\n", static_cast<unsigned>(e->flags), flags.c_str());
    std::printf("audio:       %d inputs, %d outputs, latency %d samples\n", e->numInputs, e->numOutputs,
                e->initialDelay);
    static const char* const canDos[] = {"receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo",
                                         "sendVstEvents", "sendVstMidiEvent", "midiProgramNames", "bypass"};
    std::printf("can do:     ");
    for (const char* what : canDos) {
        VstIntPtr answer = plugin->dispatch(effCanDo, 0, 0, const_cast<char*>(what));
        std::printf(" %s=%s", what, answer > 0 ? "yes" : answer < 0 ? "no" : "?");
    }
    std::printf("\n");
    std::printf("\nparameters (%d):\n", e->numParams);
    for (int i = 0; i < e->numParams; ++i) {
        std::string display = plugin->paramDisplay(i);
        std::string label = plugin->paramLabel(i);
        std::printf("  %3d  %-8s  %-12s %-6s (%.4f)\n", i, plugin->paramName(i).c_str(), display.c_str(),
                    label.c_str(), plugin->getParameter(i));
    }
    std::printf("\nprograms (%d, current %d):\n", e->numPrograms, plugin->currentProgram());
    for (int i = 0; i < e->numPrograms; ++i)
        std::printf("  %3d  %s\n", i, plugin->programName(i).c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string command = argc > 1 ? argv[1] : "";
    try {
        if (command == "render")
            return runRender(argc, argv);
        if (command == "info")
            return runInfo(argc, argv);
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
