#pragma once
// The phaser, the chorus and the delay in one sample loop. Each phaser
// sample is a long chain of dependent operations that leaves the processor
// mostly waiting; run module after module, the chorus and the delay only
// start once the whole block's chain is done. Interleaved sample by sample,
// their work fills those waits. Every module computes exactly what its own
// process() would, and writes its output buffer as usual.

namespace Vorn {

class Chorus;
class Delay;
class Phaser;

// Renders `count` samples of the three, which must be wired in this order
// (the chorus reading the phaser, the delay the chorus); wired otherwise,
// they run one after the other.
void processInSeries(Phaser& phaser, Chorus& chorus, Delay& delay, int sampleRate, int count);

} // namespace Vorn
