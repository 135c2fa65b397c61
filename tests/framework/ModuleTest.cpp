#include "dsp/Module.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace Vorn;

namespace {

class Probe : public Module {
public:
    Probe(Effect* effect, const char* moduleName, const char* param = "Level", float def = 0.5f)
        : Module(effect, moduleName), level(effect->addParameter(this, param, def))
    {
    }
    void process(int, int count) override
    {
        for (int j = 0; j < count; ++j)
            output[j] = *level;
    }
    float* level;
};

class Source : public Module {
public:
    using Module::Module;
    void process(int, int count) override
    {
        for (int j = 0; j < count; ++j)
            output[j] = static_cast<float>(j + 1);
    }
};

} // namespace

TEST(Effect, SameFullNameSharesOneRecordAndKeepsTheFirstDefault)
{
    Effect effect;
    Probe first(&effect, "Osc1", "Wave", 0.25f);
    Probe second(&effect, "Osc1", "Wave", 0.9f);
    EXPECT_EQ(first.level, second.level);
    EXPECT_EQ(effect.parameterCount(), 1);
    EXPECT_FLOAT_EQ(effect.parameter(0).defaultValue, 0.25f);
    EXPECT_FLOAT_EQ(*second.level, 0.25f);
    EXPECT_EQ(effect.parameter(0).owner, &first);
}

TEST(Effect, FullNameJoinsModuleAndParameterWithoutSeparator)
{
    Effect effect;
    Probe other(&effect, "AmpEnv", "Attack", 0.0f);
    Probe route(&effect, "Mod", "L1Cutoff", 0.0f);
    EXPECT_EQ(effect.parameter(1).name, "ModL1Cutoff");
    EXPECT_EQ(effect.findParameter("ModL1Cutoff"), 1);
    EXPECT_EQ(effect.findParameter("AmpEnvAttack"), 0);
    EXPECT_EQ(effect.findParameter("modl1cutoff"), -1);
    EXPECT_EQ(effect.findParameter("ModL1Cutof"), -1);
    EXPECT_EQ(effect.findParameter("ModL1Cutoffs"), -1);
    EXPECT_EQ(effect.findParameter(""), -1);
    EXPECT_EQ(effect.findParameter(nullptr), -1);
}

TEST(Effect, EmptyContainerFindsNothingAndStartsWithoutTransport)
{
    Effect effect;
    EXPECT_EQ(effect.findParameter("Anything"), -1);
    EXPECT_EQ(effect.parameterCount(), 0);
    EXPECT_EQ(effect.songPosition(), 0.0);
    EXPECT_EQ(effect.tempo(), 0.0f);
}

TEST(Effect, ValuePointersStayValidWhileTheListGrows)
{
    Effect effect;
    Probe first(&effect, "A", "P0", 0.125f);
    float* kept = first.level;
    std::vector<std::unique_ptr<Probe>> more;
    for (int i = 0; i < 200; ++i)
        more.push_back(std::make_unique<Probe>(&effect, ("M" + std::to_string(i)).c_str()));
    *kept = 0.75f;
    EXPECT_FLOAT_EQ(effect.parameter(0).value, 0.75f);
    EXPECT_EQ(effect.parameterCount(), 201);
    EXPECT_EQ(effect.findParameter("M199Level"), 200);
}

TEST(Module, DefaultFormatPrintsTwoDecimalsAndTruncatesLikeSnprintf)
{
    Effect effect;
    Probe probe(&effect, "P");
    char text[16];
    EXPECT_EQ(probe.format(probe.level, 0.5f, text, sizeof text), 4);
    EXPECT_STREQ(text, "0.50");
    probe.format(probe.level, 1.0f, text, sizeof text);
    EXPECT_STREQ(text, "1.00");
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(probe.format(probe.level, 0.5f, text, 3), 4);
    EXPECT_STREQ(text, "0.");
}

TEST(Module, OutputStartsSilentAndProcessWritesOnlyCountSamples)
{
    Effect effect;
    Source source(&effect, "src");
    for (float v : source.output)
        EXPECT_EQ(v, 0.0f);
    source.output[1] = -7.0f;
    source.process(44100, 1);
    EXPECT_EQ(source.output[0], 1.0f);
    EXPECT_EQ(source.output[1], -7.0f);
}

TEST(Scaler, MultipliesItsInputByAmount)
{
    Effect effect;
    Source source(&effect, "src");
    Scaler scaler(&effect, "Scale", &source);
    EXPECT_EQ(effect.findParameter("ScaleAmount"), 0);
    source.process(44100, 16);
    scaler.process(44100, 16);
    EXPECT_EQ(scaler.output[15], 0.0f);
    effect.parameter(0).value = 0.5f;
    scaler.process(44100, 4);
    EXPECT_EQ(scaler.output[3], 2.0f);
}
