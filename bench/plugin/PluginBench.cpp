// The whole plug-in, loaded and driven through the VST ABI exactly as a
// host runs it: 44.1 kHz, 512-frame blocks, the song of bench/song.mid.
//
// Every benchmark renders its material several times, each time with a
// fresh plug-in instance, and reports the fastest run (the least disturbed
// by the other work on the machine): the time column is that run's thread
// CPU time, "rtf" how many times faster than real time it ran and
// "cpuPerSec" the CPU time spent per second of audio.
//
// TARVEL_BENCH_PLUGIN names another build of the plug-in to measure instead
// of this tree's (to compare two versions under the same conditions).

#include "host/MidiFile.h"
#include "host/Schedule.h"
#include "host/TempoMap.h"
#include "support/TestHost.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 512;
// This machine shares its processor with others: the fastest of many runs
// is the one least disturbed by them.
constexpr int kRuns = 9;

struct Setting {
    std::string name; // full parameter name
    float value;
};

// "heavy": the patch of bench/heavy-patch.txt (NAME=VALUE lines), which
// the render comparisons play too.
std::vector<Setting> loadPatch(const char* path)
{
    std::ifstream file(path);
    if (!file)
        throw std::runtime_error(std::string("cannot read ") + path);
    std::vector<Setting> settings;
    std::string line;
    while (std::getline(file, line)) {
        const std::size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos)
            continue;
        settings.push_back({line.substr(0, equals), std::stof(line.substr(equals + 1))});
    }
    return settings;
}

const std::vector<Setting>& heavy()
{
    static const std::vector<Setting> patch = loadPatch(BENCH_HEAVY_PATCH_PATH);
    return patch;
}

struct TimedEvent {
    int64_t frame;
    std::vector<uint8_t> bytes;
};

struct Song {
    std::vector<TimedEvent> events;
    int64_t frames = 0;
};

const Song& song()
{
    static const Song loaded = [] {
        using namespace TarvelHost;
        const MidiFile file = MidiFile::load(BENCH_SONG_PATH);
        const TempoMap tempo(file, kRate);
        const Schedule schedule(file, tempo);
        Song s;
        for (const ScheduledEvent& e : schedule.events())
            if (!e.sysex)
                s.events.push_back({e.frame, e.bytes});
        s.frames = schedule.endFrame();
        return s;
    }();
    return loaded;
}

std::string pluginPath()
{
    const char* other = std::getenv("TARVEL_BENCH_PLUGIN");
    return other != nullptr && *other != '\0' ? other : TARVEL_PLUGIN_PATH;
}

double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// One plug-in instance with the host side of a render.
class Session {
public:
    Session() : host_(pluginPath())
    {
        if (!host_.start(static_cast<float>(kRate), kBlock))
            throw std::runtime_error("Tarvel.so did not start: " + host_.error);
        left_.assign(kBlock, 0.0f);
        right_.assign(kBlock, 0.0f);
    }

    void apply(const std::vector<Setting>& settings)
    {
        for (const Setting& s : settings)
            host_.setParameter(indexOf(s.name), s.value);
    }

    // Plays the song's events that fall in [from, to) and renders those frames.
    void play(const Song& s, int64_t from, int64_t to)
    {
        std::size_t next =
            static_cast<std::size_t>(std::lower_bound(s.events.begin(), s.events.end(), from,
                                                      [](const TimedEvent& e, int64_t f) { return e.frame < f; }) -
                                     s.events.begin());
        for (int64_t pos = from; pos < to; pos += kBlock) {
            const int n = static_cast<int>(std::min<int64_t>(kBlock, to - pos));
            std::vector<std::vector<uint8_t>> due;
            while (next < s.events.size() && s.events[next].frame < pos + n)
                due.push_back(s.events[next++].bytes);
            if (!due.empty())
                host_.sendMidi(due);
            block(n);
        }
    }

    void note(int note, bool on) { on ? host_.noteOn(note, 100) : host_.noteOff(note); }

    // Renders `frames` frames without events; returns the largest |sample|.
    float silence(int64_t frames)
    {
        float peak = 0.0f;
        for (int64_t pos = 0; pos < frames; pos += kBlock) {
            const int n = static_cast<int>(std::min<int64_t>(kBlock, frames - pos));
            block(n);
            for (int i = 0; i < n; ++i)
                peak = std::max(peak, std::fabs(left_[static_cast<std::size_t>(i)]));
        }
        return peak;
    }

private:
    int indexOf(const std::string& fullName)
    {
        // The plug-in reports at most 8 characters of each name.
        int found = -1;
        const int count = host_.effect->numParams;
        for (int i = 0; i < count; ++i) {
            const std::string reported = host_.parameterName(i);
            if (!reported.empty() && fullName.compare(0, reported.size(), reported) == 0) {
                if (found >= 0)
                    throw std::runtime_error("ambiguous parameter " + fullName);
                found = i;
            }
        }
        if (found < 0)
            throw std::runtime_error("no parameter " + fullName);
        return found;
    }

    void block(int n)
    {
        float* outputs[2] = {left_.data(), right_.data()};
        float* inputs[2] = {nullptr, nullptr};
        host_.effect->processReplacing(host_.effect, inputs, outputs, n);
        host_.timeInfo.samplePos += n;
        host_.timeInfo.ppqPos += n / static_cast<double>(kRate) * host_.timeInfo.tempo / 60.0;
        benchmark::DoNotOptimize(left_.data());
    }

