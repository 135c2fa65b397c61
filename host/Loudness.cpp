#include "host/Loudness.h"

#include "host/HostError.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace TarvelHost {

LoudnessReading measureLoudness(const std::vector<float>& left, const std::vector<float>& right, int sampleRate)
{
    if (sampleRate <= 0)
        throw HostError("cannot measure loudness at a sample rate of " + std::to_string(sampleRate) + " Hz");
    auto destroy = [](ebur128_state* state) { ebur128_destroy(&state); };
    std::unique_ptr<ebur128_state, decltype(destroy)> state(
        ebur128_init(2, static_cast<unsigned long>(sampleRate), EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK), destroy);
    if (!state)
        throw HostError("the loudness meter cannot measure at " + std::to_string(sampleRate) + " Hz");

    // The library takes interleaved frames; a few thousand at a time keeps
    // the copy small.
    constexpr std::size_t kChunk = 4096;
    const std::size_t frames = std::min(left.size(), right.size());
    std::vector<float> interleaved(2 * kChunk);
    for (std::size_t at = 0; at < frames; at += kChunk) {
        const std::size_t n = std::min(kChunk, frames - at);
        for (std::size_t i = 0; i < n; ++i) {
            interleaved[2 * i] = left[at + i];
            interleaved[2 * i + 1] = right[at + i];
        }
        if (ebur128_add_frames_float(state.get(), interleaved.data(), n) != EBUR128_SUCCESS)
            throw HostError("the loudness meter ran out of memory");
    }

    LoudnessReading reading;
    if (ebur128_loudness_global(state.get(), &reading.integratedLufs) != EBUR128_SUCCESS)
        throw HostError("the loudness meter could not give the integrated loudness");
    double peak = 0.0;
    for (unsigned channel = 0; channel < 2; ++channel) {
        double channelPeak = 0.0;
        if (ebur128_true_peak(state.get(), channel, &channelPeak) != EBUR128_SUCCESS)
            throw HostError("the loudness meter could not give the true peak");
        peak = std::max(peak, channelPeak);
    }
    reading.truePeakDbtp = peak > 0.0 ? 20.0 * std::log10(peak) : -std::numeric_limits<double>::infinity();
    return reading;
}

} // namespace TarvelHost
