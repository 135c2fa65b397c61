// The application as a user meets it, against private JACK servers on the
// dummy backend: it plays the notes a JACK client sends at their pitch, it
// keeps the bank and program between runs to the byte, a damaged state
// gives way to the factory bank without being lost, --connect joins the
// playback ports and every MIDI source, and without a server it says how to
// start one and gives up at once.

#include "StandaloneFixture.h"

#include "formats/HostedSynth.h"
#include "host/FxContainer.h"
#include "support/JackProbe.h"
#include "support/JackServer.h"

#include <chrono>
#include <cmath>
#include <dirent.h>
#include <fstream>
#include <thread>

using namespace std::chrono_literals;

namespace {

double centsBetween(double hz, double expected)
{
    return hz > 0.0 ? 1200.0 * std::log2(hz / expected) : 1e9;
}

double noteHz(int note)
{
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

int linesContaining(const std::string& text, const std::string& what)
{
    int count = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        count += text.substr(start, end - start).find(what) != std::string::npos ? 1 : 0;
        start = end + 1;
    }
    return count;
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> namesStartingWith(const std::string& folder, const std::string& prefix)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir))
            if (std::string(entry->d_name).rfind(prefix, 0) == 0)
                names.emplace_back(entry->d_name);
        closedir(dir);
    }
    return names;
}

} // namespace

class Standalone : public StandaloneFixture {};

TEST_F(Standalone, PlaysTheNotesAJackClientSendsAtTheirPitch)
{
    JackServer server(folder);
    ASSERT_TRUE(server.ready()) << server.log();
    auto app = startApp({}, server.name());
    JackProbe probe(server.name());
    ASSERT_TRUE(probe.ok());
    ASSERT_TRUE(probe.connectTo("Tarvel", 10s)) << app->errorOutput();
    for (int note : {57, 76}) {
        const JackProbe::Take take = probe.play(note);
        ASSERT_TRUE(take.complete);
        EXPECT_GT(take.rms, 1e-3) << "note " << note;
        EXPECT_LT(std::fabs(centsBetween(take.pitchHz, noteHz(note))), 25.0)
            << "note " << note << " played at " << take.pitchHz << " Hz";
    }
    EXPECT_EQ(quit(*app, SIGTERM), 0) << app->errorOutput();
}

TEST_F(Standalone, KeepsTheBankAndProgramBetweenRunsToTheByte)
{
    // A program of the user's own: factory program 12 with its cutoff moved.
    HostedSynth hosted;
    Synth& maker = hosted.synth();
    std::vector<uint8_t> factory(FactoryBank::bankChunk(), FactoryBank::bankChunk() + FactoryBank::bankChunkSize());
    maker.setChunk(factory.data(), static_cast<VstInt32>(factory.size()), false);
    maker.setProgram(12);
    maker.setParameter(27, 0.125f);
    void* data = nullptr;
    const VstInt32 size = maker.getChunk(&data, true);
    TarvelHost::FxProgram program;
    program.opaque = true;
    program.fxID = maker.getAeffect()->uniqueID;
    program.fxVersion = maker.getAeffect()->version;
    program.numParams = maker.getAeffect()->numParams;
    program.name = "Mine";
    program.chunk.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    const std::string programFile = folder + "/mine.fxp";
    writeBytes(programFile, TarvelHost::writeFxProgram(program));

    JackServer server(folder);
    ASSERT_TRUE(server.ready()) << server.log();
    std::vector<uint8_t> firstBank;
    {
        // The first run loads it into program 0, then a program change
        // chooses program 7, and Ctrl-C ends it.
        auto app = startApp({"--load", programFile}, server.name());
        JackProbe probe(server.name());
        ASSERT_TRUE(probe.ok());
        ASSERT_TRUE(probe.connectTo("Tarvel", 10s)) << app->errorOutput();
        const JackProbe::Take take = probe.play(69, 7);
        ASSERT_TRUE(take.complete);
        EXPECT_GT(take.rms, 1e-3);
        EXPECT_EQ(quit(*app, SIGINT), 0) << app->errorOutput();
        const TarvelHost::FxBank saved = savedState();
        EXPECT_EQ(saved.currentProgram, 7);
        EXPECT_EQ(parameterOf(saved.chunk, 0, 27), 0.125f);
        EXPECT_EQ(parameterOf(saved.chunk, 12, 27), parameterOf(factoryBank(), 12, 27));
        firstBank = saved.chunk;
    }
    {
        // The second run starts from that state; a program change back to 0
        // and a kill end it, and the bank it saves is the same to the byte.
        auto app = startApp({}, server.name());
        JackProbe probe(server.name());
        ASSERT_TRUE(probe.ok());
        ASSERT_TRUE(probe.connectTo("Tarvel", 10s)) << app->errorOutput();
        ASSERT_TRUE(probe.play(69, 0).complete);
        EXPECT_EQ(quit(*app, SIGTERM), 0) << app->errorOutput();
        const TarvelHost::FxBank saved = savedState();
        EXPECT_EQ(saved.currentProgram, 0);
        EXPECT_EQ(saved.chunk, firstBank);
        EXPECT_EQ(linesContaining(app->errorOutput(), "factory bank"), 0) << app->errorOutput();
    }
}

