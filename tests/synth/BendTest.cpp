#include "SynthFixture.h"
#include "tests/support/ChunkBuilder.h"

#include <cmath>
#include <cstring>

namespace {

// A program chunk with one bent parameter, the way a host would restore it.
std::vector<uint8_t> programWithBend(const std::string& name, float value, const std::vector<BendPoint>& points)
{
    ChunkBuilder chunk;
    chunk.header("vqps", 1, "bent");
    chunk.entry(name, value, points);
    return chunk.out;
}

} // namespace

using Bends = SynthFixture;

TEST_F(Bends, PlaybackStepsThroughThePointsItLeaves)
{
    const int gain = index("AmplifierGain");
    auto chunk = programWithBend("AmplifierGain", 0.6f, {{0.1f, 0.2f}, {0.3f, 0.8f}, {0.5f, 0.4f}});
    synth->setChunk(chunk.data(), static_cast<VstInt32>(chunk.size()), true);
    ASSERT_TRUE(synth->hasBend(gain));
    render(64, 16);
    EXPECT_EQ(synth->liveValue(gain), 0.6f); // silent: the stored value

    synth->noteOn(60, 100);
    const float dt = 16.0f / 44100.0f;
    float clock = 0.0f;
    for (int block = 0; block < 2000; ++block) {
        const float before = clock;
        render(16, 16);
        clock += dt;
        const float live = synth->liveValue(gain);
        // The value changes in the sub-block whose end passes a point's time,
        // to the value of the point the cursor leaves.
        const float expected = before + dt > 0.5f ? 0.8f : (before + dt > 0.3f ? 0.2f : 0.6f);
        ASSERT_EQ(live, expected) << "at " << before;
    }
    // Release: once every voice is idle the stored value returns and the
    // clock and cursors are back at zero.
    synth->setParameter(index("AmpEnvRelease"), 0.0f);
    synth->noteOff(60);
    render(8192, 16);
    EXPECT_EQ(synth->liveValue(gain), 0.6f);
    EXPECT_EQ(synth->bendClock(), 0.0f);
    EXPECT_EQ(synth->currentProgram().param(gain).cursor.load(), 0);
}

TEST_F(Bends, ArmedWritesAppendPointsStampedWithTheBendClock)
{
    const int cutoff = index("FilterCutoff");
    synth->armBend();
    synth->setParameter(cutoff, 0.1f);
    synth->setParameter(cutoff, 0.2f);
    synth->setParameter(cutoff, 0.3f);
    auto points = synth->bendPoints(cutoff);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0].value, 0.1f);
    EXPECT_EQ(points[2].value, 0.3f);
    EXPECT_EQ(points[0].time, 0.0f);
    EXPECT_EQ(synth->getParameter(cutoff), 0.3f);
}

TEST_F(Bends, GestureAuditionsTheLastNoteAndRecordsFromItsStart)
{
    const int cutoff = index("FilterCutoff");
    synth->noteOn(67, 100);
    synth->noteOff(67);
    synth->setParameter(index("AmpEnvRelease"), 0.0f);
    render(8192);
    ASSERT_EQ(synth->activeVoiceCount(), 0);

    synth->armBend();
    synth->beginParameterGesture(cutoff);
    render(512); // the audition note starts at this block
    EXPECT_EQ(synth->activeVoiceCount(), 1);
    EXPECT_EQ(synth->voice(0).note, 67);
    synth->setParameter(cutoff, 0.5f);
    render(512);
    synth->setParameter(cutoff, 0.25f);
    synth->endParameterGesture(cutoff);
    EXPECT_FALSE(synth->isBendArmed());
    render(8192);
    EXPECT_EQ(synth->activeVoiceCount(), 0);

    auto points = synth->bendPoints(cutoff);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_FLOAT_EQ(points[0].time, 512.0f / 44100.0f);
    EXPECT_FLOAT_EQ(points[1].time, 1024.0f / 44100.0f);
    EXPECT_EQ(points[1].value, 0.25f);
    // Notes played while armed do not become the audition note.
    synth->armBend();
    synth->noteOn(40, 100);
    synth->disarmBend();
    EXPECT_EQ(synth->auditionNote(), 67);
}

