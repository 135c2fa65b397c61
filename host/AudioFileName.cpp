// What both audio writers (libsndfile here, our own WAV writer on Windows)
// read from the command line: the sample format and the file's extension.

#include "host/AudioFileSink.h"
#include "host/HostError.h"

#include <algorithm>
#include <cctype>

namespace TarvelHost {

SampleFormat AudioFileSink::parseFormat(const std::string& name)
{
    if (name == "16" || name == "pcm16")
        return SampleFormat::Pcm16;
    if (name == "24" || name == "pcm24")
        return SampleFormat::Pcm24;
    if (name == "float" || name == "32f" || name == "f32")
        return SampleFormat::Float;
    throw HostError("unknown sample format \"" + name + "\" (use 16, 24 or float)");
}

std::string lowerExtension(const std::string& path)
{
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

} // namespace TarvelHost
