// One second of a patch that runs every part of the instrument, rendered
// through the plug-in's ABI like a host does (44.1 kHz, 512-frame blocks)
// and compared with a committed recording, so that an optimisation which
// changes the sound, however slightly, does not pass unnoticed.
//
// The patch: both oscillators on different waves with "Position" set,
// balance and ring modulation, drive, a resonant filter moved by the tempo-
// synced LFO1 and the modulation envelope, every modulation route in use,
// and all four global effects wet. Seven notes are played, so the seventh
// steals a voice, and two are released and one more started during the
// second.

#include "support/TestHost.h"
#include "tests/support/ChunkBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 512;
const std::string kGoldenPath = std::string(GOLDEN_DIR) + "/rich-patch.f32";

const std::vector<std::pair<std::string, float>> kRichPatch = {
    {"AmpEnvAttack", 0.1f},  {"AmpEnvDecay", 0.4f},    {"AmpEnvSustain", 0.6f},   {"AmpEnvRelease", 0.2f},
    {"ModEnvAttack", 0.2f},  {"ModEnvDecay", 0.5f},    {"ModEnvSustain", 0.3f},   {"ModEnvRelease", 0.3f},
    {"LFO1Sync", 1.0f},      {"LFO1Speed", 0.8f},      {"LFO1Wave", 0.125f},      {"LFO2Reset", 1.0f},
    {"LFO2Speed", 0.3f},     {"LFO2Wave", 0.0f},       {"Osc1Wave", 0.25f},       {"Osc1Position", 0.3f},
    {"Osc1Fine", 0.52f},     {"Osc2Wave", 0.625f},     {"Osc2Coarse", 0.656f},    {"Osc2Fine", 0.45f},
    {"Osc2Position", 0.1f},  {"MixerBalance", 0.4f},   {"MixerRingMod", 0.25f},   {"SaturatorDrive", 0.3f},
    {"FilterCutoff", 0.15f}, {"FilterMode", 0.0f},     {"FilterResonance", 0.6f}, {"AmplifierGain", 0.04f},
    {"ModL1Cutoff", 0.5f},   {"ModL1Balance", 0.3f},   {"ModL2Pitch", 0.1f},      {"ModL2Position", 0.4f},
    {"ModMCutoff", 0.5f},    {"ModMLFOAmp", 0.5f},     {"ModMBalance", 0.3f},     {"ModMPitch", 0.05f},
    {"ModMPosition", 0.3f},  {"ModMRingMod", 0.4f},    {"DigiCrush", 0.4f},       {"DigiRate", 0.02f},
    {"PhaserCenter", 0.3f},  {"PhaserFeedback", 0.6f}, {"PhaserModDepth", 0.5f},  {"PhaserModRate", 0.5f},
    {"PhaserWet", 0.5f},     {"ChorusDepth", 0.5f},    {"ChorusFeedback", 0.3f},  {"ChorusRate", 0.3f},
    {"ChorusWet", 0.5f},     {"DelayFeedback", 0.5f},  {"DelayTime", 0.1f},       {"DelayWet", 0.3f},
};

// A program chunk naming only the parameters to set; the plug-in matches
// entries by name and leaves the others at their defaults.
std::vector<uint8_t> programChunk(const std::vector<std::pair<std::string, float>>& values)
{
    ChunkBuilder chunk;
    chunk.header("vqps", static_cast<uint32_t>(values.size()), "Golden");
    for (const auto& [parameter, value] : values)
        chunk.entry(parameter, value);
    return chunk.out;
}

struct Render {
    std::vector<float> left, right;
};

