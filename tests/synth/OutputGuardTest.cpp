// The last line of defence at the output: whatever goes wrong inside the
// instrument, no NaN or infinity reaches the host. Such a sample is played
// as silence, and what produced it starts over instead of poisoning every
// block after it.

#include "SynthFixture.h"

#include "dsp/NonFiniteWatch.h"
#include "tests/support/NonFiniteSource.h"

#include <cmath>
#include <limits>

namespace {

class OutputGuard : public SynthFixture {
protected:
    void SetUp() override
    {
        SynthFixture::SetUp();
        synth->setSampleRate(44100.0f);
        // Every effect wet and fed back, the echo short: all of them hold
        // the fault for a while if nothing resets them.
        for (const char* name :
             {"PhaserWet", "ChorusWet", "DelayWet", "PhaserFeedback", "ChorusFeedback", "DelayFeedback"})
            synth->setParameter(index(name), 0.5f);
        synth->setParameter(index("DelayTime"), 0.0f);
        source = NonFiniteSource::attach(synth->voice(0));
    }

    NonFiniteSource* source = nullptr;
};

} // namespace

TEST_F(OutputGuard, ANonFiniteVoiceIsSilencedAndEverythingAfterItStartsOver)
{
    for (const float fault : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity()}) {
        synth->noteOn(60, 100); // the first idle voice: voice 0
        ASSERT_FALSE(synth->voiceIdle(0));
        render(4096);
        source->value = fault;
        source->samplesLeft = 40; // across sub-blocks and host blocks
        const std::vector<float> out = render(8192, 100);
        EXPECT_TRUE(Vorn::NonFiniteWatch::allFinite(out.data(), static_cast<int>(out.size()))) << fault;
        // The voice's note was ended and every effect cleared at the first
        // bad sub-block: nothing is left to sound.
        EXPECT_TRUE(synth->voiceIdle(0)) << fault;
        for (std::size_t i = 0; i < out.size(); ++i)
            ASSERT_EQ(out[i], 0.0f) << fault << " at " << i;
        source->samplesLeft = 0;

        // A new note sounds as ever.
        synth->noteOff(60);
        synth->noteOn(64, 100);
        const std::vector<float> again = render(4096);
        float peak = 0.0f;
        for (float x : again)
            peak = std::max(peak, std::fabs(x));
        EXPECT_GT(peak, 0.01f) << fault;
        EXPECT_TRUE(Vorn::NonFiniteWatch::allFinite(again.data(), static_cast<int>(again.size())));
        synth->noteOff(64);
        render(44100);
    }
}
