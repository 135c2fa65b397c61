#pragma once
// What the commands share in reading their words: the error for a command
// line that cannot be followed (the program prints it with a pointer to
// --help and exits with status 2), numbers checked against their range, and
// a reader that walks options, their values and the positional words.

#include "host/HostError.h"

#include <string>
#include <vector>

namespace TarvelHost {

struct UsageError : HostError {
    using HostError::HostError;
};

// `text` as a finite number from `low` to `high`; UsageError naming `option`
// otherwise.
double parseNumber(const std::string& option, const std::string& text, double low, double high);
// `text` as a whole decimal number from `low` to `high`.
long parseInteger(const std::string& option, const std::string& text, long low, long high);

// Walks the words of one command:
//     OptionReader args(argc, argv, true);
//     while (args.next())
//         if (args.is("--rate")) rate = parseInteger(args.option(), args.value(), ...);
//         else args.positional();
class OptionReader {
public:
    // `inlineValues` also accepts "--name=value" for an option's value.
    OptionReader(int argc, char** argv, bool inlineValues);

    // Moves to the next word; false when there is none.
    bool next();
    // The current word is this option (or this other spelling of it).
    bool is(const char* name) const { return option_ == name; }
    bool is(const char* name, const char* other) const { return option_ == name || option_ == other; }
    // The current option, without an inline value.
    const std::string& option() const { return option_; }
    // The current option's value: its inline value or the next word.
    std::string value();
    // The current word is none of the options the command knows: an error
    // if it looks like an option, else the next positional word.
    void positional();
    const std::vector<std::string>& positionals() const { return positionals_; }

private:
    int argc_;
    char** argv_;
    bool inlineValues_;
    int at_ = -1;
    std::string word_, option_, inlineValue_;
    bool hasInlineValue_ = false;
    std::vector<std::string> positionals_;
};

} // namespace TarvelHost
