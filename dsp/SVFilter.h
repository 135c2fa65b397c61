#pragma once
// The voice filter: a two-integrator state-variable filter run twice per
// sample (the second pass with a zero input) whose output is the mean of the
// two passes. Four responses: low-pass, high-pass, band-pass, band-reject.

#include "dsp/InstructionSet.h"
#include "dsp/Module.h"
#include "dsp/ParamSmoother.h"

#include <limits>

namespace Vorn {

class SVFilter : public Module {
public:
    enum Mode { LowPass = 0, HighPass = 1, BandPass = 2, BandReject = 3 };
    static constexpr int kModeCount = 4;
    // Display names of the modes, by index.
    static const char* modeName(int mode);
    // Maps a normalised "Mode" value to 0..3 (NaN counts as 0).
    static int modeIndex(float value);

    SVFilter(Effect* owner, const char* name, const Module* input);

    int format(const float* param, float value, char* text, std::size_t size) override;
    void process(int sampleRate, int count) override;
    // Filters of several voices run side by side, one per vector lane.
    void processGroup(Module* const* group, int size, int sampleRate, int count) override;
    bool rendersInGroups() const override { return true; }

    const float* cutoff;
    const float* mode;
    const float* resonance;
    // Cutoff modulation in normalised units, written by the modulation
    // matrix; read once per sub-block at its middle sample.
    float cutoffInput[kSubBlock];

    // Coefficients of the last processed sub-block, kept for inspection.
    double frequencyCoefficient() const { return f_; }
    double damping() const { return m_; }
    int activeMode() const { return activeMode_; }
    double lowPass() const { return low_; }
    double bandPass() const { return band_; }

private:
    template <int Selected>
    void run(const float* in, int count);
    void removeUndampedMode();
    // The per-block set-up of process() before the loop (coefficients and
    // mode), and the clean-up after it.
    void beginBlock(int count);
    void runActiveMode(int count);
    void endBlock();
    bool processLanes(Module* const* group, int size, int count, InstructionSet level);

    const Module* input_;
    ParamSmoother cutoffSmoother_;
    ParamSmoother resonanceSmoother_;
    // Filter state: the two integrators, low-pass and band-pass. The notch
    // and high-pass responses are formed from them within each pass.
    double low_ = 0.0;
    double band_ = 0.0;

    double lastCutoff_ = -1.0;
    // The coefficient and stability limit for lastCutoff_ (the sine, or 0
    // where it is not finite).
    double lastFrequency_ = 0.0;
    double lastLimit_ = std::numeric_limits<double>::infinity();
    float lastResonance_ = -1.0f;
    float lastDamping_ = 0.0f;
    double f_ = 0.0;
    double m_ = 0.0;
    double limit_ = 0.0;
    int activeMode_ = 0;
};

} // namespace Vorn