TEST_F(Bends, GrabbingAKnobUnarmedClearsItsBend)
{
    const int cutoff = index("FilterCutoff");
    synth->armBend();
    synth->setParameter(cutoff, 0.4f);
    synth->disarmBend();
    ASSERT_TRUE(synth->hasBend(cutoff));
    synth->beginParameterGesture(cutoff);
    EXPECT_FALSE(synth->hasBend(cutoff));
    synth->endParameterGesture(cutoff);
    render(1024);
    EXPECT_EQ(synth->activeVoiceCount(), 0); // no audition note when unarmed
}

TEST_F(Bends, NoteOnOverAHeldNoteKeepsTheClockRunning)
{
    synth->noteOn(60, 100);
    render(4410);
    const float running = synth->bendClock();
    EXPECT_GT(running, 0.09f);
    synth->noteOn(64, 100);
    EXPECT_EQ(synth->bendClock(), running);
    synth->noteOff(60);
    synth->noteOff(64);
    synth->noteOn(65, 100);
    EXPECT_EQ(synth->bendClock(), 0.0f);
}

TEST_F(Bends, LongRecordingsGrowWhileTheAudioThreadPlays)
{
    // Thousands of points force the storage to be replaced several times.
    const int cutoff = index("FilterCutoff");
    synth->noteOn(60, 100);
    synth->armBend();
    for (int i = 0; i < 5000; ++i) {
        synth->setParameter(cutoff, float(i % 100) / 100.0f);
        if (i % 50 == 0)
            render(16, 16);
    }
    synth->disarmBend();
    auto points = synth->bendPoints(cutoff);
    ASSERT_EQ(points.size(), 5000u);
    for (std::size_t i = 1; i < points.size(); ++i)
        ASSERT_GE(points[i].time, points[i - 1].time);
    EXPECT_EQ(points[4999].value, 0.99f);
}

TEST_F(Bends, DiceAndInit)
{
    const int gain = index("AmplifierGain"), drive = index("SaturatorDrive");
    synth->setParameter(gain, 0.33f);
    synth->setParameter(drive, 0.44f);
    synth->setParameter(50, 0.77f);
    synth->armBend();
    synth->setParameter(3, 0.5f);
    synth->disarmBend();
    synth->randomise();
    EXPECT_FALSE(synth->hasBend(3));
    EXPECT_EQ(synth->getParameter(gain), 0.33f);
    EXPECT_EQ(synth->getParameter(drive), 0.44f);
    EXPECT_EQ(synth->getParameter(50), 0.77f);
    std::vector<float> first;
    for (int i = 0; i < 41; ++i) {
        const float v = synth->getParameter(i);
        first.push_back(v);
        if (i == gain || i == drive)
            continue;
        EXPECT_GE(v, 0.0f);
        EXPECT_LE(v, 1.0f);
        const float k = v * 32767.0f;
        EXPECT_EQ(k, std::round(k)) << i;
    }
    synth->randomise();
    int changed = 0;
    for (int i = 0; i < 41; ++i)
        changed += synth->getParameter(i) != first[static_cast<std::size_t>(i)];
    EXPECT_GT(changed, 30);

    // Armed: every write becomes a one-point bend.
    synth->armBend();
    synth->initialise();
    synth->disarmBend();
    for (int i = 0; i < 56; ++i) {
        EXPECT_EQ(synth->getParameter(i), synth->defaultValue(i)) << i;
        EXPECT_EQ(synth->bendPoints(i).size(), 1u) << i;
    }
    synth->initialise();
    for (int i = 0; i < 56; ++i)
        EXPECT_FALSE(synth->hasBend(i));
}

TEST_F(Bends, OtherProgramsKeepTheirBends)
{
    synth->armBend();
    synth->setParameter(5, 0.5f);
    synth->disarmBend();
    synth->setProgram(1);
    synth->randomise();
    synth->initialise();
    synth->setProgram(0);
    EXPECT_TRUE(synth->hasBend(5));
}
