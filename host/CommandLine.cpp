#include "host/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace TarvelHost {

double parseNumber(const std::string& option, const std::string& text, double low, double high)
{
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != 0 || errno != 0 || !std::isfinite(v) || v < low || v > high) {
        char range[64];
        std::snprintf(range, sizeof range, "%g to %g", low, high);
        throw UsageError(option + " needs a number from " + range + ", not \"" + text + "\"");
    }
    return v;
}

long parseInteger(const std::string& option, const std::string& text, long low, long high)
{
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || errno != 0 || v < low || v > high)
        throw UsageError(option + " needs a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                         ", not \"" + text + "\"");
    return v;
}

OptionReader::OptionReader(int argc, char** argv, bool inlineValues)
    : argc_(argc), argv_(argv), inlineValues_(inlineValues)
{
}

bool OptionReader::next()
{
    if (++at_ >= argc_)
        return false;
    word_ = argv_[at_];
    option_ = word_;
    hasInlineValue_ = false;
    const std::size_t equals = word_.find('=');
    if (inlineValues_ && word_.rfind("--", 0) == 0 && equals != std::string::npos) {
        option_ = word_.substr(0, equals);
        inlineValue_ = word_.substr(equals + 1);
        hasInlineValue_ = true;
    }
    return true;
}

std::string OptionReader::value()
{
    if (hasInlineValue_)
        return inlineValue_;
    if (at_ + 1 >= argc_)
        throw UsageError(option_ + " needs a value");
    return argv_[++at_];
}

void OptionReader::positional()
{
    if (word_.size() > 1 && word_[0] == '-')
        throw UsageError("unknown option " + option_);
    positionals_.push_back(word_);
}

} // namespace TarvelHost
