// What the factory bank shows of the instrument, read from the bank file
// itself: every wave, filter mode, modulation route, effect, the saturator,
// the LFOs' shapes and sync modes and recorded bends are used where they
// can be heard, every category has its programs, and no two programs are
// near copies of each other.

#include "FactoryBank.h"
#include "support/TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct Patch {
    std::string name;
    std::map<std::string, float> value;
    std::map<std::string, std::vector<std::pair<float, float>>> bend; // parameter: (time, value) points

    float operator[](const std::string& parameter) const { return value.at(parameter); }
    bool has(const std::string& parameter) const { return value.at(parameter) > 0.0f; }

    // Which of the mixer's inputs can be heard.
    bool balanceMoves() const { return has("ModL1Balance") || has("ModMBalance"); }
    bool ringModulates() const { return has("MixerRingMod") || has("ModMRingMod"); }
    bool hears(int oscillator) const
    {
        const float balance = (*this)["MixerBalance"];
        return balanceMoves() || ringModulates() || (oscillator == 1 ? balance < 1.0f : balance > 0.0f);
    }
    bool positionAudible() const { return (hears(1) && has("Osc1Position")) || (hears(2) && has("Osc2Position")); }
    // Whether an LFO reaches the sound through any route.
    bool routes(int lfo) const
    {
        if (lfo == 1)
            return has("ModL1Cutoff") || has("ModL1Balance");
        return has("ModL2Pitch") || (has("ModL2Position") && positionAudible());
    }
    bool modEnvelopeRoutes() const
    {
        for (const char* route : {"ModMCutoff", "ModMBalance", "ModMPitch", "ModMPosition", "ModMRingMod"})
            if (has(route))
                return true;
        return false;
    }
};

std::vector<Patch> patches(const std::vector<uint8_t>& chunk)
{
    std::vector<Patch> out;
    for (const FactoryBank::Program& program : FactoryBank::parseBank(chunk)) {
        Patch p;
        p.name = program.name;
        for (const FactoryBank::Entry& e : program.entries) {
            p.value[e.name] = e.value;
            if (!e.bend.empty())
                p.bend[e.name] = e.bend;
        }
        out.push_back(p);
    }
    return out;
}

// A choice parameter's index, as the modules pick it.
int choice(float v, int choices)
{
    return int(std::floor(float(choices - 1) * std::clamp(v, 0.0f, 1.0f) + 0.5f));
}
bool on(float v)
{
    return v >= 0.5f;
}

const std::map<std::string, int> kChoices = {{"Osc1Wave", 9},   {"Osc2Wave", 9}, {"LFO1Wave", 9}, {"LFO2Wave", 9},
                                             {"FilterMode", 4}, {"LFO1Sync", 2}, {"LFO2Sync", 2}, {"LFO1Reset", 2},
                                             {"LFO2Reset", 2},  {"DelaySync", 2}};

// The settings as heard: those of a module that cannot be heard in this
// program (an effect at zero wet, an LFO or envelope routed nowhere, an
// oscillator the mixer leaves out) count as their defaults.
std::map<std::string, float> heard(const Patch& p, const Patch& defaults)
{
    const std::vector<std::pair<std::string, bool>> silentModules = {
        {"Phaser", !p.has("PhaserWet")}, {"Chorus", !p.has("ChorusWet")},
        {"Delay", !p.has("DelayWet")},   {"LFO1", !p.routes(1)},
        {"LFO2", !p.routes(2)},          {"ModEnv", !p.modEnvelopeRoutes()},
        {"Osc1", !p.hears(1)},           {"Osc2", !p.hears(2)}};
    std::map<std::string, float> out = p.value;
    for (auto& [parameter, value] : out)
        for (const auto& [module, silent] : silentModules)
            if (silent && parameter.rfind(module, 0) == 0)
                value = defaults[parameter];
    return out;
}

