#include "dsp/Voice.h"

#include <cstring>
#include <limits>

namespace Vorn {

Voice::~Voice()
{
    for (Module* module : modules)
        delete module;
}

void Voice::controlChange(int controller, int value)
{
    for (MIDIListener* listener : listeners)
        listener->controlChange(controller, value);
}

void Voice::noteOff(int n)
{
    for (MIDIListener* listener : listeners)
        listener->noteOff(n);
}

void Voice::noteOn(int n, int velocity)
{
    note = static_cast<uint8_t>(n);
    age = 0;
    for (MIDIListener* listener : listeners)
        listener->noteOn(n, velocity);
}

void Voice::prepareVoice()
{
    for (Module* module : modules)
        module->prepare();
}

void Voice::renderVoice(int sampleRate, int count)
{
    for (Module* module : modules)
        module->process(sampleRate, count);
    std::memcpy(voiceOutput, modules.back()->output, sizeof(float) * static_cast<std::size_t>(count));
    // A voice that has sounded for 13.5 hours stays the oldest instead of
    // wrapping to a negative age.
    if (age > std::numeric_limits<int32_t>::max() - count)
        age = std::numeric_limits<int32_t>::max();
    else
        age += count;
}

void Voice::silenceVoice()
{
    std::memset(voiceOutput, 0, sizeof voiceOutput);
}

} // namespace Vorn
