#pragma once
// Writes rendered stereo audio with libsndfile: WAV or FLAC chosen by the
// file's extension, as 16-bit, 24-bit or 32-bit float samples.

#include "host/Renderer.h"

#include <string>
#include <vector>

struct sf_private_tag;

namespace TarvelHost {

enum class SampleFormat { Pcm16, Pcm24, Float };

class AudioFileSink : public AudioSink {
public:
    // Opens (creates) the file at once, so an unwritable path fails before
    // rendering. Throws HostError.
    AudioFileSink(const std::string& path, int sampleRate, SampleFormat format);
    ~AudioFileSink() override;
    AudioFileSink(const AudioFileSink&) = delete;
    AudioFileSink& operator=(const AudioFileSink&) = delete;

    void write(const float* left, const float* right, int frames) override;
    // Flushes and closes; throws HostError when the data could not be written.
    void close();

    static SampleFormat parseFormat(const std::string& name); // "16", "24", "float"

private:
    std::string path_;
    sf_private_tag* file_ = nullptr;
    std::vector<float> interleaved_;
    bool failed_ = false;
};

// The extension of a file name in lower case, without the dot ("" when it
// has none); either kind of path separator ends the search.
std::string lowerExtension(const std::string& path);

} // namespace TarvelHost