// How far apart two programs are, in settings: a choice that differs (wave,
// filter mode, sync or reset) counts 1, a knob counts its difference in
// tenths of its range up to 1, and so does a recorded bend (1 when only one
// of the two has it, else the difference of its mean value). The level is
// left out: two programs that differ only in loudness are copies.
double distance(const Patch& a, const Patch& b, const Patch& defaults)
{
    const std::map<std::string, float> x = heard(a, defaults), y = heard(b, defaults);
    double d = 0.0;
    for (const auto& [parameter, value] : x) {
        if (parameter == "AmplifierGain" || parameter == "ModMLFOAmp")
            continue;
        const auto choices = kChoices.find(parameter);
        if (choices != kChoices.end())
            d += choice(value, choices->second) != choice(y.at(parameter), choices->second) ? 1.0 : 0.0;
        else
            d += std::min(1.0, std::fabs(double(value) - double(y.at(parameter))) / 0.1);
    }
    auto mean = [](const std::vector<std::pair<float, float>>& points) {
        double sum = 0.0;
        for (const auto& point : points)
            sum += double(point.second);
        return sum / double(points.size());
    };
    std::set<std::string> bent;
    for (const auto& [parameter, points] : a.bend)
        bent.insert(parameter);
    for (const auto& [parameter, points] : b.bend)
        bent.insert(parameter);
    for (const std::string& parameter : bent) {
        const auto i = a.bend.find(parameter), j = b.bend.find(parameter);
        d += i == a.bend.end() || j == b.bend.end() ? 1.0
                                                    : std::min(1.0, std::fabs(mean(i->second) - mean(j->second)) / 0.1);
    }
    return d;
}

Patch defaultPatch()
{
    TestHost host;
    EXPECT_TRUE(host.start(44100.0f, 512)) << host.error;
    void* data = nullptr;
    const VstIntPtr size = host.dispatch(effGetChunk, 1, 0, &data);
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::vector<uint8_t> chunk = {'v', 'q', 'b', 'k', 0, 0, 0, 1, 0, 0, 0, 1};
    chunk.insert(chunk.end(), bytes, bytes + size);
    host.close();
    return patches(chunk).at(0);
}

std::string list(const std::set<std::string>& missing)
{
    std::string text;
    for (const std::string& m : missing)
        text += (text.empty() ? "" : ", ") + m;
    return text;
}

} // namespace

