// The tarvel-host program as a user meets it: every bad input ends with one
// clear error line and a non-zero exit, and the options do what they say.

#include "tests/host/MidiBuilder.h"
#include "tests/support/ReadAudioFile.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <sndfile.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct HostRun {
    int status;
    std::string output;
};

HostRun host(const std::string& args)
{
    std::string command = std::string(TARVEL_HOST_BINARY) + " " + args + " 2>&1";
    HostRun run{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    char buffer[4096];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, got);
    int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return run;
}

class HostCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = ::testing::TempDir() + "tarvel_host_cli_" + std::to_string(getpid()) + "/";
        mkdir(dir.c_str(), 0755);
        song = dir + "song.mid";
        write(song, sharedSong());
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    static void write(const std::string& path, const std::vector<uint8_t>& bytes)
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    static std::vector<uint8_t> read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    // Reads a rendered file back: interleaved stereo floats.
    static std::vector<float> audio(const std::string& path, SF_INFO* info = nullptr)
    {
        return readAudioFile(path, info);
    }
    std::string render(const std::string& options, const std::string& out)
    {
        return "render --quiet --rate 48000 --tail 0.1 " + options + " " + FAKE_SYNTH_PATH + " " + song + " -o " + out;
    }

    std::string dir, song;
};

int lines(const std::string& text)
{
    int n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

} // namespace

