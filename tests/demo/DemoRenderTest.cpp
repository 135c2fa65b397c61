// `make demo` end to end: tarvel-host renders the demo song with the factory
// bank, and the result is music at a sane level for the song's length plus
// the echoes' tail.

#include "FactoryBank.h"
#include "host/MidiFile.h"
#include "host/TempoMap.h"
#include "tests/support/ReadAudioFile.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

struct Rendering {
    int status = -1;
    int rate = 0;
    std::vector<float> left, right;
};

Rendering renderDemo(const std::string& extra)
{
    Rendering r;
    const std::string out = ::testing::TempDir() + "tarvel_demo_" + std::to_string(getpid()) + ".wav";
    const std::string command = std::string(TARVEL_HOST_BINARY) + " render --quiet --format float --load " +
                                FACTORY_BANK_PATH + " " + extra + " " + TARVEL_PLUGIN_PATH + " " + DEMO_SONG_PATH +
                                " -o " + out;
    const int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    SF_INFO info{};
    const std::vector<float> frames = readAudioFile(out, &info);
    if (info.channels == 0)
        return r;
    std::remove(out.c_str());
    r.rate = info.samplerate;
    for (std::size_t i = 0; i + 1 < frames.size(); i += std::size_t(info.channels)) {
        r.left.push_back(frames[i]);
        r.right.push_back(frames[i + 1]);
    }
    return r;
}

double dbfs(double x)
{
    return 20.0 * std::log10(std::max(x, 1e-12));
}

double rms(const std::vector<float>& x, std::size_t from, std::size_t to)
{
    double sum = 0.0;
    for (std::size_t i = from; i < to; ++i)
        sum += double(x[i]) * double(x[i]);
    return std::sqrt(sum / double(std::max<std::size_t>(1, to - from)));
}

class DemoRender : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        demo = new Rendering(renderDemo(""));
        const TarvelHost::MidiFile song = TarvelHost::MidiFile::load(DEMO_SONG_PATH);
        songSeconds = TarvelHost::TempoMap(song, 44100).secondsAtTick(song.lengthTicks);
    }
    static void TearDownTestSuite() { delete demo; }

    static Rendering* demo;
    static double songSeconds;
};

Rendering* DemoRender::demo = nullptr;
double DemoRender::songSeconds = 0.0;

} // namespace

TEST_F(DemoRender, IsMusicAtASaneLevel)
{
    ASSERT_EQ(demo->status, 0);
    ASSERT_EQ(demo->rate, 44100);
    ASSERT_FALSE(demo->left.empty());
    float peak = 0.0f;
    for (float v : demo->left) {
        ASSERT_TRUE(std::isfinite(v));
        peak = std::max(peak, std::fabs(v));
    }
    EXPECT_LT(dbfs(peak), 0.0);
    EXPECT_GT(dbfs(peak), -20.0);
    const std::size_t songEnd = std::size_t(songSeconds * demo->rate);
    ASSERT_LE(songEnd, demo->left.size());
    EXPECT_GT(dbfs(rms(demo->left, 0, songEnd)), -30.0);

    // Something plays all through the song: no second of it is silent.
    for (std::size_t at = 0; at + std::size_t(demo->rate) <= songEnd; at += std::size_t(demo->rate))
        EXPECT_GT(dbfs(rms(demo->left, at, at + std::size_t(demo->rate))), -40.0) << "second " << at / 44100;

    // The instrument is mono: both outputs carry the same signal.
    EXPECT_EQ(demo->left, demo->right);
}

TEST_F(DemoRender, LastsTheSongAndAnEchoTailThatDiesAway)
{
    ASSERT_EQ(demo->status, 0);
    const double seconds = double(demo->left.size()) / demo->rate;
    ASSERT_GT(songSeconds, 25.0);
    // The host renders on until the output has been silent for 2 s; the
    // program's echoes take a few seconds more to fade.
    EXPECT_GE(seconds, songSeconds + 2.0);
    EXPECT_LE(seconds, songSeconds + 12.0);
    const std::size_t last = demo->left.size() - std::size_t(demo->rate);
    EXPECT_LT(dbfs(rms(demo->left, last, demo->left.size())), -90.0);
}

TEST_F(DemoRender, PlaysProgramZeroOfTheBank)
{
    ASSERT_EQ(FactoryBank::load().currentProgram, 0);
    const Rendering explicitZero = renderDemo("--program 0");
    ASSERT_EQ(explicitZero.status, 0);
    EXPECT_EQ(explicitZero.left, demo->left);
    const Rendering other = renderDemo("--program 2");
    ASSERT_EQ(other.status, 0);
    EXPECT_NE(other.left, demo->left);
}
