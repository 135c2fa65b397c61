#include "dsp/EffectSeries.h"

#include "dsp/Chorus.h"
#include "dsp/Delay.h"
#include "dsp/Phaser.h"

namespace Vorn {

void processInSeries(Phaser& phaser, Chorus& chorus, Delay& delay, int sampleRate, int count)
{
    if (chorus.input() != &phaser || delay.input() != &chorus) {
        phaser.process(sampleRate, count);
        chorus.process(sampleRate, count);
        delay.process(sampleRate, count);
        return;
    }
    const float* in = phaser.input()->output;
    Phaser::Run phasing = phaser.begin(sampleRate, count);
    Chorus::Run chorusing = chorus.begin(sampleRate);
    Delay::Run echoing = delay.begin(sampleRate);
    for (int i = 0; i < count; ++i) {
        const float p = Phaser::step(phasing, in[i]);
        phaser.output[i] = p;
        const float c = chorus.step(chorusing, p);
        chorus.output[i] = c;
        delay.output[i] = Delay::step(echoing, c);
    }
    phaser.end(phasing);
    chorus.end(chorusing);
    delay.end(echoing);
}

} // namespace Vorn
