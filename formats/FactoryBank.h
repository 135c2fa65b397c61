#pragma once
// The factory programs, compiled in from examples/factory.fxb: their names
// and each one as a program chunk, the form the engine loads into one slot.
// Read once per process, on first use, through an engine of its own, so that
// the chunk format stays the engine's business.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class FactoryBank {
public:
    static const FactoryBank& instance();

    // The bank chunk as the file holds it.
    static const uint8_t* bankChunk();
    static std::size_t bankChunkSize();

    int programCount() const { return static_cast<int>(names_.size()); }
    const std::string& name(int index) const { return names_[static_cast<std::size_t>(index)]; }
    const std::vector<uint8_t>& program(int index) const { return programs_[static_cast<std::size_t>(index)]; }

private:
    FactoryBank();

    std::vector<std::string> names_;
    std::vector<std::vector<uint8_t>> programs_;
};
