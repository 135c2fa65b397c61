// Real instruments through the command-line host: the Debian-packaged
// amsynth VST (package "amsynth") and Tarvel itself.

#include "host/Plugin.h"
#include "tests/host/MidiBuilder.h"
#include "tests/support/ReadAudioFile.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char* const kAmsynthPaths[] = {"/usr/lib/vst/amsynth_vst.so", "/usr/lib/x86_64-linux-gnu/vst/amsynth_vst.so",
                                     "/usr/local/lib/vst/amsynth_vst.so"};

std::string findAmsynth()
{
    for (const char* p : kAmsynthPaths)
        if (access(p, R_OK) == 0)
            return p;
    return "";
}

// `environment` is prefixed to the command line.
int run(const std::string& args, std::string& output, const std::string& environment = "")
{
    FILE* pipe = popen((environment + std::string(TARVEL_HOST_BINARY) + " " + args + " 2>&1").c_str(), "r");
    char buffer[4096];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    int raw = pclose(pipe);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Peak and length of a rendered file.
bool measure(const std::string& path, float& peak, sf_count_t& frames)
{
    SF_INFO info{};
    const std::vector<float> samples = readAudioFile(path, &info);
    if (info.channels == 0)
        return false;
    peak = 0.0f;
    for (float s : samples)
        peak = std::max(peak, std::fabs(s));
    frames = info.frames;
    return true;
}

} // namespace

TEST(RealPlugins, AmsynthPlaysTheDemoSong)
{
    std::string amsynth = findAmsynth();
    if (amsynth.empty())
        GTEST_SKIP() << "amsynth VST not installed (Debian package \"amsynth\", /usr/lib/vst/amsynth_vst.so)";
    std::string out = ::testing::TempDir() + "tarvel_host_amsynth_" + std::to_string(getpid()) + ".wav";
    std::string output;
    // amsynth leaves some of its own allocations behind when it is closed;
    // in a sanitizer build that must not count against the host.
    const std::string noLeakCheck = "ASAN_OPTIONS=detect_leaks=0 ";
    int status =
        run("render --block 256 --tail 0.5 " + amsynth + " " + DEMO_SONG_PATH + " -o " + out, output, noLeakCheck);
    ASSERT_EQ(status, 0) << output;
    EXPECT_NE(output.find("rendered"), std::string::npos) << output;
    float peak = 0.0f;
    sf_count_t frames = 0;
    ASSERT_TRUE(measure(out, peak, frames));
    EXPECT_GT(peak, 0.01f) << "amsynth rendered silence";
    EXPECT_GT(frames, 44100 * 28);
    std::remove(out.c_str());

    std::string info;
    ASSERT_EQ(run("info " + amsynth, info, noLeakCheck), 0) << info;
    EXPECT_NE(info.find("IsSynth"), std::string::npos) << info;
}

TEST(RealPlugins, TarvelLoadsAndRendersTheDemoSong)
{
    std::string info;
    ASSERT_EQ(run(std::string("info ") + TARVEL_PLUGIN_PATH, info), 0) << info;
    EXPECT_NE(info.find("IsSynth"), std::string::npos) << info;
    std::string out = ::testing::TempDir() + "tarvel_host_tarvel_" + std::to_string(getpid()) + ".wav";
    std::string output;
    ASSERT_EQ(run("render --tail 0 " + std::string(TARVEL_PLUGIN_PATH) + " " + DEMO_SONG_PATH + " -o " + out, output),
              0)
        << output;
    float peak = 0.0f;
    sf_count_t frames = 0;
    ASSERT_TRUE(measure(out, peak, frames));
    EXPECT_GT(frames, 44100 * 28);
    EXPECT_LT(frames, 44100 * 34);
    std::remove(out.c_str());
}

