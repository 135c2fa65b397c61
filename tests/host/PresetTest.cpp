#include "host/FxContainer.h"
#include "host/HostError.h"
#include "host/ParameterMatch.h"
#include "host/Plugin.h"
#include "host/Presets.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace TarvelHost;

namespace {

std::string errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const HostError& e) {
        return e.what();
    }
    return "(no error)";
}

std::string tempPath(const std::string& name)
{
    return ::testing::TempDir() + "tarvel_host_" + std::to_string(getpid()) + "_" + name;
}

std::vector<uint8_t> readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

TEST(FxContainer, ProgramAndBankRoundTripInBothForms)
{
    FxProgram chunkProgram;
    chunkProgram.opaque = true;
    chunkProgram.fxID = 0x54617276;
    chunkProgram.fxVersion = 7;
    chunkProgram.numParams = 56;
    chunkProgram.name = "Glass Pad";
    chunkProgram.chunk = {'v', 'q', 'p', 's', 1, 2, 3};
    std::vector<uint8_t> bytes = writeFxProgram(chunkProgram);
    // 'CcnK', size, 'FPCh', version 1, ID, version, count, name[28], size, chunk.
    ASSERT_EQ(bytes.size(), 60u + 7u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "CcnK");
    EXPECT_EQ(bytes[7], 60 + 7 - 8);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "FPCh");
    EXPECT_EQ(bytes[16], 0x54); // big-endian ID
    FxFile back = parseFx(bytes);
    EXPECT_FALSE(back.isBank);
    EXPECT_TRUE(back.program.opaque);
    EXPECT_EQ(back.program.name, "Glass Pad");
    EXPECT_EQ(back.program.chunk, chunkProgram.chunk);
    EXPECT_EQ(back.program.fxVersion, 7);
    EXPECT_EQ(back.program.numParams, 56);

    FxBank bank;
    bank.fxID = 42;
    bank.currentProgram = 3;
    for (int p = 0; p < 2; ++p) {
        FxProgram program;
        program.fxID = 42;
        program.name = "P" + std::to_string(p);
        program.params = {0.25f * static_cast<float>(p), 1.0f, -0.5f};
        bank.programs.push_back(program);
    }
    FxFile bankBack = parseFx(writeFxBank(bank));
    ASSERT_TRUE(bankBack.isBank);
    EXPECT_FALSE(bankBack.bank.opaque);
    EXPECT_EQ(bankBack.bank.currentProgram, 3);
    ASSERT_EQ(bankBack.bank.programs.size(), 2u);
    EXPECT_EQ(bankBack.bank.programs[1].name, "P1");
    EXPECT_EQ(bankBack.bank.programs[1].params, (std::vector<float>{0.25f, 1.0f, -0.5f}));

    FxBank opaqueBank;
    opaqueBank.opaque = true;
    opaqueBank.numPrograms = 32;
    opaqueBank.chunk.assign(1000, 0xAB);
    FxFile opaqueBack = parseFx(writeFxBank(opaqueBank));
    EXPECT_TRUE(opaqueBack.bank.opaque);
    EXPECT_EQ(opaqueBack.bank.numPrograms, 32);
    EXPECT_EQ(opaqueBack.bank.chunk, opaqueBank.chunk);
}

TEST(FxContainer, DamagedFilesAreRefusedWithTheirOffset)
{
    FxProgram p;
    p.opaque = true;
    p.chunk.assign(100, 1);
    std::vector<uint8_t> bytes = writeFxProgram(p);

    std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 1);
    EXPECT_NE(errorOf([&] { parseFx(cut); }).find("runs past the end"), std::string::npos);

    std::vector<uint8_t> bigChunk = bytes;
    bigChunk[56 + 2] = 0x10; // chunk size field at 56
    std::string message = errorOf([&] { parseFx(bigChunk); });
    EXPECT_NE(message.find("chunk size larger than the program record at byte offset 56"), std::string::npos)
        << message;

    std::vector<uint8_t> alien = bytes;
    alien[8] = 'X';
    EXPECT_NE(errorOf([&] { parseFx(alien); }).find("unknown preset type"), std::string::npos);

    FxBank bank;
    bank.programs.resize(2);
    std::vector<uint8_t> bankBytes = writeFxBank(bank);
    bankBytes[24 + 3] = 200; // program count at 24
    message = errorOf([&] { parseFx(bankBytes); });
    EXPECT_NE(message.find("program count larger than the bank at byte offset 24"), std::string::npos) << message;
}

