#include "host/AudioFileSink.h"
#include "host/HostError.h"

#include <algorithm>
#include <cctype>
#include <sndfile.h>

namespace TarvelHost {

AudioFileSink::AudioFileSink(const std::string& path, int sampleRate, SampleFormat format) : path_(path)
{
    const std::string ext = lowerExtension(path);

    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    if (ext == "wav") {
        info.format = SF_FORMAT_WAV;
    } else if (ext == "flac") {
        if (format == SampleFormat::Float)
            throw HostError("FLAC stores integer samples only: use --format 16 or 24 for " + path);
        info.format = SF_FORMAT_FLAC;
    } else {
        throw HostError("cannot tell the audio format of " + path + ": the name must end in .wav or .flac");
    }
    info.format |= format == SampleFormat::Pcm16   ? SF_FORMAT_PCM_16
                   : format == SampleFormat::Pcm24 ? SF_FORMAT_PCM_24
                                                   : SF_FORMAT_FLOAT;
    if (!sf_format_check(&info))
        throw HostError("libsndfile cannot write this format for " + path);
    file_ = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file_ == nullptr)
        throw HostError("cannot write " + path + ": " + sf_strerror(nullptr));
    // Integer formats clip rather than wrap around on overs.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AudioFileSink::~AudioFileSink()
{
    if (file_ != nullptr)
        sf_close(file_);
}

void AudioFileSink::write(const float* left, const float* right, int frames)
{
    if (file_ == nullptr || frames <= 0)
        return;
    interleaved_.resize(static_cast<std::size_t>(frames) * 2);
    for (std::size_t i = 0; i < static_cast<std::size_t>(frames); ++i) {
        interleaved_[2 * i] = left[i];
        interleaved_[2 * i + 1] = right[i];
    }
    if (sf_writef_float(file_, interleaved_.data(), frames) != frames)
        failed_ = true;
}

void AudioFileSink::close()
{
    if (file_ == nullptr)
        return;
    std::string why = failed_ ? sf_strerror(file_) : "";
    int rc = sf_close(file_);
    file_ = nullptr;
    if (failed_ || rc != 0)
        throw HostError("writing " + path_ + " failed: " + (why.empty() ? sf_error_number(rc) : why));
}

} // namespace TarvelHost
