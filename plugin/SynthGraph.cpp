// The fixed module graph: six identical voices of twelve modules, then the
// global chain. Construction order is the host's parameter order.

#include "plugin/Synth.h"

#include "dsp/ADSREnvelope.h"
#include "dsp/Amplifier.h"
#include "dsp/Chorus.h"
#include "dsp/Delay.h"
#include "dsp/LFO.h"
#include "dsp/Mixer.h"
#include "dsp/ModMatrix.h"
#include "dsp/Phaser.h"
#include "dsp/Redux.h"
#include "dsp/SVFilter.h"
#include "dsp/Saturator.h"
#include "dsp/VelocityListener.h"
#include "dsp/WTOscillator.h"
#include "dsp/WaveTable.h"

using namespace Vorn;

namespace {

// Adds a module to the voice; the voice owns it from here on.
template <typename M>
M* addModule(Voice& voice, std::unique_ptr<M> module)
{
    M* raw = module.get();
    voice.modules.reserve(voice.modules.size() + 1);
    voice.addModule(module.release());
    return raw;
}

// Adds a module that also hears the voice's notes, listening right after
// the modules added before it.
template <typename M>
M* addListeningModule(Voice& voice, std::unique_ptr<M> module)
{
    M* raw = addModule(voice, std::move(module));
    voice.addListener(raw);
    return raw;
}

} // namespace

void Synth::buildGraph()
{
    waveTable_ = WaveTable::shared();
    const WaveTable* table = waveTable_.get();
    Effect* fx = this;

    summer_ = std::make_unique<Summer<Voice>>(fx, "sum");
    voices_.reserve(kVoiceCount);
    ampEnvelopes_.reserve(kVoiceCount);
    for (int v = 0; v < kVoiceCount; ++v) {
        voices_.push_back(std::make_unique<Voice>(fx));
        Voice& voice = *voices_.back();
        summer_->addVoice(&voice);

        auto* ampEnv = addListeningModule(voice, std::make_unique<ADSREnvelope>(fx, "AmpEnv"));
        addListeningModule(voice, std::make_unique<VelocityListener>(fx, "vel"));
        auto* modEnv = addListeningModule(voice, std::make_unique<ADSREnvelope>(fx, "ModEnv"));
        auto* lfo1 = addListeningModule(voice, std::make_unique<LFO>(fx, "LFO1", table));
        auto* lfo2 = addListeningModule(voice, std::make_unique<LFO>(fx, "LFO2", table));
        auto* mod = addModule(voice, std::make_unique<ModMatrix>(fx, "Mod"));
        auto* osc1 = addListeningModule(voice, std::make_unique<WTOscillator>(fx, "Osc1", table));
        auto* osc2 = addListeningModule(voice, std::make_unique<WTOscillator>(fx, "Osc2", table));
        auto* mixer = addModule(voice, std::make_unique<Mixer>(fx, "Mixer", osc1, osc2));
        auto* saturator = addModule(voice, std::make_unique<Saturator>(fx, "Saturator", mixer));
        auto* filter = addModule(voice, std::make_unique<SVFilter>(fx, "Filter", saturator));
        addModule(voice, std::make_unique<Amplifier>(fx, "Amplifier", filter, ampEnv));
        ampEnvelopes_.push_back(ampEnv);

        mod->addRoute("L1Cutoff", lfo1, nullptr, 1.0f, filter->cutoffInput, nullptr);
        mod->addRoute("L1Balance", lfo1, nullptr, 1.0f, mixer->balanceInput, nullptr);
        mod->addRoute("L2Pitch", lfo2, nullptr, 1.0f, osc1->pitchInput, osc2->pitchInput);
        mod->addRoute("L2Position", lfo2, nullptr, 1.0f, osc1->positionInput, osc2->positionInput);
        mod->addRoute("MCutoff", modEnv, nullptr, 2.0f, filter->cutoffInput, nullptr);
        mod->addRoute("MLFOAmp", modEnv, nullptr, 1.0f, lfo1->amplitudeInput, lfo2->amplitudeInput);
        mod->addRoute("MBalance", modEnv, nullptr, 1.0f, mixer->balanceInput, nullptr);
        mod->addRoute("MPitch", modEnv, nullptr, 2.0f, osc1->pitchInput, osc2->pitchInput);
        mod->addRoute("MPosition", modEnv, nullptr, 1.0f, osc1->positionInput, osc2->positionInput);
        mod->addRoute("MRingMod", modEnv, nullptr, 1.0f, mixer->ringModInput, nullptr);
        mod->registerDepths();
        // Every modulation input is read once per sub-block, at its middle
        // sample (the filter, mixer and oscillators take one value per
        // sub-block), and the LFOs feed nothing but the matrix; so only that
        // sample of the LFOs and of the matrix sums is ever needed.
        mod->setMiddleOnly(true);
        lfo1->setMiddleOnly(true);
        lfo2->setMiddleOnly(true);
        // The LFOs feed nothing but these routes: with their depths at 0 the
        // LFOs need not draw their waves.
        for (const ModRoute& route : mod->routes()) {
            if (route.source == lfo1)
                lfo1->addOutputReader(route.depth);
            else if (route.source == lfo2)
                lfo2->addOutputReader(route.depth);
        }
    }
    voiceParameterCount_ = parameterCount();

    digi_ = std::make_unique<Redux>(fx, "Digi", summer_.get());
    phaser_ = std::make_unique<Phaser>(fx, "Phaser", digi_.get(), table);
    chorus_ = std::make_unique<Chorus>(fx, "Chorus", phaser_.get(), table);
    delay_ = std::make_unique<Delay>(fx, "Delay", chorus_.get());
    lastModule_ = delay_.get();
    liveValues_.clear();
    for (int i = 0; i < parameterCount(); ++i)
        liveValues_.push_back(&parameter(i).value);
}
