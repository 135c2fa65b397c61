#include "standalone/LiveSynth.h"

void LiveSynth::addMidi(uint32_t frame, const uint8_t* data, std::size_t size)
{
    if (data == nullptr || size == 0 || size > 3)
        return;
    if ((data[0] & 0xF0) == 0xC0 && size == 2)
        pendingProgram_.store(data[1] & 0x7F);
    synth_.addMidi(frame, data, size);
}

void LiveSynth::render(const HostedSynth::Transport& transport, float* left, float* right, uint32_t frames)
{
    synth_.process(transport, left, right, frames);
}