TEST(RealPlugins, TarvelGivesTheSameAudioForEveryBlockSizeWhenEventsSitOnBlockBoundaries)
{
    // Tarvel applies each block's events at its start (it does not read
    // deltaFrames), so block sizes can only agree when every event falls on
    // a boundary of the largest block: at 32768 Hz and 120 BPM an eighth
    // note is 8192 frames. Its 16-frame sub-blocks line up for all sizes here.
    TrackBuilder t;
    t.event(0, {0x90, 57, 100})
        .event(240, {0x90, 64, 90})
        .event(240, {0x80, 57, 0})
        .event(0, {0x90, 60, 80})
        .event(480, {0x80, 64, 0})
        .event(240, {0x80, 60, 0})
        .end(480);
    std::string dir = ::testing::TempDir() + "tarvel_host_blocks_" + std::to_string(getpid());
    std::string song = dir + ".mid";
    std::vector<uint8_t> bytes = midiFile(0, 480, {t});
    std::ofstream(song, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::vector<float> reference;
    for (int block : {4096, 512, 16}) {
        std::string out = dir + "_" + std::to_string(block) + ".wav";
        std::string output;
        ASSERT_EQ(run("render --quiet --rate 32768 --tail 0.5 --format float --block " + std::to_string(block) + " " +
                          TARVEL_PLUGIN_PATH + " " + song + " -o " + out,
                      output),
                  0)
            << output;
        std::vector<float> audio = readAudioFile(out);
        std::remove(out.c_str());
        ASSERT_FALSE(audio.empty());
        if (reference.empty())
            reference = audio;
        else
            EXPECT_TRUE(audio == reference) << "block " << block << " differs from block 4096";
    }
    std::remove(song.c_str());
}

TEST(RealPlugins, TarvelBankSurvivesSaveAndLoad)
{
    // Saving the bank, loading it into a fresh instance and saving again
    // must give the same file: the chunk carries the whole state.
    std::string base = ::testing::TempDir() + "tarvel_host_bank_" + std::to_string(getpid());
    std::string output;
    ASSERT_EQ(run("render --quiet --tail 0 --program 3 --save " + base + "_a.fxb " + TARVEL_PLUGIN_PATH + " " +
                      DEMO_SONG_PATH + " -o " + base + ".wav",
                  output),
              0)
        << output;
    ASSERT_EQ(run("render --quiet --tail 0 --load " + base + "_a.fxb --save " + base + "_b.fxb " + TARVEL_PLUGIN_PATH +
                      " " + DEMO_SONG_PATH + " -o " + base + ".wav",
                  output),
              0)
        << output;
    auto slurp = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(in), {});
    };
    std::vector<char> first = slurp(base + "_a.fxb"), second = slurp(base + "_b.fxb");
    ASSERT_GE(first.size(), 160u);
    EXPECT_EQ(std::string(first.begin() + 8, first.begin() + 12), "FBCh");
    EXPECT_EQ(first[31], 3) << "current program not recorded"; // bank header bytes 28..31
    EXPECT_TRUE(first == second);
    for (const char* suffix : {"_a.fxb", "_b.fxb", ".wav"})
        std::remove((base + suffix).c_str());
}

TEST(RealPlugins, TarvelLoadedAndUnloadedAgainAndAgainKeepsMemoryFlat)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer keeps freed memory resident by design";
#endif
    // What a host's plug-in scanner does: load, open, play a block, close,
    // unload, hundreds of times in one process.
    const auto residentKb = [] {
        long pages = 0, resident = 0;
        std::FILE* f = std::fopen("/proc/self/statm", "r");
        if (f == nullptr || std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = -1;
        if (f != nullptr)
            std::fclose(f);
        return resident * (sysconf(_SC_PAGESIZE) / 1024);
    };
    const auto cycle = [] {
        auto plugin = TarvelHost::Plugin::load(TARVEL_PLUGIN_PATH);
        plugin->start(44100, 512);
        std::vector<float> left(512), right(512);
        plugin->process(left.data(), right.data(), 512);
    };
    for (int i = 0; i < 10; ++i)
        cycle();
    const long before = residentKb();
    ASSERT_GT(before, 0);
    for (int i = 0; i < 400; ++i)
        cycle();
    EXPECT_LT(residentKb() - before, 1024) << "kB grown over 400 loads";
}
