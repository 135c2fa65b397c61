// What `make install`, `make install-user` and `make package` deliver, used
// as a user and a distribution would use it: the installed tree holds
// exactly the listed files; the plug-ins play from where they were installed
// (the LV2 bundle found by liblilv through its search path, the VST 2.4
// plug-in through the installed tarvel-host); the per-user install needs no
// root; and the Debian package passes lintian with no error and unpacks to
// the very tree `make install` made.

#include "support/ChildProcess.h"
#include "support/PluginUnderTest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sys/stat.h>

namespace {

const std::string kTree = std::string(INSTALL_ROOT) + "/tree";
const std::string kPrefix = kTree + "/usr";

// Every file and link below `folder`, by its path relative to `folder`.
void listFiles(const std::string& folder, const std::string& relative, std::set<std::string>& files)
{
    DIR* dir = opendir((folder + "/" + relative).c_str());
    if (dir == nullptr)
        return;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = relative.empty() ? name : relative + "/" + name;
        struct stat info {};
        lstat((folder + "/" + path).c_str(), &info);
        if (S_ISDIR(info.st_mode))
            listFiles(folder, path, files);
        else
            files.insert(path);
    }
    closedir(dir);
}

std::set<std::string> filesBelow(const std::string& folder)
{
    std::set<std::string> files;
    listFiles(folder, "", files);
    return files;
}

// The list, and the manual and its pictures as docs/ holds them.
std::set<std::string> expectedFiles()
{
    std::set<std::string> files;
    std::ifstream list(INSTALLED_FILES);
    for (std::string line; std::getline(list, line);)
        if (!line.empty() && line[0] != '#')
            files.insert(line);
    const std::string docs = std::string(SOURCE_DIR) + "/docs";
    struct stat info {};
    if (stat((docs + "/manual.md").c_str(), &info) == 0)
        files.insert("share/tarvel/manual.md");
    for (const std::string& picture : filesBelow(docs + "/images"))
        files.insert("share/tarvel/images/" + picture);
    return files;
}

int run(const std::vector<std::string>& command, const std::vector<std::string>& environment, const std::string& log,
        std::string* output = nullptr)
{
    ChildProcess process(command, environment, log);
    const int status = process.wait(std::chrono::minutes(10)).value_or(-1);
    if (output != nullptr)
        *output = process.output() + process.errorOutput();
    return status;
}

// make, run from a test: not as part of whichever make runs the tests.
const std::vector<std::string> kMakeEnvironment{"MAKEFLAGS", "MAKELEVEL", "MFLAGS"};

// One second of a held A4 through an edition; its RMS.
double playOneNote(PluginUnderTest& plugin)
{
    plugin.activate(48000, 512);
    VstMidiEvent on{};
    on.type = kVstMidiType;
    on.byteSize = sizeof on;
    on.midiData[0] = static_cast<char>(0x90);
    on.midiData[1] = 69;
    on.midiData[2] = 100;
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&on);
    VstTimeInfo time{};
    time.sampleRate = 48000.0;
    time.tempo = 120.0;
    time.timeSigNumerator = 4;
    time.timeSigDenominator = 4;
    time.flags = kVstTempoValid | kVstTimeSigValid;
    std::vector<float> left(512), right(512);
    double sum = 0.0;
    for (int block = 0; block < 94; ++block) {
        plugin.process(block == 0 ? &events : nullptr, time, left.data(), right.data(), 512);
        time.samplePos += 512;
        for (int i = 0; i < 512; ++i)
            sum += static_cast<double>(left[static_cast<std::size_t>(i)]) *
                   static_cast<double>(left[static_cast<std::size_t>(i)]);
    }
    return std::sqrt(sum / (94.0 * 512.0));
}

} // namespace

TEST(Installed, TreeHoldsExactlyTheListedFiles)
{
    const std::set<std::string> installed = filesBelow(kPrefix), expected = expectedFiles();
    for (const std::string& file : expected)
        EXPECT_TRUE(installed.count(file)) << "missing: " << file;
    for (const std::string& file : installed)
        EXPECT_TRUE(expected.count(file)) << "not in the list: " << file;
    EXPECT_EQ(filesBelow(kTree).size(), installed.size()) << "files outside the prefix";

    // The icons are the sizes their folders say (the PNG header's width and height).
    for (const char* size : {"48", "128", "256"}) {
        std::ifstream png(kPrefix + "/share/icons/hicolor/" + size + "x" + size + "/apps/tarvel.png", std::ios::binary);
        unsigned char header[24] = {};
        png.read(reinterpret_cast<char*>(header), sizeof header);
        const unsigned width = (unsigned{header[18]} << 8) | header[19];
        const unsigned height = (unsigned{header[22]} << 8) | header[23];
        EXPECT_EQ(std::to_string(width), size);
        EXPECT_EQ(std::to_string(height), size);
    }
}

