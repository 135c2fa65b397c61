#pragma once
// What the tests of the application share: a folder of its own for each
// test (the application's configuration and home, the servers' logs), the
// application started there against a given JACK server and display, and
// its state file read back through the engine.

#include "formats/FactoryBank.h"
#include "host/FxContainer.h"
#include "plugin/Synth.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

class StandaloneFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tarvel-app-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        configHome = folder + "/config";
    }
    void TearDown() override
    {
        // Kept for a look when the test failed.
        if (!HasFailure())
            std::system(("rm -rf '" + folder + "'").c_str());
    }

    // The application, with this test's configuration and home, on the JACK
    // server named (or none that exists) and the display named (or none).
    std::unique_ptr<ChildProcess> startApp(const std::vector<std::string>& arguments, const std::string& server,
                                           const std::string& display = "")
    {
        std::vector<std::string> argv{TARVEL_APP_PATH};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        const std::string log = folder + "/tarvel-" + std::to_string(++runs);
        return std::make_unique<ChildProcess>(
            argv,
            std::vector<std::string>{"JACK_DEFAULT_SERVER=" + server, "XDG_CONFIG_HOME=" + configHome, "HOME=" + folder,
                                     display.empty() ? "DISPLAY" : "DISPLAY=" + display},
            log);
    }

    // Ends the application as a user would (Ctrl-C, a kill); its exit status.
    static int quit(ChildProcess& app, int signal)
    {
        app.signal(signal);
        return app.wait(std::chrono::seconds(10)).value_or(-1);
    }

    std::string statePath() const { return configHome + "/tarvel/state.fxb"; }

    std::vector<uint8_t> stateBytes() const
    {
        const std::string text = readText(statePath());
        return std::vector<uint8_t>(text.begin(), text.end());
    }

    TarvelHost::FxBank savedState() const { return TarvelHost::parseFx(stateBytes()).bank; }

    // The factory bank as the engine writes it back.
    static std::vector<uint8_t> factoryBank()
    {
        Synth synth(nullptr);
        std::vector<uint8_t> bank(FactoryBank::bankChunk(), FactoryBank::bankChunk() + FactoryBank::bankChunkSize());
        synth.setChunk(bank.data(), static_cast<VstInt32>(bank.size()), false);
        void* data = nullptr;
        const VstInt32 size = synth.getChunk(&data, false);
        return std::vector<uint8_t>(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    }

    // A parameter of a program of a bank chunk, as the engine reads it.
    static float parameterOf(const std::vector<uint8_t>& bank, int program, int index)
    {
        Synth synth(nullptr);
        std::vector<uint8_t> copy = bank;
        synth.setChunk(copy.data(), static_cast<VstInt32>(copy.size()), false);
        synth.setProgram(program);
        return synth.getParameter(index);
    }

    std::string folder, configHome;
    int runs = 0;
};
