// Loads one edition of the instrument through its format's entry point (the
// VST 2.4 plug-in, the VST3 bundle or the CLAP plug-in), as a host of that
// format does, and prints what a host learns of it and hears from it: every
// parameter with its display texts, the presets, the state it saves, and a
// digest of two renders of a song. Built natively and for Windows from this
// one source, so that the Windows editions can be compared with the Linux
// ones line by line (tests/windows/run-tests.sh).
//
// usage: edition-check vst2|vst3|clap PATH SONG.mid

#include "support/PluginUnderTest.h"
#include "support/SongRender.h"

#include "host/MidiFile.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// Every module and effect busy, tempo-synced delay included.
const std::pair<int, float> kBusyPatch[] = {
    {0, 0.1f},   {1, 0.3f},  {2, 0.6f},  {3, 0.3f},  {4, 0.2f},   {5, 0.4f},  {9, 0.3f},  {13, 0.6f}, {15, 0.5f},
    {18, 0.3f},  {19, 0.6f}, {20, 0.7f}, {21, 0.6f}, {23, 0.9f},  {24, 0.4f}, {25, 0.3f}, {26, 0.6f}, {27, 0.45f},
    {28, 0.34f}, {29, 0.6f}, {31, 0.7f}, {32, 0.4f}, {33, 0.55f}, {34, 0.8f}, {35, 0.8f}, {36, 0.5f}, {37, 0.3f},
    {38, 0.2f},  {39, 0.6f}, {40, 0.7f}, {41, 0.3f}, {42, 0.2f},  {43, 0.4f}, {44, 0.7f}, {45, 0.6f}, {46, 0.5f},
    {47, 0.5f},  {48, 0.5f}, {49, 0.4f}, {50, 0.4f}, {51, 0.5f},  {52, 0.6f}, {53, 0.5f}, {55, 0.4f},
};

uint64_t digest(const void* data, std::size_t size, uint64_t hash = 1469598103934665603ull)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

std::unique_ptr<PluginUnderTest> load(const std::string& kind, const std::string& path)
{
    if (kind == "vst2")
        return loadVst2(path);
    if (kind == "vst3")
        return loadVst3(path);
    if (kind == "clap")
        return loadClap(path);
    return nullptr;
}

// The render's length, loudest sample, RMS and a digest of every sample's bits.
void printRender(const char* name, int block, const Rendered& out)
{
    double peak = 0.0, sum = 0.0;
    for (const std::vector<float>* channel : {&out.left, &out.right}) {
        for (float sample : *channel) {
            peak = std::fmax(peak, std::fabs(static_cast<double>(sample)));
            sum += static_cast<double>(sample) * static_cast<double>(sample);
        }
    }
    const double rms = std::sqrt(sum / static_cast<double>(2 * out.left.size()));
    uint64_t hash = digest(out.left.data(), out.left.size() * sizeof(float));
    hash = digest(out.right.data(), out.right.size() * sizeof(float), hash);
    std::printf("render %s, blocks of %d: %zu frames, peak %.6f, rms %.6f, digest %016llx\n", name, block,
                out.left.size(), peak, rms, static_cast<unsigned long long>(hash));
}

int check(const std::string& kind, const std::string& path, const std::string& songPath)
{
    const TarvelHost::MidiFile song = TarvelHost::MidiFile::load(songPath);

    std::unique_ptr<PluginUnderTest> plugin = load(kind, path);
    if (!plugin || !plugin->error.empty()) {
        std::fprintf(stderr, "cannot load %s: %s\n", path.c_str(), plugin ? plugin->error.c_str() : "unknown kind");
        return 1;
    }
    plugin->activate(44100, 512);
    const std::vector<PluginUnderTest::ParameterInfo> parameters = plugin->parameterInfo();
    std::printf("parameters (%zu)\n", parameters.size());
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const PluginUnderTest::ParameterInfo& p = parameters[i];
        const int index = static_cast<int>(i);
        std::printf("%2d %s [%s] %g..%g default %.9g%s: \"%s\" \"%s\" \"%s\"\n", index, p.name.c_str(),
                    p.symbol.c_str(), static_cast<double>(p.minimum), static_cast<double>(p.maximum),
                    static_cast<double>(p.defaultValue), p.automatable ? " automatable" : "",
                    plugin->parameterText(index, 0.0f).c_str(), plugin->parameterText(index, 0.5f).c_str(),
                    plugin->parameterText(index, 1.0f).c_str());
    }
    const std::vector<std::string> presets = plugin->presets();
    std::printf("presets (%zu)\n", presets.size());
    for (std::size_t i = 0; i < presets.size(); ++i)
        std::printf("%2zu %s\n", i, presets[i].c_str());

    const Rendered plain = renderSong(*plugin, song, 44100, 512);
    printRender("with the defaults", 512, plain);

    // A fresh instance, every module busy, in short blocks; then what it saves.
    plugin = load(kind, path);
    plugin->activate(44100, 100);
    for (auto [index, value] : kBusyPatch)
        plugin->setParameter(index, value);
    const Rendered busy = renderSong(*plugin, song, 44100, 100);
    printRender("with every module busy", 100, busy);
    const std::vector<uint8_t> state = plugin->saveState();
    std::printf("state: %zu bytes, digest %016llx\n", state.size(),
                static_cast<unsigned long long>(digest(state.data(), state.size())));
    if (!plugin->error.empty()) {
        std::fprintf(stderr, "%s\n", plugin->error.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s vst2|vst3|clap PATH SONG.mid\n", argv[0]);
        return 2;
    }
    try {
        return check(argv[1], argv[2], argv[3]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
}
