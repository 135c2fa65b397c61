// The state file on its own: a save the disk refuses (here a file size
// limit, as a full disk refuses) leaves the last good state exactly as it
// was and no half-written file beside it, and only the process that holds
// the state ever replaces it.

#include "standalone/StateFile.h"

#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <sys/resource.h>

namespace {

std::vector<uint8_t> bytesOf(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

StateFile::Snapshot snapshot(std::size_t chunkSize, int program)
{
    StateFile::Snapshot state;
    state.bankChunk.assign(chunkSize, 0x5A);
    state.bankChunk[0] = 'v';
    state.currentProgram = program;
    state.uniqueID = 0x7a6b7671;
    state.version = 1;
    state.programCount = 32;
    return state;
}

std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                names.emplace_back(entry->d_name);
        closedir(dir);
    }
    return names;
}

} // namespace

TEST(StateFile, ARefusedSaveKeepsTheLastGoodStateAndOnlyItsHolderSaves)
{
    char pattern[] = "/tmp/tarvel-state-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = std::string(pattern) + "/config/tarvel";
    StateFile file(folder + "/state.fxb");
    std::string error;
    ASSERT_TRUE(file.claim(error)) << error;

    const StateFile::Snapshot good = snapshot(1000, 3), bigger = snapshot(200000, 5);
    ASSERT_TRUE(file.save(good, error)) << error;
    EXPECT_EQ(bytesOf(readText(file.path())), StateFile::encode(good));

    // The disk takes 64 KiB more and no more.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = 64 * 1024;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool refusedSave = file.save(bigger, error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(refusedSave);
    EXPECT_NE(error.find("File too large"), std::string::npos) << error;
    EXPECT_EQ(bytesOf(readText(file.path())), StateFile::encode(good));
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"state.fxb"});

    // A second process reads the state but never writes it.
    StateFile second(file.path());
    EXPECT_FALSE(second.claim(error));
    EXPECT_NE(error.find("another tarvel"), std::string::npos) << error;
    EXPECT_FALSE(second.save(bigger, error));
    EXPECT_EQ(bytesOf(readText(file.path())), StateFile::encode(good));

    ASSERT_TRUE(file.save(bigger, error)) << error;
    EXPECT_EQ(bytesOf(readText(file.path())), StateFile::encode(bigger));
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"state.fxb"});
    std::system(("rm -rf " + std::string(pattern)).c_str());
}
