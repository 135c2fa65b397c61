// Every program of the factory bank as a listener meets it: played the
// reference phrase through the plug-in's ABI, it is as loud as the others
// (EBU R128, within its window around the bank's median), leaves 1 dB of
// true-peak headroom, produces only finite samples and falls below -90 dBFS
// by its stated release time; all-notes-off silences it as surely as
// note-offs do; and where it holds a recorded bend, the bend is heard.

#include "FactoryBank.h"
#include "host/Loudness.h"
#include "host/Plugin.h"
#include "host/Presets.h"
#include "host/ReferencePhrase.h"
#include "support/TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr float kSilence = 3.1622776e-5f; // -90 dBFS
constexpr double kTruePeakCeiling = -1.0; // dBTP

struct Measured {
    std::string name;
    bool finite = true;
    double lufs = 0.0, truePeak = 0.0, release = 0.0;
};

// A fresh instance for each program, the bank loaded as tarvel-host loads
// it, the phrase rendered on until 2 s of silence (longer than any echo's
// gap) or until 2 s past the program's stated release. With `withoutBends`
// the program's recorded motions are taken out first.
TarvelHost::PhraseRendering play(const FactoryBank::SheetEntry& entry, std::string& name, bool withoutBends = false)
{
    std::unique_ptr<TarvelHost::Plugin> plugin = TarvelHost::Plugin::load(TARVEL_PLUGIN_PATH);
    TarvelHost::RenderSettings settings;
    settings.tailSeconds = 2.0;
    settings.maxTailSeconds = entry.releaseSeconds + 2.0;
    plugin->start(settings.sampleRate, settings.blockSize);
    TarvelHost::loadPreset(*plugin, FACTORY_BANK_PATH);
    plugin->setProgram(entry.slot);
    name = plugin->programName(entry.slot);
    if (withoutBends) {
        std::size_t at = 0;
        FactoryBank::Program program = FactoryBank::parseProgram(plugin->getChunk(true), at);
        for (FactoryBank::Entry& e : program.entries)
            e.bend.clear();
        plugin->setChunk(true, FactoryBank::writeProgram(program));
    }
    return TarvelHost::renderReferencePhrase(*plugin, settings);
}

Measured measure(const FactoryBank::SheetEntry& entry)
{
    Measured m;
    const TarvelHost::PhraseRendering r = play(entry, m.name);
    for (std::size_t i = 0; i < r.left.size(); ++i)
        m.finite = m.finite && std::isfinite(r.left[i]) && std::isfinite(r.right[i]);
    const TarvelHost::LoudnessReading reading = TarvelHost::measureLoudness(r.left, r.right, r.sampleRate);
    m.lufs = reading.integratedLufs;
    m.truePeak = reading.truePeakDbtp;
    m.release = TarvelHost::releaseSeconds(r, kSilence);
    return m;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

} // namespace

TEST(FactoryBankSound, EveryProgramIsLevelMatchedHasHeadroomAndFallsSilentInItsReleaseTime)
{
    // Keeps the library loaded between the instances, as a host does that
    // opens many; the leak checker then still sees what the libraries it
    // pulls in keep for the life of the process.
    const TestHost library;
    ASSERT_TRUE(library.error.empty()) << library.error;
    const std::vector<FactoryBank::SheetEntry> sheet = FactoryBank::sheet();
    ASSERT_EQ(sheet.size(), 32u);
    std::vector<Measured> programs;
    std::vector<double> loudness;
    for (const FactoryBank::SheetEntry& entry : sheet) {
        programs.push_back(measure(entry));
        loudness.push_back(programs.back().lufs);
    }
    const double middle = median(loudness);
    ASSERT_TRUE(std::isfinite(middle));
    for (std::size_t i = 0; i < sheet.size(); ++i) {
        const FactoryBank::SheetEntry& entry = sheet[i];
        const Measured& m = programs[i];
        EXPECT_EQ(m.name, entry.name) << "slot " << entry.slot;
        EXPECT_TRUE(m.finite) << entry.name << " produced a non-finite sample";
        EXPECT_GE(m.lufs - middle, entry.luLow) << entry.name << ": " << m.lufs << " LUFS, median " << middle;
        EXPECT_LE(m.lufs - middle, entry.luHigh) << entry.name << ": " << m.lufs << " LUFS, median " << middle;
        EXPECT_LE(m.truePeak, kTruePeakCeiling) << entry.name << ": true peak " << m.truePeak << " dBTP";
        EXPECT_LE(m.release, entry.releaseSeconds)
            << entry.name << " still sounds " << m.release << " s after its last note, stated " << entry.releaseSeconds;
    }
}

TEST(FactoryBankSound, AllNotesOffSilencesEveryProgramWithinItsReleaseTime)
{
    // The reference phrase's chord struck for a quarter of a second, the
    // loudest moment of a struck sound; then controller 123 instead of any
    // note-off, as a host sends it when the transport stops.
    const std::vector<int> chord = {45, 52, 57, 60, 64, 69};
    const TarvelHost::FxBank bank = FactoryBank::load();
    for (const FactoryBank::SheetEntry& entry : FactoryBank::sheet()) {
        TestHost host;
        ASSERT_TRUE(host.start(44100.0f, 512)) << host.error;
        host.dispatch(effSetChunk, 0, VstIntPtr(bank.chunk.size()), const_cast<uint8_t*>(bank.chunk.data()));
        host.dispatch(effSetProgram, 0, entry.slot);
        host.render(512);
        for (int note : chord)
            host.noteOn(note);
        host.render(44100 / 4);
        host.controller(123, 0);
        const int release = int(std::ceil(entry.releaseSeconds * 44100.0 / 512.0)) * 512;
        host.render(release);
        std::size_t sounding = 0; // samples not below the threshold, NaN included
        for (float v : host.render(44100))
            sounding += std::fabs(v) < kSilence ? 0u : 1u;
        EXPECT_EQ(sounding, 0u) << entry.name << " still sounds after all-notes-off";
        host.close();
    }
}

TEST(FactoryBankSound, EveryRecordedBendChangesHowItsProgramSounds)
{
    const TestHost library; // as above
    const TarvelHost::FxBank bank = FactoryBank::load();
    const std::vector<FactoryBank::Program> programs = FactoryBank::parseBank(bank.chunk);
    int heard = 0;
    for (const FactoryBank::SheetEntry& entry : FactoryBank::sheet()) {
        bool hasBend = false;
        for (const FactoryBank::Entry& e : programs.at(std::size_t(entry.slot)).entries)
            hasBend = hasBend || !e.bend.empty();
        std::string name;
        const TarvelHost::PhraseRendering with = play(entry, name), without = play(entry, name, true);
        // The energy of the difference the motion makes, against the energy
        // of the program's sound.
        double difference = 0.0, energy = 0.0;
        for (std::size_t i = 0; i < std::max(with.left.size(), without.left.size()); ++i) {
            const double a = i < with.left.size() ? double(with.left[i]) : 0.0;
            const double b = i < without.left.size() ? double(without.left[i]) : 0.0;
            difference += (a - b) * (a - b);
            energy += a * a;
        }
        if (hasBend) {
            // At least a twentieth (-13 dB): a change in the sound, not a nuance.
            EXPECT_GE(difference, 0.05 * energy) << entry.name << ": its bend is hardly heard";
            heard += difference >= 0.05 * energy ? 1 : 0;
        } else {
            // Rendering is repeatable, so what differs above is the bend's doing.
            EXPECT_EQ(difference, 0.0) << entry.name;
        }
    }
    EXPECT_GE(heard, 4) << "programs whose character comes from a recorded bend";
}
