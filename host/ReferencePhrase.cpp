#include "host/ReferencePhrase.h"

#include "host/Schedule.h"
#include "host/TempoMap.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace TarvelHost {

namespace {

constexpr int kTicksPerQuarter = 480;
constexpr uint32_t kMicrosPerQuarter = 500000; // 120 BPM
constexpr uint8_t kVelocity = 100;
// Each melody note is let go a sixty-fourth note after the next one starts,
// so the line is played legato: a recorded bend runs on through it instead
// of starting again with every note.
constexpr int64_t kLegatoOverlap = kTicksPerQuarter / 16;

const int kMelody[] = {45, 52, 57, 60, 64, 69, 67, 64};
const int kChord[] = {45, 52, 57, 60, 64, 69};
constexpr int64_t kMelodyStart = 1 * kTicksPerQuarter;
constexpr int64_t kChordStart = 11 * kTicksPerQuarter;
constexpr int64_t kChordEnd = 17 * kTicksPerQuarter;

MidiFile buildPhrase()
{
    MidiFile song;
    song.format = 0;
    song.trackCount = 1;
    song.ticksPerQuarter = kTicksPerQuarter;
    song.tempoChanges.push_back({0, kMicrosPerQuarter});
    song.timeSignatures.push_back({0, 4, 4});

    struct Note {
        int64_t on, off;
        int key;
    };
    std::vector<Note> notes;
    const std::size_t melodyLength = std::size(kMelody);
    for (std::size_t i = 0; i < melodyLength; ++i) {
        const int64_t on = kMelodyStart + static_cast<int64_t>(i) * kTicksPerQuarter;
        const int64_t off = on + kTicksPerQuarter + (i + 1 < melodyLength ? kLegatoOverlap : 0);
        notes.push_back({on, off, kMelody[i]});
    }
    for (int key : kChord)
        notes.push_back({kChordStart, kChordEnd, key});

    for (const Note& n : notes) {
        MidiEvent on;
        on.tick = n.on;
        on.data = {0x90, static_cast<uint8_t>(n.key), kVelocity};
        MidiEvent off;
        off.tick = n.off;
        off.data = {0x80, static_cast<uint8_t>(n.key), 0};
        song.events.push_back(on);
        song.events.push_back(off);
    }
    // In time order; at the same tick note-offs first, as a sequencer sends them.
    std::stable_sort(song.events.begin(), song.events.end(), [](const MidiEvent& a, const MidiEvent& b) {
        if (a.tick != b.tick)
            return a.tick < b.tick;
        return (a.data[0] == 0x80) > (b.data[0] == 0x80);
    });
    for (std::size_t i = 0; i < song.events.size(); ++i)
        song.events[i].order = static_cast<int>(i);
    song.lengthTicks = kChordEnd;
    return song;
}

class MemorySink : public AudioSink {
public:
    explicit MemorySink(PhraseRendering& out) : out_(out) {}
    void write(const float* left, const float* right, int frames) override
    {
        out_.left.insert(out_.left.end(), left, left + frames);
        out_.right.insert(out_.right.end(), right, right + frames);
    }

private:
    PhraseRendering& out_;
};

} // namespace

const MidiFile& referencePhrase()
{
    static const MidiFile phrase = buildPhrase();
    return phrase;
}

PhraseRendering renderReferencePhrase(Plugin& plugin, const RenderSettings& settings)
{
    const MidiFile& phrase = referencePhrase();
    const TempoMap tempo(phrase, settings.sampleRate);
    const Schedule schedule(phrase, tempo);
    PhraseRendering out;
    out.sampleRate = settings.sampleRate;
    out.endFrame = schedule.endFrame();
    MemorySink sink(out);
    out.interrupted = render(plugin, tempo, schedule, settings, sink).interrupted;
    return out;
}

double releaseSeconds(const PhraseRendering& rendering, float threshold)
{
    std::size_t last = 0; // one past the last loud frame
    for (std::size_t i = rendering.left.size(); i > 0; --i) {
        // NaN counts as loud: it is certainly not silence.
        if (!(std::fabs(rendering.left[i - 1]) < threshold && std::fabs(rendering.right[i - 1]) < threshold)) {
            last = i;
            break;
        }
    }
    const int64_t frames = static_cast<int64_t>(last) - rendering.endFrame;
    return frames > 0 ? static_cast<double>(frames) / rendering.sampleRate : 0.0;
}

} // namespace TarvelHost
