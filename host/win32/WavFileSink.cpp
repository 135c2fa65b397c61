// AudioFileSink on Windows, where the host is built without libsndfile: a
// RIFF WAVE writer of its own for 16-bit, 24-bit and 32-bit float samples.
// FLAC is left to the Linux build.

#include "host/AudioFileSink.h"
#include "host/HostError.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

// The header keeps the writer behind libsndfile's opaque handle type; here
// the name holds this writer's own state.
struct sf_private_tag {
    std::FILE* file = nullptr;
    TarvelHost::SampleFormat format = TarvelHost::SampleFormat::Pcm24;
    int sampleRate = 44100;
    std::uint64_t frames = 0;
    std::vector<unsigned char> bytes;
};

namespace TarvelHost {

namespace {

constexpr int kChannels = 2;

int bytesPerSample(SampleFormat format)
{
    return format == SampleFormat::Pcm16 ? 2 : format == SampleFormat::Pcm24 ? 3 : 4;
}

void put16(unsigned char* p, std::uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void put32(unsigned char* p, std::uint32_t v)
{
    put16(p, v);
    put16(p + 2, v >> 16);
}

// The header for `frames` frames: RIFF, fmt (a float file also gets the
// fact chunk that format requires), data.
std::vector<unsigned char> header(const sf_private_tag& state, std::uint64_t frames)
{
    const bool isFloat = state.format == SampleFormat::Float;
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(kChannels * bytesPerSample(state.format));
    const std::uint64_t dataBytes = frames * blockAlign;
    std::vector<unsigned char> h(isFloat ? 58 : 44, 0);
    std::memcpy(&h[0], "RIFF", 4);
    put32(&h[4], static_cast<std::uint32_t>(h.size() - 8 + dataBytes));
    std::memcpy(&h[8], "WAVEfmt ", 8);
    put32(&h[16], isFloat ? 18 : 16);
    put16(&h[20], isFloat ? 3 : 1); // IEEE float or PCM
    put16(&h[22], kChannels);
    put32(&h[24], static_cast<std::uint32_t>(state.sampleRate));
    put32(&h[28], static_cast<std::uint32_t>(state.sampleRate) * blockAlign);
    put16(&h[32], blockAlign);
    put16(&h[34], static_cast<std::uint32_t>(8 * bytesPerSample(state.format)));
    std::size_t at = 36;
    if (isFloat) {
        put16(&h[36], 0); // no extension bytes
        std::memcpy(&h[38], "fact", 4);
        put32(&h[42], 4);
        put32(&h[46], static_cast<std::uint32_t>(frames));
        at = 50;
    }
    std::memcpy(&h[at], "data", 4);
    put32(&h[at + 4], static_cast<std::uint32_t>(dataBytes));
    return h;
}

// Integer samples clip at full scale rather than wrap around. The scaling
// and rounding are libsndfile's, so both builds write the same bytes: the
// sample becomes a 32-bit integer (full scale 2^31, rounded to nearest
// even) whose top two or three bytes are kept.
std::int32_t toPcm(float sample, int shift)
{
    if (std::isnan(sample))
        return 0;
    const double scaled = static_cast<double>(sample * 2147483648.0f);
    if (scaled >= 2147483647.0)
        return 0x7fffffff >> shift;
    if (scaled <= -2147483648.0)
        return static_cast<std::int32_t>(-2147483647 - 1) >> shift;
    return static_cast<std::int32_t>(std::lrint(scaled)) >> shift;
}

} // namespace

AudioFileSink::AudioFileSink(const std::string& path, int sampleRate, SampleFormat format) : path_(path)
{
    const std::string ext = lowerExtension(path);
    const std::size_t dot = path.find_last_of('.');
    if (ext == "flac")
        throw HostError("this build writes WAV only: name the output " + path.substr(0, dot) + ".wav");
    if (ext != "wav")
        throw HostError("cannot tell the audio format of " + path + ": the name must end in .wav");

    auto state = std::make_unique<sf_private_tag>();
    state->format = format;
    state->sampleRate = sampleRate;
    state->file = std::fopen(path.c_str(), "wb");
    if (state->file == nullptr)
        throw HostError("cannot write " + path + ": " + std::strerror(errno));
    // A provisional header; close() writes the final sizes.
    std::vector<unsigned char> h = header(*state, 0);
    if (std::fwrite(h.data(), 1, h.size(), state->file) != h.size())
        failed_ = true;
    file_ = state.release();
}

AudioFileSink::~AudioFileSink()
{
    if (file_ != nullptr) {
        std::fclose(file_->file);
        delete file_;
    }
}

void AudioFileSink::write(const float* left, const float* right, int frames)
{
    if (file_ == nullptr || frames <= 0)
        return;
    const int width = bytesPerSample(file_->format);
    std::vector<unsigned char>& bytes = file_->bytes;
    bytes.resize(static_cast<std::size_t>(frames) * static_cast<std::size_t>(kChannels * width));
    unsigned char* p = bytes.data();
    for (int i = 0; i < frames; ++i) {
        for (float sample : {left[i], right[i]}) {
            std::uint32_t word;
            if (file_->format == SampleFormat::Float)
                std::memcpy(&word, &sample, 4);
            else if (file_->format == SampleFormat::Pcm16)
                word = static_cast<std::uint32_t>(toPcm(sample, 16));
            else
                word = static_cast<std::uint32_t>(toPcm(sample, 8));
            for (int b = 0; b < width; ++b)
                *p++ = static_cast<unsigned char>(word >> (8 * b));
        }
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_->file) != bytes.size())
        failed_ = true;
    file_->frames += static_cast<std::uint64_t>(frames);
}

void AudioFileSink::close()
{
    if (file_ == nullptr)
        return;
    sf_private_tag* state = file_;
    file_ = nullptr;
    const std::uint64_t dataBytes =
        state->frames * static_cast<std::uint64_t>(kChannels * bytesPerSample(state->format));
    bool tooLong = dataBytes > 0xFFFFFFFFull - 64;
    std::vector<unsigned char> h = header(*state, state->frames);
    if (!failed_ && !tooLong &&
        (std::fseek(state->file, 0, SEEK_SET) != 0 || std::fwrite(h.data(), 1, h.size(), state->file) != h.size()))
        failed_ = true;
    if (std::fclose(state->file) != 0)
        failed_ = true;
    delete state;
    if (tooLong)
        throw HostError("writing " + path_ + " failed: more than 4 GB of audio does not fit a WAV file");
    if (failed_)
        throw HostError("writing " + path_ + " failed");
}

} // namespace TarvelHost