    TestHost host_;
    std::vector<float> left_;
    std::vector<float> right_;
};

// One timed render: `setup` runs untimed on a fresh session, then `timed`
// renders `seconds` of audio.
struct Scenario {
    const char* name;
    double seconds;
    std::function<void(Session&)> setup;
    std::function<void(Session&)> timed;
};

double songSeconds()
{
    return static_cast<double>(song().frames) / kRate;
}

const std::vector<Setting> kLight = {};

// Plays the whole song with a patch.
Scenario wholeSong(const char* name, const std::vector<Setting>* patch)
{
    return {name, songSeconds(), [patch](Session& session) { session.apply(*patch); },
            [](Session& session) { session.play(song(), 0, song().frames); }};
}

// The first chord of the song, released; then 60 seconds without a note,
// where every voice is idle and only the global effects run.
Scenario silentAfter(const char* name, const std::vector<Setting>* patch)
{
    const int64_t chordEnd = kRate; // the first chord and its release
    return {name, 60.0,
            [patch, chordEnd](Session& session) {
                session.apply(*patch);
                session.play(song(), 0, chordEnd);
            },
            [](Session& session) { session.silence(60 * static_cast<int64_t>(kRate)); }};
}

// Denormal check: a note of the heavy patch held steady, against the tail of
// the same note after its release, timed from where the output has decayed
// to 1e-30 (the effect states are about to go subnormal) for ten seconds,
// through the subnormal range down to zero.
constexpr int64_t kWindow = 10 * static_cast<int64_t>(kRate);

Scenario steadyNote()
{
    return {"steadyNote", static_cast<double>(kWindow) / kRate,
            [](Session& session) {
                session.apply(heavy());
                session.note(57, true);
                session.silence(kRate);
            },
            [](Session& session) { session.silence(kWindow); }};
}

Scenario releaseTail()
{
    return {"releaseTail", static_cast<double>(kWindow) / kRate,
            [](Session& session) {
                session.apply(heavy());
                session.note(57, true);
                session.silence(kRate);
                session.note(57, false);
                // Ten seconds at most: the ring decays by half every echo.
                for (int i = 0; i < 600; ++i)
                    if (session.silence(kRate / 10) < 1e-30f)
                        break;
            },
            [](Session& session) { session.silence(kWindow); }};
}

enum ScenarioIndex { kLightSong, kHeavySong, kSilent, kSilentHeavyEffects, kSteadyNote, kReleaseTail, kScenarios };

// The fastest timed part of each scenario over kRuns rounds. Every round
// runs each scenario once, in turn, so that each one's runs are spread over
// the whole measurement: a burst of load from the machine's other guests
// then slows a run of every scenario, rather than all runs of one.
const std::vector<double>& fastest()
{
    static const std::vector<double> best = [] {
        const Scenario scenarios[kScenarios] = {wholeSong("light", &kLight),
                                                wholeSong("heavy", &heavy()),
                                                silentAfter("silent", &kLight),
                                                silentAfter("silentHeavyEffects", &heavy()),
                                                steadyNote(),
                                                releaseTail()};
        std::vector<double> times(kScenarios, std::numeric_limits<double>::infinity());
        for (int run = 0; run < kRuns; ++run) {
            for (int i = 0; i < kScenarios; ++i) {
                Session session;
                scenarios[i].setup(session);
                const double start = threadSeconds();
                scenarios[i].timed(session);
                times[static_cast<std::size_t>(i)] =
                    std::min(times[static_cast<std::size_t>(i)], threadSeconds() - start);
            }
        }
        std::vector<double> perSecond(kScenarios);
        for (int i = 0; i < kScenarios; ++i)
            perSecond[static_cast<std::size_t>(i)] = times[static_cast<std::size_t>(i)] / scenarios[i].seconds;
        return perSecond;
    }();
    return best;
}

// Reports a scenario's fastest run as CPU time per second of audio and as
// a real-time factor.
void report(benchmark::State& state, ScenarioIndex index)
{
    const double perSecond = fastest()[static_cast<std::size_t>(index)];
    for (auto _ : state) {
        state.SetIterationTime(perSecond);
        state.counters["rtf"] = 1.0 / perSecond;
        state.counters["cpuPerSec"] = perSecond;
    }
}

void Light(benchmark::State& state)
{
    report(state, kLightSong);
}
void Heavy(benchmark::State& state)
{
    report(state, kHeavySong);
}
void Silent(benchmark::State& state)
{
    report(state, kSilent);
}
void SilentHeavyEffects(benchmark::State& state)
{
    report(state, kSilentHeavyEffects);
}
void SteadyNote(benchmark::State& state)
{
    report(state, kSteadyNote);
}
void ReleaseTail(benchmark::State& state)
{
    report(state, kReleaseTail);
}

} // namespace

BENCHMARK(Light)->Name("Song/light")->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Heavy)->Name("Song/heavy")->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Silent)->Name("Song/silent")->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SilentHeavyEffects)
    ->Name("Song/silentHeavyEffects")
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(SteadyNote)->Name("Denormal/steadyNote")->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ReleaseTail)->Name("Denormal/releaseTail")->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
