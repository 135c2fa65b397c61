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
    Voice* self = this;
    renderVoices(&self, 1, sampleRate, count);
}

void Voice::renderVoices(Voice* const* voices, int size, int sampleRate, int count)
{
    if (size < 1)
        return;
    if (size > kMaxGroup) {
        renderVoices(voices, kMaxGroup, sampleRate, count);
        renderVoices(voices + kMaxGroup, size - kMaxGroup, sampleRate, count);
        return;
    }
    const std::size_t moduleCount = voices[0]->modules.size();
    for (int v = 1; v < size; ++v) {
        if (voices[v]->modules.size() != moduleCount) {
            // Not built alike: one voice at a time.
            for (int w = 0; w < size; ++w)
                renderVoices(voices + w, 1, sampleRate, count);
            return;
        }
    }
    // Voice after voice through each stretch of ordinary modules, which
    // keeps one voice's buffers and state together in the cache; a module
    // that renders its peers side by side gets them all at once.
    const std::vector<Module*>& first = voices[0]->modules;
    const std::vector<unsigned char>& grouped = voices[0]->grouped;
    // Modules put in directly rather than through addModule() have no entry
    // in `grouped` and render voice after voice.
    const auto inGroups = [&](std::size_t m) { return size > 1 && m < grouped.size() && grouped[m] != 0; };
    std::size_t m = 0;
    while (m < moduleCount) {
        if (inGroups(m)) {
            Module* group[kMaxGroup];
            for (int v = 0; v < size; ++v)
                group[v] = voices[v]->modules[m];
            first[m]->processGroup(group, size, sampleRate, count);
            ++m;
            continue;
        }
        std::size_t end = m + 1;
        while (end < moduleCount && !inGroups(end))
            ++end;
        for (int v = 0; v < size; ++v) {
            Module* const* modules = voices[v]->modules.data();
            for (std::size_t k = m; k < end; ++k)
                modules[k]->process(sampleRate, count);
        }
        m = end;
    }
    for (int v = 0; v < size; ++v) {
        Voice& voice = *voices[v];
        if (!voice.modules.empty())
            copySamples(voice.voiceOutput, voice.modules.back()->output, count);
        // A voice that has sounded for 13.5 hours stays the oldest instead
        // of wrapping to a negative age.
        if (voice.age > std::numeric_limits<int32_t>::max() - count)
            voice.age = std::numeric_limits<int32_t>::max();
        else
            voice.age += count;
    }
}

void Voice::silenceVoice()
{
    std::memset(voiceOutput, 0, sizeof voiceOutput);
}

} // namespace Vorn
