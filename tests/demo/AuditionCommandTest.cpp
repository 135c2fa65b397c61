// `tarvel-host audition` as a user runs it on the factory bank: one file per
// program named after it, or every program in one file with the gaps
// between them, and a table of what it measured.

#include "FactoryBank.h"
#include "tests/support/ReadAudioFile.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct HostRun {
    int status = -1;
    std::string output;
};

HostRun tarvelHost(const std::string& arguments)
{
    HostRun run;
    const std::string command = std::string(TARVEL_HOST_BINARY) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        run.output += buffer;
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

// Frames of the file and its loudest sample (-1 frames when it cannot be read).
std::pair<long, float> frames(const std::string& path)
{
    SF_INFO info{};
    const std::vector<float> samples = readAudioFile(path, &info);
    if (info.channels == 0)
        return {-1, 0.0f};
    float peak = 0.0f;
    for (float v : samples)
        peak = std::max(peak, std::fabs(v));
    return {long(info.frames), peak};
}

} // namespace

TEST(AuditionCommand, PlaysTheBankIntoOneFileOrOneFilePerProgram)
{
    const std::string dir = ::testing::TempDir() + "tarvel_audition_" + std::to_string(getpid());
    const std::string common = std::string("audition --load ") + FACTORY_BANK_PATH + " --programs 0,5 --format float ";
    const HostRun split = tarvelHost(common + TARVEL_PLUGIN_PATH + " --split " + dir);
    ASSERT_EQ(split.status, 0) << split.output;
    const std::vector<FactoryBank::SheetEntry> sheet = FactoryBank::sheet();
    ASSERT_GT(sheet.size(), 5u);
    long total = 0;
    for (int slot : {0, 5}) {
        const FactoryBank::SheetEntry& entry = sheet[std::size_t(slot)];
        char prefix[8];
        std::snprintf(prefix, sizeof prefix, "%02d ", slot);
        const std::string path = dir + "/" + prefix + entry.name + ".wav";
        const auto [length, peak] = frames(path);
        // The phrase lasts 8.5 s; then the program's release, no longer.
        EXPECT_GE(length, long(8.5 * 44100)) << path;
        EXPECT_LE(length, long((8.5 + entry.releaseSeconds) * 44100) + 1) << path;
        EXPECT_GT(peak, 0.01f) << path;
        total += length;
        // The table names the program with its loudness and true peak.
        EXPECT_NE(split.output.find(entry.name), std::string::npos) << split.output;
        std::remove(path.c_str());
    }
    EXPECT_NE(split.output.find("LUFS"), std::string::npos) << split.output;
    EXPECT_NE(split.output.find("dBTP"), std::string::npos) << split.output;
    rmdir(dir.c_str());

    // The same two programs in one file, each followed by half a second of silence.
    const std::string together = dir + ".wav";
    const HostRun one = tarvelHost(common + "--gap 0.5 --quiet " + TARVEL_PLUGIN_PATH + " -o " + together);
    ASSERT_EQ(one.status, 0) << one.output;
    EXPECT_TRUE(one.output.empty()) << one.output;
    EXPECT_EQ(frames(together).first, total + 2 * 22050);
    std::remove(together.c_str());

    // Asked for neither output, or for a program the plug-in lacks, it says so.
    EXPECT_EQ(tarvelHost(common + TARVEL_PLUGIN_PATH).status, 2);
    EXPECT_EQ(tarvelHost(std::string("audition --programs 32 ") + TARVEL_PLUGIN_PATH + " -o " + together).status, 2);
}