TEST(ParameterMatch, ExactThenUniquePrefixEitherWayOrIndex)
{
    std::vector<std::string> names = {"Gain", "FilterCu", "FilterRe", "PhaserMo", "PhaserMo", "Mix"};
    EXPECT_EQ(matchParameter(names, "Gain"), 0);
    EXPECT_EQ(matchParameter(names, "FilterCutoff"), 1); // full name, host sees 8 characters
    EXPECT_EQ(matchParameter(names, "FilterR"), 2);      // the typed name is a prefix
    EXPECT_EQ(matchParameter(names, "Mi"), 5);
    EXPECT_EQ(matchParameter(names, "4"), 4);
    // Short host names are not truncations: "Mixer" must not find "Mix".
    EXPECT_NE(errorOf([&] { matchParameter(names, "Mixer"); }).find("unknown parameter \"Mixer\""), std::string::npos);
    std::string message = errorOf([&] { matchParameter(names, "PhaserMode"); });
    EXPECT_NE(message.find("ambiguous"), std::string::npos) << message;
    EXPECT_NE(message.find("PhaserMo (3), PhaserMo (4)"), std::string::npos) << message;
    EXPECT_NE(errorOf([&] { matchParameter(names, "Filter"); }).find("ambiguous"), std::string::npos);
    EXPECT_NE(errorOf([&] { matchParameter(names, "6"); }).find("out of range"), std::string::npos);
    EXPECT_NE(errorOf([&] { matchParameter(names, "gain"); }).find("unknown"), std::string::npos);
}

TEST(Presets, SaveAndLoadRoundTripThroughThePlugin)
{
    std::string bankPath = tempPath("bank.fxb"), programPath = tempPath("program.fxp");
    {
        auto plugin = Plugin::load(FAKE_SYNTH_PATH);
        plugin->setProgram(2);
        plugin->setParameter(0, 0.125f);
        plugin->setParameter(3, 0.75f);
        plugin->setProgramName("Saved");
        savePreset(*plugin, bankPath);
        savePreset(*plugin, programPath);
    }
    FxFile bank = parseFx(readAll(bankPath));
    EXPECT_TRUE(bank.bank.opaque);
    EXPECT_EQ(bank.bank.fxID, ('F' << 24) | ('k' << 16) | ('S' << 8) | 'y');
    EXPECT_EQ(bank.bank.fxVersion, 3);
    EXPECT_EQ(bank.bank.numPrograms, 4);
    EXPECT_EQ(bank.bank.currentProgram, 2);
    EXPECT_EQ(std::string(bank.bank.chunk.begin(), bank.bank.chunk.begin() + 4), "vqbk");

    {
        auto plugin = Plugin::load(FAKE_SYNTH_PATH);
        loadPreset(*plugin, bankPath);
        EXPECT_EQ(plugin->currentProgram(), 2);
        EXPECT_FLOAT_EQ(plugin->getParameter(0), 0.125f);
        EXPECT_FLOAT_EQ(plugin->getParameter(3), 0.75f);
        EXPECT_EQ(plugin->currentProgramName(), "Saved");
    }
    {
        auto plugin = Plugin::load(FAKE_SYNTH_PATH);
        EXPECT_EQ(plugin->currentProgram(), 0);
        loadPreset(*plugin, programPath); // into the current program, 0
        EXPECT_FLOAT_EQ(plugin->getParameter(0), 0.125f);
        EXPECT_EQ(plugin->currentProgramName(), "Saved");

        // The same program as a raw chunk, named neither .fxp nor .fxb: told by its magic.
        std::string raw = tempPath("program.chunk");
        writeAll(raw, parseFx(readAll(programPath)).program.chunk);
        plugin->setParameter(0, 0.9f);
        loadPreset(*plugin, raw);
        EXPECT_FLOAT_EQ(plugin->getParameter(0), 0.125f);

        // Neither a container nor the plug-in's own chunk: refused, whatever
        // the name, and the plug-in never sees it.
        const float before = plugin->getParameter(0);
        for (const std::string& name : {raw, tempPath("damaged.fxp"), tempPath("damaged.fxb")}) {
            for (const std::vector<uint8_t>& bytes :
                 {std::vector<uint8_t>{1, 2, 3, 4, 5}, std::vector<uint8_t>{'C', 'c', 'n'},
                  std::vector<uint8_t>{'C', 'c', 'n', 'X', 0, 0, 0, 8, 'F', 'P', 'C', 'h', 0, 0, 0, 1}}) {
                writeAll(name, bytes);
                EXPECT_NE(errorOf([&] { loadPreset(*plugin, name); }).find("neither an .fxp/.fxb preset"),
                          std::string::npos)
                    << name;
            }
            std::remove(name.c_str());
        }
        EXPECT_EQ(plugin->getParameter(0), before);
        EXPECT_EQ(plugin->currentProgramName(), "Saved");
    }
    {
        // A preset made for another plug-in is refused before it reaches this one.
        FxFile other = parseFx(readAll(programPath));
        other.program.fxID = 0x41424344;
        std::string foreign = tempPath("foreign.fxp");
        writeAll(foreign, writeFxProgram(other.program));
        auto plugin = Plugin::load(FAKE_SYNTH_PATH);
        std::string message = errorOf([&] { loadPreset(*plugin, foreign); });
        EXPECT_NE(message.find("belongs to plug-in ID 'ABCD', this plug-in is 'FkSy'"), std::string::npos) << message;
        std::remove(foreign.c_str());
    }
    std::remove(bankPath.c_str());
    std::remove(programPath.c_str());
}