TEST(FactoryBankDesign, ShowsEveryPartOfTheInstrumentWhereItCanBeHeard)
{
    const std::vector<Patch> bank = patches(FactoryBank::load().chunk);
    ASSERT_EQ(bank.size(), 32u);
    const char* const waves[] = {"sin", "tri", "saw", "squ", "dig1", "dig2", "dig3", "dig4", "dig5"};
    const char* const modes[] = {"LP", "HP", "BP", "BR"};

    // Everything the bank should show; each program crosses off what it uses.
    std::set<std::string> missing = {"static ring modulation",
                                     "both oscillators blended",
                                     "saturation",
                                     "bit crushing",
                                     "rate reduction",
                                     "phaser",
                                     "chorus",
                                     "chorus feedback",
                                     "free echo",
                                     "synced echo",
                                     "LFO reset"};
    for (const char* w : waves)
        missing.insert(std::string("wave ") + w);
    for (const char* m : modes)
        missing.insert(std::string("filter ") + m);
    for (const char* w : {"sin", "tri", "saw", "squ"})
        missing.insert(std::string("LFO shape ") + w);
    for (const char* lfo : {"LFO1", "LFO2"}) {
        missing.insert(std::string(lfo) + " free");
        missing.insert(std::string(lfo) + " synced");
    }
    // Every route but ModMLFOAmp, whose destination (the LFOs' amplitude
    // input) is not read: no depth of it changes the sound.
    for (const char* route : {"ModL1Cutoff", "ModL1Balance", "ModL2Pitch", "ModL2Position", "ModMCutoff", "ModMBalance",
                              "ModMPitch", "ModMPosition", "ModMRingMod"})
        missing.insert(route);

    int bentPrograms = 0;
    for (const Patch& p : bank) {
        for (int osc = 1; osc <= 2; ++osc)
            if (p.hears(osc))
                missing.erase(std::string("wave ") + waves[choice(p["Osc" + std::to_string(osc) + "Wave"], 9)]);
        missing.erase(std::string("filter ") + modes[choice(p["FilterMode"], 4)]);
        if (p.has("MixerRingMod"))
            missing.erase("static ring modulation");
        if (p["MixerBalance"] > 0.0f && p["MixerBalance"] < 1.0f)
            missing.erase("both oscillators blended");
        if (p.has("SaturatorDrive"))
            missing.erase("saturation");
        if (p.has("DigiCrush"))
            missing.erase("bit crushing");
        if (p.has("DigiRate"))
            missing.erase("rate reduction");
        if (p.has("PhaserWet"))
            missing.erase("phaser");
        if (p.has("ChorusWet")) {
            missing.erase("chorus");
            if (p.has("ChorusFeedback"))
                missing.erase("chorus feedback");
        }
        if (p.has("DelayWet"))
            missing.erase(on(p["DelaySync"]) ? "synced echo" : "free echo");
        for (int lfo = 1; lfo <= 2; ++lfo) {
            const std::string name = "LFO" + std::to_string(lfo);
            if (!p.routes(lfo))
                continue;
            missing.erase(name + (on(p[name + "Sync"]) ? " synced" : " free"));
            const int shape = choice(p[name + "Wave"], 9);
            if (shape < 4)
                missing.erase(std::string("LFO shape ") + waves[shape]);
            if (on(p[name + "Reset"]))
                missing.erase("LFO reset");
        }
        for (const char* route :
             {"ModL1Cutoff", "ModL1Balance", "ModL2Pitch", "ModMCutoff", "ModMBalance", "ModMPitch", "ModMRingMod"})
            if (p.has(route))
                missing.erase(route);
        for (const char* route : {"ModL2Position", "ModMPosition"})
            if (p.has(route) && p.positionAudible())
                missing.erase(route);
        bentPrograms += p.bend.empty() ? 0 : 1;
    }
    EXPECT_TRUE(missing.empty()) << "the bank never uses: " << list(missing);
    EXPECT_GE(bentPrograms, 4) << "programs whose character comes from a recorded bend";

    std::map<std::string, int> categories;
    for (const FactoryBank::SheetEntry& e : FactoryBank::sheet())
        ++categories[e.category];
    for (const char* category : {"Keys and plucks", "Pads and swells", "Basses", "Leads", "Bells and metallic",
                                 "Rhythmic and tempo-synced", "Lo-fi and effect-led"})
        EXPECT_GE(categories[category], 3) << category;
}

TEST(FactoryBankDesign, NoTwoProgramsAreNearCopies)
{
    const std::vector<Patch> bank = patches(FactoryBank::load().chunk);
    const Patch defaults = defaultPatch();
    // Six settings apart at the least: fewer is a variation of one sound
    // (brighter, longer, wetter), not another program.
    constexpr double kMinimum = 6.0;
    double closest = 1e9;
    for (std::size_t i = 0; i < bank.size(); ++i)
        for (std::size_t j = i + 1; j < bank.size(); ++j) {
            const double d = distance(bank[i], bank[j], defaults);
            closest = std::min(closest, d);
            EXPECT_GE(d, kMinimum) << bank[i].name << " and " << bank[j].name << " are near copies";
        }
    // The measure itself sees a copy that differs only in level.
    Patch louder = bank.at(0);
    louder.value["AmplifierGain"] *= 2.0f;
    EXPECT_EQ(distance(bank.at(0), louder, defaults), 0.0);
    RecordProperty("closest_pair_distance", std::to_string(closest));
}