TEST(Installed, PluginsAndProgramsWorkFromWhereTheyWereInstalled)
{
    // The VST 2.4 plug-in through the installed host.
    std::string said;
    EXPECT_EQ(
        run({kPrefix + "/bin/tarvel-host", "info", kPrefix + "/lib/vst/Tarvel.so"}, {}, kTree + "/../info", &said), 0)
        << said;
    EXPECT_NE(said.find("unique ID:   'zkvq'"), std::string::npos) << said;
    EXPECT_NE(said.find("parameters (56)"), std::string::npos) << said;
    EXPECT_EQ(run({kPrefix + "/bin/tarvel", "--version"}, {}, kTree + "/../version", &said), 0) << said;
    EXPECT_EQ(said.rfind("tarvel ", 0), 0u) << said;

    // The other editions from their installed places: LV2 through liblilv
    // with the installed folder as its search path.
    struct Edition {
        const char* name;
        std::unique_ptr<PluginUnderTest> plugin;
    };
    Edition editions[] = {{"LV2", loadLv2(kPrefix + "/lib/lv2", "urn:tarvel:synth")},
                          {"VST3", loadVst3(kPrefix + "/lib/vst3/Tarvel.vst3")},
                          {"CLAP", loadClap(kPrefix + "/lib/clap/Tarvel.clap")}};
    for (Edition& edition : editions) {
        ASSERT_TRUE(edition.plugin != nullptr) << edition.name;
        ASSERT_EQ(edition.plugin->error, "") << edition.name;
        EXPECT_EQ(edition.plugin->parameterInfo().size(), 56u) << edition.name;
        EXPECT_GT(playOneNote(*edition.plugin), 1e-3) << edition.name;
    }
}

TEST(Installed, ForOneUserWithoutRoot)
{
    const std::string home = std::string(INSTALL_ROOT) + "/home";
    std::system(("rm -rf '" + home + "' && mkdir -p '" + home + "'").c_str());
    std::vector<std::string> environment = kMakeEnvironment;
    environment.insert(environment.end(), {"HOME=" + home, "XDG_DATA_HOME"});
    std::string said;
    ASSERT_EQ(run({"make", "-C", SOURCE_DIR, "--no-print-directory", "install-user", std::string("BUILD=") + BUILD_DIR},
                  environment, home + "/../install-user", &said),
              0)
        << said;
    const std::set<std::string> files = filesBelow(home);
    for (const char* file :
         {".vst/Tarvel.so", ".lv2/Tarvel.lv2/manifest.ttl", ".lv2/Tarvel.lv2/Tarvel.so",
          ".vst3/Tarvel.vst3/Contents/x86_64-linux/Tarvel.so", ".clap/Tarvel.clap", ".local/bin/tarvel",
          ".local/bin/tarvel-host", ".local/share/tarvel/factory.fxb", ".local/share/man/man1/tarvel.1.gz",
          ".local/share/applications/tarvel.desktop", ".local/share/icons/hicolor/48x48/apps/tarvel.png"})
        EXPECT_TRUE(files.count(file)) << "missing: ~/" << file;
    // The plug-ins and programs are the installed ones, byte for byte.
    for (const auto& [mine, installed] :
         std::map<std::string, std::string>{{".vst/Tarvel.so", "lib/vst/Tarvel.so"},
                                            {".clap/Tarvel.clap", "lib/clap/Tarvel.clap"},
                                            {".local/bin/tarvel", "bin/tarvel"}})
        EXPECT_EQ(readText(home + "/" + mine), readText(kPrefix + "/" + installed)) << mine;
    // The menu finds the program where it went, on the PATH or not.
    const std::string entry = readText(home + "/.local/share/applications/tarvel.desktop");
    EXPECT_NE(entry.find("\nExec=" + home + "/.local/bin/tarvel\n"), std::string::npos) << entry;
    struct stat info {};
    stat((home + "/.local/bin/tarvel").c_str(), &info);
    EXPECT_TRUE(info.st_mode & S_IXUSR);
}

TEST(Package, DebPassesLintianAndUnpacksToTheInstalledTree)
{
    std::string said;
    ASSERT_EQ(run({"make", "-C", SOURCE_DIR, "--no-print-directory", "package-deb", std::string("BUILD=") + BUILD_DIR},
                  kMakeEnvironment, std::string(INSTALL_ROOT) + "/package", &said),
              0)
        << said;
    const std::string deb = PACKAGE_FILE;

    // No error; the tags lintian reports are in the test's log.
    EXPECT_EQ(run({"lintian", "--fail-on", "error", "--tag-display-limit", "0", deb}, {},
                  std::string(INSTALL_ROOT) + "/lintian", &said),
              0)
        << said;
    std::cout << "lintian:\n" << said;

    // The dependencies come from the binaries.
    EXPECT_EQ(run({"dpkg-deb", "--field", deb, "Depends"}, {}, std::string(INSTALL_ROOT) + "/depends", &said), 0);
    for (const char* library : {"libc6", "libjack", "libcairo2", "libx11-6", "libsndfile1"})
        EXPECT_NE(said.find(library), std::string::npos) << said;

    // Unpacked, the same files with the same bytes and modes as make install's.
    const std::string unpacked = std::string(INSTALL_ROOT) + "/unpacked";
    std::system(("rm -rf '" + unpacked + "'").c_str());
    ASSERT_EQ(run({"dpkg-deb", "-x", deb, unpacked}, {}, unpacked + "-log"), 0);
    const std::set<std::string> fromPackage = filesBelow(unpacked), fromInstall = filesBelow(kTree);
    EXPECT_EQ(fromPackage, fromInstall);
    for (const std::string& file : fromInstall) {
        if (!fromPackage.count(file))
            continue;
        EXPECT_EQ(readText(unpacked + "/" + file), readText(kTree + "/" + file)) << file;
        struct stat a {
        }, b{};
        stat((unpacked + "/" + file).c_str(), &a);
        stat((kTree + "/" + file).c_str(), &b);
        EXPECT_EQ(a.st_mode, b.st_mode) << file;
    }
}
