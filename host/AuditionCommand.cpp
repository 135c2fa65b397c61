#include "host/AuditionCommand.h"

#include "host/AudioFileSink.h"
#include "host/CommandLine.h"
#include "host/HostError.h"
#include "host/Loudness.h"
#include "host/Plugin.h"
#include "host/Presets.h"
#include "host/ReferencePhrase.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace TarvelHost;

namespace {

struct Options {
    std::string plugin, output, splitDir, load, programs;
    double gapSeconds = 1.0;
    RenderSettings settings;
    SampleFormat format = SampleFormat::Pcm24;
    bool quiet = false;
};

int parseWhole(const std::string& option, const std::string& text, int low, int high)
{
    const double v = parseNumber(option, text, low, high);
    if (v != std::floor(v))
        throw UsageError(option + " needs a whole number, not \"" + text + "\"");
    return static_cast<int>(v);
}

Options parse(int argc, char** argv)
{
    Options o;
    // The phrase's longest echo gap: a delay can repeat up to 1.49 s later,
    // so the render ends only after a longer silence than that.
    o.settings.tailSeconds = 1.6;
    o.settings.maxTailSeconds = 30.0;
    OptionReader args(argc, argv, false);
    while (args.next()) {
        if (args.is("-o", "--output"))
            o.output = args.value();
        else if (args.is("--split"))
            o.splitDir = args.value();
        else if (args.is("--load"))
            o.load = args.value();
        else if (args.is("--programs"))
            o.programs = args.value();
        else if (args.is("--gap"))
            o.gapSeconds = parseNumber(args.option(), args.value(), 0.0, 60.0);
        else if (args.is("--format"))
            o.format = AudioFileSink::parseFormat(args.value());
        else if (args.is("--rate"))
            o.settings.sampleRate = parseWhole(args.option(), args.value(), 8000, 384000);
        else if (args.is("--block"))
            o.settings.blockSize = parseWhole(args.option(), args.value(), 1, 8192);
        else if (args.is("--max-tail"))
            o.settings.maxTailSeconds = parseNumber(args.option(), args.value(), 0.0, 3600.0);
        else if (args.is("--quiet", "-q"))
            o.quiet = true;
        else
            args.positional();
    }
    if (args.positionals().size() != 1)
        throw UsageError("audition needs one plug-in");
    if (o.output.empty() == o.splitDir.empty())
        throw UsageError("audition needs either -o OUT.wav or --split DIR");
    o.plugin = args.positionals()[0];
    return o;
}

// "0-7,12": programs 0 to 7 and 12, in the order given.
std::vector<int> selectPrograms(const std::string& list, int count)
{
    std::vector<int> programs;
    if (list.empty()) {
        for (int p = 0; p < count; ++p)
            programs.push_back(p);
        return programs;
    }
    std::size_t at = 0;
    while (at <= list.size()) {
        const std::size_t comma = std::min(list.find(',', at), list.size());
        const std::string item = list.substr(at, comma - at);
        const std::size_t dash = item.find('-');
        const int first = parseWhole("--programs", item.substr(0, dash), 0, count - 1);
        const int last =
            dash == std::string::npos ? first : parseWhole("--programs", item.substr(dash + 1), first, count - 1);
        for (int p = first; p <= last; ++p)
            programs.push_back(p);
        at = comma + 1;
    }
    return programs;
}

// A program name as a file name: characters that are awkward in paths on
// any system become underscores.
std::string fileNameFor(int program, const std::string& name, const std::string& extension)
{
    char number[16];
    std::snprintf(number, sizeof number, "%02d ", program);
    std::string safe;
    for (char c : name)
        safe += (std::isalnum(static_cast<unsigned char>(c)) || c == ' ' || c == '-' || c == '.') ? c : '_';
    while (!safe.empty() && (safe.back() == ' ' || safe.back() == '.'))
        safe.pop_back();
    return number + (safe.empty() ? std::string("program") : safe) + "." + extension;
}

std::string decibels(double value, const char* unit)
{
    char text[32];
    if (std::isfinite(value))
        std::snprintf(text, sizeof text, "%6.1f %s", value, unit);
    else
        std::snprintf(text, sizeof text, "  -inf %s", unit);
    return text;
}

// Writes frames [0, frames) of both channels, then `gap` frames of silence.
void writeRendering(AudioFileSink& sink, const PhraseRendering& r, std::size_t frames, std::size_t gap)
{
    sink.write(r.left.data(), r.right.data(), static_cast<int>(frames));
    const std::vector<float> silence(4096, 0.0f);
    for (std::size_t done = 0; done < gap;) {
        const std::size_t n = std::min(gap - done, silence.size());
        sink.write(silence.data(), silence.data(), static_cast<int>(n));
        done += n;
    }
}

int audition(const Options& o)
{
    // The bank's program count and names, from an instance set up like the
    // ones that play.
    std::vector<std::string> names;
    {
        std::unique_ptr<Plugin> plugin = Plugin::load(o.plugin);
        if (!o.load.empty())
            loadPreset(*plugin, o.load);
        for (int p = 0; p < plugin->numPrograms(); ++p)
            names.push_back(plugin->programName(p));
    }
    if (names.empty())
        throw HostError(o.plugin + " has no programs to audition");
    const std::vector<int> programs = selectPrograms(o.programs, static_cast<int>(names.size()));

    std::unique_ptr<AudioFileSink> together;
    if (!o.output.empty()) {
        together = std::make_unique<AudioFileSink>(o.output, o.settings.sampleRate, o.format);
    } else if (mkdir(o.splitDir.c_str(), 0777) != 0 && errno != EEXIST) {
        throw HostError("cannot create the folder " + o.splitDir + ": " + std::strerror(errno));
    }
    const std::string extension = o.output.empty() ? "wav" : lowerExtension(o.output);
    const auto gap = static_cast<std::size_t>(std::llround(o.gapSeconds * o.settings.sampleRate));

    if (!o.quiet)
        std::printf("  #  program                    loudness    true peak   release\n");
    std::vector<double> loudness;
    for (int p : programs) {
        // A fresh instance for every program: no echo, phase or filter state
        // of the one before colours its sound or its measurement.
        std::unique_ptr<Plugin> plugin = Plugin::load(o.plugin);
        plugin->start(o.settings.sampleRate, o.settings.blockSize);
        if (!o.load.empty())
            loadPreset(*plugin, o.load);
        plugin->setProgram(p);
        const PhraseRendering r = renderReferencePhrase(*plugin, o.settings);
        const double release = releaseSeconds(r, o.settings.silenceThreshold);
        const LoudnessReading reading = measureLoudness(r.left, r.right, r.sampleRate);
        if (std::isfinite(reading.integratedLufs))
            loudness.push_back(reading.integratedLufs);
        // Up to the last audible sample: the render's closing silence is
        // replaced by the gap.
        const auto frames = std::min(r.left.size(), static_cast<std::size_t>(r.endFrame) +
                                                        static_cast<std::size_t>(std::llround(release * r.sampleRate)));
        const std::string& name = names[static_cast<std::size_t>(p)];
        if (together) {
            writeRendering(*together, r, frames, gap);
        } else {
            AudioFileSink one(o.splitDir + "/" + fileNameFor(p, name, extension), r.sampleRate, o.format);
            writeRendering(one, r, frames, 0);
            one.close();
        }
        if (!o.quiet) {
            std::printf("%3d  %-24s  %s  %s  %6.2f s%s\n", p, name.c_str(),
                        decibels(reading.integratedLufs, "LUFS").c_str(),
                        decibels(reading.truePeakDbtp, "dBTP").c_str(), release,
                        r.left.size() >= static_cast<std::size_t>(r.endFrame) +
                                             static_cast<std::size_t>(o.settings.maxTailSeconds * r.sampleRate)
                            ? " (still sounding)"
                            : "");
            std::fflush(stdout);
        }
    }
    if (together)
        together->close();
    if (!o.quiet && !loudness.empty()) {
        std::sort(loudness.begin(), loudness.end());
        const std::size_t n = loudness.size();
        const double median = n % 2 ? loudness[n / 2] : 0.5 * (loudness[n / 2 - 1] + loudness[n / 2]);
        std::printf("median %.1f LUFS; programs from %+.1f to %+.1f LU around it\n", median, loudness.front() - median,
                    loudness.back() - median);
    }
    return 0;
}

} // namespace

const char* auditionUsage()
{
    return "\n"
           "audition plays the reference phrase (a legato melody and a six-note chord over\n"
           "two octaves from A2, 120 BPM, about 8.5 s) on every program of the plug-in,\n"
           "each in a fresh instance, and prints each program's integrated loudness\n"
           "(EBU R128), true peak and release time (until below -90 dBFS):\n"
           "  tarvel-host audition [options] PLUGIN.so -o OUT.wav   all programs in one file\n"
           "  tarvel-host audition [options] PLUGIN.so --split DIR  \"NN Name.wav\" per program\n"
           "  --load FILE         the bank (or program) to audition\n"
           "  --programs LIST     only these programs, e.g. 0-7,12 (default: all)\n"
           "  --gap SECONDS       silence between programs in one file (default 1)\n"
           "  --max-tail SECONDS  longest release rendered per program (default 30)\n"
           "  --format, --rate, --block, --quiet as for render\n";
}

int runAuditionCommand(int argc, char** argv)
{
    return audition(parse(argc, argv));
}