TEST_F(HostCli, RendersTheSongAndReportsTheResult)
{
    HostRun r = host("render --rate 48000 --tail 0.1 --format float " + std::string(FAKE_SYNTH_PATH) + " " + song +
                     " -o " + dir + "out.wav");
    ASSERT_EQ(r.status, 0) << r.output;
    // Not a terminal here: plain percentage lines, then the summary.
    EXPECT_NE(r.output.find("rendering: 0%"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("rendering: 100%"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("rendered 3.10 s (song 3.00 s + tail 0.10 s)"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("peak -"), std::string::npos);
    EXPECT_NE(r.output.find("x real time"), std::string::npos);
    SF_INFO info{};
    std::vector<float> samples = audio(dir + "out.wav", &info);
    EXPECT_EQ(info.samplerate, 48000);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.frames, 148800);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_NEAR(samples[2 * 100], 0.1 * (100 / 127.0) * std::sin(2 * M_PI * 440.0 * 100 / 48000.0), 1e-6);
    EXPECT_EQ(samples[2 * 100 + 1], -samples[2 * 100]);
}

TEST_F(HostCli, SameAudioForEveryBlockSizeAndFormat)
{
    ASSERT_EQ(host(render("--block 512 --format float", dir + "a.wav")).status, 0);
    ASSERT_EQ(host(render("--block 1 --format float", dir + "b.wav")).status, 0);
    EXPECT_EQ(audio(dir + "a.wav"), audio(dir + "b.wav"));

    ASSERT_EQ(host(render("--format 16", dir + "c.wav")).status, 0);
    ASSERT_EQ(host(render("--format 24", dir + "d.flac")).status, 0);
    SF_INFO info16{}, info24{};
    std::vector<float> reference = audio(dir + "a.wav");
    std::vector<float> pcm16 = audio(dir + "c.wav", &info16);
    std::vector<float> flac = audio(dir + "d.flac", &info24);
    EXPECT_EQ(info16.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(info24.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    ASSERT_EQ(pcm16.size(), reference.size());
    ASSERT_EQ(flac.size(), reference.size());
    for (std::size_t i = 0; i < reference.size(); i += 97) {
        ASSERT_NEAR(pcm16[i], reference[i], 1.0 / 32768) << i;
        ASSERT_NEAR(flac[i], reference[i], 1.0 / 8388608 * 2) << i;
    }
}

TEST_F(HostCli, ParametersByTruncatedNameProgramsAndPresetRoundTrip)
{
    // "Gain" 0.25 halves the output; FilterCutoff finds the host name "FilterCu".
    HostRun set = host("render --rate 48000 --tail 0.1 --program 1 --set Gain=0.25 --set FilterCutoff=0.3 "
                       "--save " +
                       dir + "saved.fxb --format float " + FAKE_SYNTH_PATH + " " + song + " -o " + dir + "quiet.wav");
    ASSERT_EQ(set.status, 0) << set.output;
    EXPECT_NE(set.output.find("set Gain (0) = 0.25 [25.0 %]"), std::string::npos) << set.output;
    EXPECT_NE(set.output.find("set FilterCu (1) = 0.3"), std::string::npos) << set.output;
    std::vector<float> loud = (host(render("--format float", dir + "loud.wav")), audio(dir + "loud.wav"));
    std::vector<float> quiet = audio(dir + "quiet.wav");
    ASSERT_EQ(loud.size(), quiet.size());
    EXPECT_FLOAT_EQ(quiet[2 * 100], loud[2 * 100] * 0.5f);

    // Loading the saved bank restores program 1 with its settings: same audio,
    // and saving again gives the same bytes.
    HostRun load =
        host(render("--format float --load " + dir + "saved.fxb --save " + dir + "again.fxb", dir + "load.wav"));
    ASSERT_EQ(load.status, 0) << load.output;
    EXPECT_EQ(audio(dir + "load.wav"), quiet);
    EXPECT_EQ(read(dir + "again.fxb"), read(dir + "saved.fxb"));
    std::vector<uint8_t> bank = read(dir + "saved.fxb");
    ASSERT_GT(bank.size(), 160u);
    EXPECT_EQ(std::string(bank.begin() + 8, bank.begin() + 12), "FBCh");

    // A program saved as .fxp goes into whichever program is current.
    ASSERT_EQ(host(render("--load " + dir + "saved.fxb --save " + dir + "one.fxp", dir + "x.wav")).status, 0);
    std::vector<uint8_t> program = read(dir + "one.fxp");
    EXPECT_EQ(std::string(program.begin() + 8, program.begin() + 12), "FPCh");
    ASSERT_EQ(host(render("--format float --load " + dir + "one.fxp", dir + "fxp.wav")).status, 0);
    EXPECT_EQ(audio(dir + "fxp.wav"), quiet);
}

TEST_F(HostCli, InfoListsIdentityParametersAndPrograms)
{
    HostRun r = host(std::string("info ") + FAKE_SYNTH_PATH);
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("name:        FakeSynth"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("unique ID:   'FkSy'"), std::string::npos);
    EXPECT_NE(r.output.find("CanReplacing ProgramChunks IsSynth"), std::string::npos);
    EXPECT_NE(r.output.find("parameters (5):"), std::string::npos);
    EXPECT_NE(r.output.find("FilterCu  50.0"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("programs (4, current 0):"), std::string::npos);
    EXPECT_NE(r.output.find("Fake 4"), std::string::npos);
    HostRun help = host("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("unique prefix"), std::string::npos);
}

TEST_F(HostCli, BadInputGetsOneClearErrorLine)
{
    struct Case {
        std::string args;
        std::string message;
        int status;
    };
    std::string fake = FAKE_SYNTH_PATH;
    std::vector<uint8_t> shared = sharedSong();
    write(dir + "truncated.mid", std::vector<uint8_t>(shared.begin(), shared.begin() + 30));
    write(dir + "text.mid", {'h', 'e', 'l', 'l', 'o', '\n'});
    write(dir + "notaplugin.so", std::vector<uint8_t>(4096, 'x'));
    write(dir + "garbage.fxb", {'C', 'c', 'n', 'K', 0, 0});
    // Damaged containers: a wrong magic, or only its first bytes.
    std::vector<uint8_t> damaged = {'C', 'c', 'n', 'X', 0, 0, 0, 60, 'F', 'P', 'C', 'h'};
    damaged.resize(68, 0);
    write(dir + "damaged.fxp", damaged);
    for (int n = 1; n <= 3; ++n)
        write(dir + "cut" + std::to_string(n) + ".fxp", std::vector<uint8_t>(damaged.begin(), damaged.begin() + n));
    std::string out = " -o " + dir + "out.wav";
    std::vector<Case> cases = {
        {"render /nonexistent/synth.so " + song + out,
         "cannot load plug-in /nonexistent/synth.so: /nonexistent/synth.so: cannot open shared object file", 1},
        {"render " + dir + "notaplugin.so " + song + out, "notaplugin.so: invalid ELF header", 1},
        {"render " + std::string(NOT_A_PLUGIN_PATH) + " " + song + out, "exports neither VSTPluginMain nor main", 1},
        {"render " + std::string(NULL_PLUGIN_PATH) + " " + song + out, "returned a null effect", 1},
        {"render " + fake + " " + dir + "missing.mid" + out,
         "cannot open MIDI file " + dir + "missing.mid: No such file", 1},
        {"render " + fake + " " + dir + "truncated.mid" + out, "file truncated in delta time at byte offset 30", 1},
        {"render " + fake + " " + dir + "text.mid" + out,
         "no \"MThd\" header (not a Standard MIDI File) at byte offset 0", 1},
        {"render --set Volume=0.5 " + fake + " " + song + out, "unknown parameter \"Volume\"", 1},
        {"render --set PhaserMode=0.5 " + fake + " " + song + out, "ambiguous parameter \"PhaserMode\"", 1},
        {"render --set Gain=2 " + fake + " " + song + out, "parameter values are normalised", 2},
        {"render --program 9 " + fake + " " + song + out, "--program 9 out of range: the plug-in has 4 programs", 1},
        {"render --load " + dir + "garbage.fxb " + fake + " " + song + out, "malformed preset", 1},
        {"render --load " + dir + "none.fxp " + fake + " " + song + out, "cannot open preset", 1},
        {"render --load " + dir + "damaged.fxp " + fake + " " + song + out, "damaged.fxp: neither an .fxp/.fxb", 1},
        {"render --load " + dir + "cut1.fxp " + fake + " " + song + out, "cut1.fxp: neither an .fxp/.fxb", 1},
        {"render --load " + dir + "cut2.fxp " + fake + " " + song + out, "cut2.fxp: neither an .fxp/.fxb", 1},
        {"render --load " + dir + "cut3.fxp " + fake + " " + song + out, "cut3.fxp: neither an .fxp/.fxb", 1},
        {"render " + fake + " " + song + " -o /nonexistent/dir/out.wav", "cannot write /nonexistent/dir/out.wav", 1},
        {"render " + fake + " " + song + " -o " + dir + "out.mp3", "must end in .wav or .flac", 1},
        {"render --format float " + fake + " " + song + " -o " + dir + "out.flac", "FLAC stores integer samples only",
         1},
        {"render --save /nonexistent/dir/x.fxb " + fake + " " + song + out,
         "cannot write preset /nonexistent/dir/x.fxb", 1},
        {"render --block 0 " + fake + " " + song + out, "--block needs a whole number from 1 to 8192", 2},
        {"render --block 8193 " + fake + " " + song + out, "--block needs a whole number from 1 to 8192", 2},
        {"render " + fake + " " + song, "render needs an output file", 2},
        {"render --bogus " + fake + " " + song + out, "unknown option --bogus", 2},
        {"info /nonexistent.so", "cannot load plug-in", 1},
        {"play", "unknown command \"play\"", 2},
    };
    for (const Case& c : cases) {
        HostRun r = host(c.args);
        // Refused before anything was rendered or written.
        EXPECT_NE(access((dir + "out.wav").c_str(), F_OK), 0) << c.args;
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.args << "\n" << r.output;
        EXPECT_EQ(r.output.rfind("tarvel-host: ", 0), 0u) << r.output;
        EXPECT_EQ(lines(r.output), 1) << c.args << "\n" << r.output;
    }
}

TEST_F(HostCli, InterruptKeepsWhatWasRendered)
{
    // An hour of one held note: far longer than the test waits.
    TrackBuilder t;
    t.tempo(0, 500000).event(0, {0x90, 69, 100}).event(480 * 7200, {0x80, 69, 0}).end();
    write(dir + "long.mid", midiFile(0, 480, {t}));
    std::string out = dir + "long.wav", log = dir + "long.log";
    std::vector<std::string> args = {TARVEL_HOST_BINARY, "render",         "--format", "float", "--block", "64",
                                     FAKE_SYNTH_PATH,    dir + "long.mid", "-o",       out};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // Wait until rendering has visibly started, then interrupt.
    for (int i = 0; i < 200 && read(log).size() < 20; ++i)
        usleep(20000);
    usleep(100000);
    kill(pid, SIGINT);
    int raw = 0;
    ASSERT_EQ(waitpid(pid, &raw, 0), pid);
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 130);
    std::vector<uint8_t> text = read(log);
    std::string message(text.begin(), text.end());
    EXPECT_NE(message.find("interrupted: " + out + " holds the first"), std::string::npos) << message;
    SF_INFO info{};
    std::vector<float> samples = audio(out, &info);
    EXPECT_GT(info.frames, 0);
    EXPECT_LT(info.frames, 48000LL * 3600);
}

TEST_F(HostCli, NonFiniteOutputIsCountedWrittenAsSilenceAndFails)
{
    // A raw program chunk of the test instrument with an infinite gain:
    // every sample it puts out is NaN (0 x infinity) or infinite.
    std::vector<uint8_t> chunk = {'v', 'q', 'p', 's'};
    chunk.resize(4 + 24, 0);
    for (float v : {std::numeric_limits<float>::infinity(), 0.5f, 0.5f, 0.5f, 0.5f}) {
        uint8_t b[4];
        std::memcpy(b, &v, 4);
        chunk.insert(chunk.end(), b, b + 4);
    }
    write(dir + "broken.chunk", chunk);
    HostRun r = host(render("--load " + dir + "broken.chunk", dir + "out.wav"));
    EXPECT_EQ(r.status, 1) << r.output;
    // Both channels of the 3.1 s rendered, from the very first frame.
    EXPECT_NE(r.output.find("error: the plug-in put out 297600 non-finite samples (NaN or infinity), the first at "
                            "0.00 s (frame 0)"),
              std::string::npos)
        << r.output;
    SF_INFO info{};
    std::vector<float> samples = audio(dir + "out.wav", &info);
    // Silence, not full scale; and silence ends the tail, not the tail limit.
    EXPECT_EQ(info.frames, 148800);
    EXPECT_EQ(std::count(samples.begin(), samples.end(), 0.0f), static_cast<long>(samples.size()));
}

TEST_F(HostCli, SavingFailsWhenThePluginHandsOutNoChunk)
{
    for (const char* size : {"0", "-1"}) {
        setenv("FAKE_SYNTH_CHUNK_SIZE", size, 1);
        for (const char* name : {"x.fxp", "x.fxb"}) {
            HostRun r = host(render(std::string("--save ") + dir + name, dir + "out.wav"));
            EXPECT_EQ(r.status, 1) << r.output;
            EXPECT_NE(r.output.find(std::string("error: cannot save ") + dir + name + ": the plug-in handed out no "),
                      std::string::npos)
                << r.output;
            EXPECT_NE(access((dir + name).c_str(), F_OK), 0) << "an empty preset was written";
        }
    }
    unsetenv("FAKE_SYNTH_CHUNK_SIZE");
}
