#pragma once
// The three editions as test parameters, each loaded from the build tree.

#include "support/PluginUnderTest.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

struct Edition {
    const char* name;
    std::function<std::unique_ptr<PluginUnderTest>()> load;
};

inline const Edition kLv2{"LV2", [] { return loadLv2(TARVEL_LV2_DIR, TARVEL_LV2_URI); }};
inline const Edition kClap{"CLAP", [] { return loadClap(TARVEL_CLAP_PATH); }};
inline const Edition kVst3{"VST3", [] { return loadVst3(TARVEL_VST3_BUNDLE); }};

inline void PrintTo(const Edition& edition, std::ostream* out)
{
    *out << edition.name;
}

inline std::string editionName(const ::testing::TestParamInfo<Edition>& param)
{
    return param.param.name;
}

// Activated at 44.1 kHz for blocks of up to `blockSize` frames; a plug-in
// that failed to load is returned as it is, with its error.
inline std::unique_ptr<PluginUnderTest> started(std::unique_ptr<PluginUnderTest> plugin, int blockSize)
{
    if (plugin && plugin->error.empty())
        plugin->activate(44100, blockSize);
    return plugin;
}
