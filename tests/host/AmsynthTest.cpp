// Real instruments through the command-line host: the Debian-packaged
// amsynth VST (package "amsynth") and Tarvel itself.

#include <cmath>
#include <cstdio>
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

int run(const std::string& args, std::string& output)
{
    FILE* pipe = popen((std::string(TARVEL_HOST_BINARY) + " " + args + " 2>&1").c_str(), "r");
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
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr)
        return false;
    std::vector<float> samples(static_cast<std::size_t>(info.frames) * info.channels);
    sf_readf_float(f, samples.data(), info.frames);
    sf_close(f);
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
    int status = run("render --block 256 --tail 0.5 " + amsynth + " " + DEMO_SONG_PATH + " -o " + out, output);
    ASSERT_EQ(status, 0) << output;
    EXPECT_NE(output.find("rendered"), std::string::npos) << output;
    float peak = 0.0f;
    sf_count_t frames = 0;
    ASSERT_TRUE(measure(out, peak, frames));
    EXPECT_GT(peak, 0.01f) << "amsynth rendered silence";
    EXPECT_GT(frames, 44100 * 28);
    std::remove(out.c_str());

    std::string info;
    ASSERT_EQ(run("info " + amsynth, info), 0) << info;
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
