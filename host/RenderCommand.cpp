// tarvel-host render: plays a Standard MIDI File through the plug-in into an
// audio file, with a progress bar on a terminal, and fails when the plug-in
// put out anything that is not a number.

#include "host/RenderCommand.h"

#include "host/AudioFileSink.h"
#include "host/CommandLine.h"
#include "host/MidiFile.h"
#include "host/ParameterMatch.h"
#include "host/Plugin.h"
#include "host/Presets.h"
#include "host/Renderer.h"
#include "host/Schedule.h"
#include "host/TempoMap.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

using namespace TarvelHost;

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int)
{
    interrupted = 1;
}

// Songs longer than this are refused instead of rendering for hours.
constexpr double kMaxSongSeconds = 4 * 3600.0;

struct RenderOptions {
    std::string plugin, song, output, load, save;
    std::vector<std::string> sets;
    RenderSettings settings;
    SampleFormat format = SampleFormat::Pcm24;
    int program = -1;
    bool quiet = false;
};

RenderOptions parseRender(int argc, char** argv)
{
    RenderOptions o;
    OptionReader args(argc, argv, true);
    while (args.next()) {
        if (args.is("-o", "--output"))
            o.output = args.value();
        else if (args.is("--format"))
            o.format = AudioFileSink::parseFormat(args.value());
        else if (args.is("--rate"))
            o.settings.sampleRate = static_cast<int>(parseInteger(args.option(), args.value(), 8000, 384000));
        else if (args.is("--block"))
            o.settings.blockSize = static_cast<int>(parseInteger(args.option(), args.value(), 1, 8192));
        else if (args.is("--tail"))
            o.settings.tailSeconds = parseNumber(args.option(), args.value(), 0.0, 3600.0);
        else if (args.is("--max-tail"))
            o.settings.maxTailSeconds = parseNumber(args.option(), args.value(), 0.0, 3600.0);
        else if (args.is("--program"))
            o.program = static_cast<int>(parseInteger(args.option(), args.value(), 0, 1 << 20));
        else if (args.is("--set"))
            o.sets.push_back(args.value());
        else if (args.is("--load"))
            o.load = args.value();
        else if (args.is("--save"))
            o.save = args.value();
        else if (args.is("--quiet", "-q"))
            o.quiet = true;
        else
            args.positional();
    }
    if (args.positionals().size() != 2)
        throw UsageError("render needs a plug-in and a MIDI file");
    if (o.output.empty())
        throw UsageError("render needs an output file: -o OUT.wav");
    o.plugin = args.positionals()[0];
    o.song = args.positionals()[1];
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
            const int filled = std::clamp(static_cast<int>(fraction * kWidth), 0, kWidth);
            std::string bar(static_cast<std::size_t>(filled), '#');
            bar += std::string(static_cast<std::size_t>(kWidth - filled), '-');
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
        float value =
            static_cast<float>(parseNumber("--set " + assignment.substr(0, eq), assignment.substr(eq + 1), -1e6, 1e6));
        if (value < 0.0f || value > 1.0f)
            throw UsageError("--set " + assignment + ": parameter values are normalised, from 0 to 1");
        plugin.setParameter(index, value);
        if (!o.quiet)
            std::fprintf(stderr, "set %s (%d) = %g [%s %s]\n", names[static_cast<std::size_t>(index)].c_str(), index,
                         static_cast<double>(value), plugin.paramDisplay(index).c_str(),
                         plugin.paramLabel(index).c_str());
    }
}

} // namespace

const char* renderUsage()
{
    return "\n"
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
           "                      \"vqps\"/\"vqbk\"); anything else is refused\n"
           "  --save FILE         after rendering, save the current program (.fxp) or the\n"
           "                      whole bank (.fxb)\n"
           "  --quiet             no progress and no summary\n"
           "\n"
           "Applied in this order: --load, --program, --set.\n";
}

int runRenderCommand(int argc, char** argv)
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
    Progress progress(o.quiet, static_cast<double>(schedule.endFrame()) / o.settings.sampleRate, o.settings.sampleRate);
    RenderResult result = render(*plugin, tempo, schedule, o.settings, sink,
                                 [&](double fraction, int64_t frames) { progress(fraction, frames); });
    progress.finish(result.interrupted ? static_cast<double>(std::min(result.frames, result.songFrames)) /
                                             static_cast<double>(std::max<int64_t>(1, result.songFrames))
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
            std::snprintf(peak, sizeof peak, "%.1f dBFS", 20.0 * static_cast<double>(std::log10(result.peak)));
        else
            std::snprintf(peak, sizeof peak, "-inf dBFS (silent)");
        double speed = result.wallSeconds > 0.0 ? rendered / result.wallSeconds : 0.0;
        std::fprintf(stderr, "rendered %s (song %s + tail %s) to %s, peak %s, %.1fx real time\n",
                     formatDuration(rendered).c_str(), formatDuration(songPart).c_str(),
                     formatDuration(rendered - songPart).c_str(), o.output.c_str(), peak, speed);
    }
    if (result.nonFinite > 0) {
        // Written as silence, but a render with holes in it is no success.
        std::fprintf(stderr,
                     "tarvel-host: error: the plug-in put out %lld non-finite samples (NaN or infinity), the first "
                     "at %s (frame %lld); %s holds silence in their place\n",
                     static_cast<long long>(result.nonFinite),
                     formatDuration(static_cast<double>(result.firstNonFiniteFrame) / o.settings.sampleRate).c_str(),
                     static_cast<long long>(result.firstNonFiniteFrame), o.output.c_str());
        return 1;
    }
    return 0;
}