TEST_F(Standalone, ADamagedStateGivesWayToTheFactoryBankAndIsKeptAside)
{
    JackServer server(folder);
    ASSERT_TRUE(server.ready()) << server.log();
    const std::vector<uint8_t> sound = TarvelHost::writeFxBank([] {
        TarvelHost::FxBank bank;
        HostedSynth hosted;
        bank.opaque = true;
        bank.fxID = hosted.synth().getAeffect()->uniqueID;
        bank.numPrograms = 32;
        bank.currentProgram = 4;
        bank.chunk = factoryBank();
        return bank;
    }());
    const std::vector<uint8_t> garbage(3000, 0xA7);
    const std::vector<uint8_t> truncated(sound.begin(), sound.begin() + static_cast<long>(sound.size() / 2));
    const std::string stateFolder = configHome + "/tarvel";
    for (const std::vector<uint8_t>& damaged : {garbage, truncated}) {
        std::system(("rm -rf '" + stateFolder + "' && mkdir -p '" + stateFolder + "'").c_str());
        writeBytes(statePath(), damaged);
        auto app = startApp({}, server.name());
        JackProbe probe(server.name());
        ASSERT_TRUE(probe.ok());
        ASSERT_TRUE(probe.connectTo("Tarvel", 10s)) << app->errorOutput();
        EXPECT_EQ(quit(*app, SIGTERM), 0) << app->errorOutput();
        EXPECT_EQ(linesContaining(app->errorOutput(), "damaged"), 1) << app->errorOutput();

        const std::vector<std::string> aside = namesStartingWith(stateFolder, "state.fxb.damaged-");
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_NE(app->errorOutput().find(aside[0]), std::string::npos) << app->errorOutput();
        const std::string kept = readText(stateFolder + "/" + aside[0]);
        EXPECT_EQ(std::vector<uint8_t>(kept.begin(), kept.end()), damaged);
        const TarvelHost::FxBank saved = savedState();
        EXPECT_EQ(saved.chunk, factoryBank());
        EXPECT_EQ(saved.currentProgram, 0);

        // Said once: the next run finds the state it saved.
        auto again = startApp({}, server.name());
        JackProbe second(server.name(), "second");
        ASSERT_TRUE(second.ok());
        ASSERT_TRUE(second.connectTo("Tarvel", 10s)) << again->errorOutput();
        EXPECT_EQ(quit(*again, SIGTERM), 0);
        EXPECT_EQ(linesContaining(again->errorOutput(), "damaged"), 0) << again->errorOutput();
        EXPECT_EQ(linesContaining(again->errorOutput(), "factory bank"), 0) << again->errorOutput();
        EXPECT_EQ(namesStartingWith(stateFolder, "state.fxb.damaged-").size(), 1u);
    }
}

TEST_F(Standalone, ConnectJoinsThePlaybackPortsAndEveryMidiSource)
{
    JackServer server(folder);
    ASSERT_TRUE(server.ready()) << server.log();
    JackProbe keyboard(server.name(), "keyboard");
    ASSERT_TRUE(keyboard.ok());
    auto app = startApp({"--connect"}, server.name());
    // The application's ports exist once its input is joined to the source
    // that was there before it.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (keyboard.connections(keyboard.midiOutputName()).empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(keyboard.connections(keyboard.midiOutputName()), std::vector<std::string>{"Tarvel:midi_in"})
        << app->errorOutput();
    EXPECT_EQ(keyboard.connections("Tarvel:out_left"), std::vector<std::string>{"system:playback_1"});
    EXPECT_EQ(keyboard.connections("Tarvel:out_right"), std::vector<std::string>{"system:playback_2"});

    // A source that appears later (a keyboard plugged in) is joined too.
    const std::string later = keyboard.addMidiSource("plugged_in");
    ASSERT_FALSE(later.empty());
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (keyboard.connections(later).empty() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(keyboard.connections(later), std::vector<std::string>{"Tarvel:midi_in"});
    EXPECT_EQ(quit(*app, SIGTERM), 0) << app->errorOutput();
}

TEST_F(Standalone, WithoutAServerItSaysHowToStartOneAndEndsWithinFiveSeconds)
{
    const auto start = std::chrono::steady_clock::now();
    auto app = startApp({}, JackServer::unusedName());
    const std::optional<int> status = app->wait(5s);
    ASSERT_TRUE(status.has_value()) << "still running after 5 s";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_NE(*status, 0);
    const std::string said = app->errorOutput();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("no JACK server"), std::string::npos) << said;
    EXPECT_NE(said.find("jackd -d alsa"), std::string::npos) << said;
    EXPECT_EQ(namesStartingWith(configHome, "tarvel").size(), 0u) << "a failed start made a state";

    // The other ways it ends at once: help, and a wrong command line.
    auto help = startApp({"--help"}, JackServer::unusedName());
    EXPECT_EQ(help->wait(5s).value_or(-1), 0);
    EXPECT_NE(help->output().find("--connect"), std::string::npos);
    auto wrong = startApp({"--lod", "x.fxb"}, JackServer::unusedName());
    EXPECT_EQ(wrong->wait(5s).value_or(-1), 2);
    EXPECT_NE(wrong->errorOutput().find("unknown option --lod"), std::string::npos) << wrong->errorOutput();
}
