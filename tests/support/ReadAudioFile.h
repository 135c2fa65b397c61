#pragma once
// Reads a rendered audio file back as interleaved float samples. `info`, when
// given, receives its format; it is left untouched (channels 0 in a zeroed
// one) when the file cannot be read, and the samples are empty.

#include <sndfile.h>

#include <string>
#include <vector>

inline std::vector<float> readAudioFile(const std::string& path, SF_INFO* info = nullptr)
{
    SF_INFO format{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &format);
    if (file == nullptr)
        return {};
    std::vector<float> samples(static_cast<std::size_t>(format.frames) * static_cast<std::size_t>(format.channels));
    sf_readf_float(file, samples.data(), format.frames);
    sf_close(file);
    if (info)
        *info = format;
    return samples;
}
