#include "standalone/LiveSynth.h"

#include <cstring>

void LiveSynth::addMidi(uint32_t frame, const uint8_t* data, std::size_t size)
{
    if (data == nullptr || size == 0 || size > 3)
        return;
    if ((data[0] & 0xF0) == 0xC0 && size == 2)
        pendingProgram_.store(data[1] & 0x7F);
    if (count_ >= static_cast<uint32_t>(HostedSynth::kMaxMidiMessages))
        return;
    HostedSynth::MidiMessage& message = messages_[count_++];
    message.frame = frame;
    message.size = static_cast<uint32_t>(size);
    std::memset(message.data, 0, sizeof message.data);
    std::memcpy(message.data, data, size);
}

void LiveSynth::render(const HostedSynth::Transport& transport, float* left, float* right, uint32_t frames)
{
    synth_.process(transport, messages_, count_, left, right, frames);
    count_ = 0;
}