Render renderRichPatch()
{
    TestHost host;
    Render r;
    if (host.start(float(kRate), kBlock) == nullptr)
        return r;
    std::vector<uint8_t> chunk = programChunk(kRichPatch);
    host.dispatch(effSetChunk, 1, VstIntPtr(chunk.size()), chunk.data());
    host.timeInfo.tempo = 120.0;
    host.timeInfo.ppqPos = 0.0;

    std::vector<float> left, right;
    for (int block = 0, done = 0; done < kRate; ++block, done += kBlock) {
        switch (block) {
        case 0: // six voices, all busy
            host.sendMidi(
                {{0x90, 48, 100}, {0x90, 55, 100}, {0x90, 60, 100}, {0x90, 64, 100}, {0x90, 67, 100}, {0x90, 71, 100}});
            break;
        case 20: // the seventh note steals the oldest voice
            host.sendMidi({{0x90, 74, 90}}, 100);
            break;
        case 50:
            host.sendMidi({{0x80, 55, 0}, {0x80, 60, 0}}, 7);
            break;
        case 60: // all six still sound (two in release): another steal
            host.sendMidi({{0x90, 76, 80}}, 300);
            break;
        default:
            break;
        }
        host.process(std::min(kBlock, kRate - done), left, right);
        r.left.insert(r.left.end(), left.begin(), left.end());
        r.right.insert(r.right.end(), right.begin(), right.end());
    }
    host.close();
    return r;
}

std::vector<float> readGolden()
{
    std::ifstream in(kGoldenPath, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<float> samples(bytes.size() / 4);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        // Little-endian on disk, whatever the machine.
        const uint32_t bits = uint32_t(uint8_t(bytes[4 * i])) | uint32_t(uint8_t(bytes[4 * i + 1])) << 8 |
                              uint32_t(uint8_t(bytes[4 * i + 2])) << 16 | uint32_t(uint8_t(bytes[4 * i + 3])) << 24;
        std::memcpy(&samples[i], &bits, 4);
    }
    return samples;
}

void writeGolden(const std::vector<float>& samples)
{
    std::ofstream out(kGoldenPath, std::ios::binary);
    for (float s : samples) {
        uint32_t bits;
        std::memcpy(&bits, &s, 4);
        const char bytes[4] = {char(bits), char(bits >> 8), char(bits >> 16), char(bits >> 24)};
        out.write(bytes, 4);
    }
}

} // namespace

TEST(GoldenRender, RichPatchMatchesTheRecording)
{
    const Render r = renderRichPatch();
    ASSERT_EQ(r.left.size(), std::size_t(kRate));
    EXPECT_EQ(r.left, r.right);

    // A recording worth comparing with: finite, loud enough, not clipping.
    double sum = 0.0;
    float peak = 0.0f;
    for (float v : r.left) {
        ASSERT_TRUE(std::isfinite(v));
        sum += double(v) * double(v);
        peak = std::max(peak, std::fabs(v));
    }
    EXPECT_GT(std::sqrt(sum / kRate), 0.02);
    EXPECT_LT(peak, 1.0f);

    const char* regenerate = std::getenv("TARVEL_REGENERATE_GOLDEN");
    if (regenerate != nullptr && std::string(regenerate) == "1") {
        writeGolden(r.left);
        std::printf("wrote %s\n", kGoldenPath.c_str());
    }
    const std::vector<float> golden = readGolden();
    ASSERT_EQ(golden.size(), r.left.size())
        << "missing or short " << kGoldenPath << " (TARVEL_REGENERATE_GOLDEN=1 writes it)";
    int reported = 0;
    for (std::size_t i = 0; i < golden.size(); ++i) {
        if (std::fabs(r.left[i] - golden[i]) > 1e-5f && reported++ < 5)
            ADD_FAILURE() << "sample " << i << " (block " << i / kBlock << "): " << r.left[i] << ", recorded "
                          << golden[i];
    }
    EXPECT_EQ(reported, 0) << "samples differing from the recording by more than 1e-5";
}

TEST(GoldenRender, TwoInstancesRenderTheSameSecond)
{
    // The recording only pins the sound if rendering is deterministic.
    EXPECT_EQ(renderRichPatch().left, renderRichPatch().left);
}
