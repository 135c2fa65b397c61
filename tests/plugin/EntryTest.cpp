// The plug-in as a host meets it: loaded with dlopen, created through the
// exported entry point, driven only through the AEffect record.

#include "support/TestHost.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

TEST(Entry, RecordValuesAfterCreation)
{
    TestHost host;
    ASSERT_TRUE(host.error.empty()) << host.error;
    AEffect* e = host.create();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->numPrograms, 32);
    EXPECT_EQ(e->numInputs, 0);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, effFlagsHasEditor | effFlagsCanReplacing | effFlagsProgramChunks | effFlagsIsSynth);
    EXPECT_EQ(e->uniqueID, ('z' << 24) | ('k' << 16) | ('v' << 8) | 'q');
    EXPECT_EQ(static_cast<uint32_t>(e->uniqueID) >> 24, static_cast<uint32_t>('z'));
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_EQ(host.dispatch(effGetProgram), 0);
}

TEST(Entry, AsksForMidiAtCreationAndAtEverySwitchOn)
{
    TestHost host;
    ASSERT_NE(host.create(), nullptr);
    EXPECT_EQ(host.count(audioMasterWantMidi), 1);
    auto calls = host.calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().opcode, audioMasterVersion);
    EXPECT_EQ(calls.back().opcode, audioMasterWantMidi);
    EXPECT_EQ(calls.back().value, 1);
    host.dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(host.count(audioMasterWantMidi), 1);
    host.dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(host.count(audioMasterWantMidi), 2);
}

TEST(Entry, HostAnsweringZeroToVersionGetsNoPlugin)
{
    TestHost host;
    host.versionAnswer = 0;
    EXPECT_EQ(host.create(), nullptr);
    EXPECT_EQ(host.count(audioMasterWantMidi), 0);
}

TEST(Entry, MainIsTheSameFunctionAsVSTPluginMain)
{
    void* lib = dlopen(TARVEL_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr);
    void* a = dlsym(lib, "VSTPluginMain");
    void* b = dlsym(lib, "main");
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    dlclose(lib);
}

TEST(Entry, ExportsExactlyTheTwoEntryNames)
{
    std::string command = std::string("nm -D --defined-only ") + TARVEL_PLUGIN_PATH;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        char address[64], type[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3)
            names.insert(name);
    }
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_EQ(names, (std::set<std::string>{"VSTPluginMain", "main"}));
}

TEST(Dispatcher, CapabilitiesAreExactAndCaseSensitive)
{
    TestHost host;
    ASSERT_NE(host.start(), nullptr);
    auto canDo = [&](const char* what) {
        std::string text = what;
        return host.dispatch(effCanDo, 0, 0, text.data());
    };
    EXPECT_EQ(canDo("receiveVstEvents"), 1);
    EXPECT_EQ(canDo("receiveVstMidiEvent"), 1);
    EXPECT_EQ(canDo("midiProgramNames"), 1);
    EXPECT_EQ(canDo("receiveVstTimeInfo"), -1);
    EXPECT_EQ(canDo("ReceiveVstEvents"), -1);
    EXPECT_EQ(canDo("receiveVstEvent"), -1);
    EXPECT_EQ(canDo(""), -1);
}

TEST(Dispatcher, PublishedDefaultAnswers)
{
    TestHost host;
    ASSERT_NE(host.start(), nullptr);
    char text[256];
    EXPECT_EQ(host.dispatch(effGetPlugCategory), kPlugCategSynth);
    EXPECT_EQ(host.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(host.dispatch(effGetVendorVersion), 0);
    EXPECT_EQ(host.dispatch(effGetEffectName, 0, 0, text), 0);
    EXPECT_EQ(host.dispatch(effGetVendorString, 0, 0, text), 0);
    EXPECT_EQ(host.dispatch(effGetProductString, 0, 0, text), 0);
    EXPECT_EQ(host.dispatch(effGetMidiProgramName, 0, 0, text), 0);
    EXPECT_EQ(host.dispatch(effGetCurrentMidiProgram, 0, 0, text), -1);
    EXPECT_EQ(host.dispatch(effGetMidiProgramCategory, 0, 0, text), 0);
    EXPECT_EQ(host.dispatch(effHasMidiProgramsChanged), 0);
    EXPECT_EQ(host.dispatch(effGetMidiKeyName, 0, 0, text), 0);
    for (int i = 0; i < host.effect->numParams; ++i)
        EXPECT_EQ(host.parameterLabel(i), "");
}

TEST(Dispatcher, SetProgramAtOrBeyondTheCountIsIgnored)
{
    TestHost host;
    ASSERT_NE(host.start(), nullptr);
    host.dispatch(effSetProgram, 0, 5);
    EXPECT_EQ(host.dispatch(effGetProgram), 5);
    host.dispatch(effSetProgram, 0, 40);
    EXPECT_EQ(host.dispatch(effGetProgram), 5);
    host.dispatch(effSetProgram, 0, 32);
    EXPECT_EQ(host.dispatch(effGetProgram), 5);
    host.dispatch(effSetProgram, 0, -1);
    EXPECT_EQ(host.dispatch(effGetProgram), 5);
    host.dispatch(effSetProgram, 0, 31);
    EXPECT_EQ(host.dispatch(effGetProgram), 31);
}

TEST(Lifecycle, CreateAndCloseManyTimes)
{
    // Run under the leak checker in the test suite: nothing may stay behind.
    TestHost host;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_NE(host.start(), nullptr);
        host.close();
    }
}
