#pragma once
// Tests that run a fast path at one instruction-set level and compare it
// with the plain form (the Scalar level). A level the processor lacks is
// reported as skipped, never run as a narrower one.

#include "dsp/InstructionSet.h"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <ostream>
#include <string>

namespace Vorn {
// How a test's parameter is printed.
inline void PrintTo(InstructionSet level, std::ostream* out)
{
    *out << instructionSetName(level);
}
} // namespace Vorn

class AtLevel : public ::testing::TestWithParam<Vorn::InstructionSet> {
protected:
    void SetUp() override
    {
        if (!Vorn::ScopedInstructionSet::available(GetParam()))
            GTEST_SKIP() << "this processor lacks " << Vorn::instructionSetName(GetParam());
        level_.emplace(GetParam());
    }
    void TearDown() override { level_.reset(); }

private:
    std::optional<Vorn::ScopedInstructionSet> level_;
};

// Runs `compute` with the plain forms only, whatever level the test is at.
template <class Compute>
void plainly(Compute&& compute)
{
    const Vorn::ScopedInstructionSet plain(Vorn::InstructionSet::Scalar);
    compute();
}

inline std::string levelName(const ::testing::TestParamInfo<Vorn::InstructionSet>& info)
{
    std::string name;
    for (const char* c = Vorn::instructionSetName(info.param); *c != '\0'; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c)))
            name += *c;
    return name;
}

// Instantiates `suite` at the levels where the code under test has a form
// of its own.
#define AT_LEVELS(suite, ...) INSTANTIATE_TEST_SUITE_P(Levels, suite, ::testing::Values(__VA_ARGS__), levelName)
