// Program ("vqps") and bank ("vqbk") chunks. Counts are big-endian, floats
// are raw little-endian bytes, and parameters are matched by full name, so
// chunks survive parameters being added or reordered. A chunk comes from a
// file that may be damaged: the reader never leaves the data, reads every
// entry completely before it applies it, and stops at the first entry it
// cannot read whole.

#include "plugin/ProgramStore.h"

#include "dsp/Module.h"

#include <cstring>
#include <string>

namespace {

constexpr uint32_t kChunkVersion = 1;

class ChunkWriter {
public:
    explicit ChunkWriter(std::vector<uint8_t>& out) : out_(out) {}
    void bytes(const void* data, std::size_t size)
    {
        const auto* p = static_cast<const uint8_t*>(data);
        out_.insert(out_.end(), p, p + size);
    }
    void be32(uint32_t v)
    {
        const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
        bytes(b, 4);
    }
    void f32(float v)
    {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        const uint8_t b[4] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
        bytes(b, 4);
    }

private:
    std::vector<uint8_t>& out_;
};

class ChunkReader {
public:
    ChunkReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t remaining() const { return size_ - pos_; }
    bool has(uint64_t n) const { return n <= remaining(); }
    bool skip(uint64_t n)
    {
        if (!has(n))
            return false;
        pos_ += static_cast<std::size_t>(n);
        return true;
    }
    bool be32(uint32_t& v)
    {
        if (!has(4))
            return false;
        const uint8_t* p = data_ + pos_;
        v = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
        pos_ += 4;
        return true;
    }
    bool f32(float& v)
    {
        if (!has(4))
            return false;
        const uint8_t* p = data_ + pos_;
        const uint32_t u = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
        std::memcpy(&v, &u, 4);
        pos_ += 4;
        return true;
    }
    bool bytes(void* out, std::size_t n)
    {
        if (!has(n))
            return false;
        std::memcpy(out, data_ + pos_, n);
        pos_ += n;
        return true;
    }
    const uint8_t* here() const { return data_ + pos_; }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

} // namespace

// Reads and writes program blocks for the store.
class ProgramChunks {
public:
    static void writeProgram(const ProgramStore& store, const Program& program, ChunkWriter& out)
    {
        out.bytes("vqps", 4);
        out.be32(kChunkVersion);
        out.be32(static_cast<uint32_t>(store.parameterCount_));
        out.bytes(program.name, Program::kNameSize);
        for (int i = 0; i < store.parameterCount_; ++i) {
            const ProgramParam& entry = program.param(i);
            const std::string& name = store.parameters_.parameter(i).name;
            const std::vector<BendPoint> points = entry.bend.points();
            out.be32(static_cast<uint32_t>(name.size()));
            out.be32(static_cast<uint32_t>(points.size()));
            out.f32(entry.value.load(std::memory_order_relaxed));
            out.bytes(name.data(), name.size());
            for (const BendPoint& p : points) {
                out.f32(p.value);
                out.f32(p.time);
            }
        }
    }

    // Returns false when the block ended early; what was read whole before
    // that point has been applied.
    static bool readProgram(ProgramStore& store, Program& program, ChunkReader& in)
    {
        uint32_t version = 0, count = 0;
        char name[Program::kNameSize];
        if (!in.skip(4) || !in.be32(version) || !in.be32(count) || !in.bytes(name, sizeof name))
            return false;
        std::memcpy(program.name, name, sizeof name);
        program.name[Program::kNameSize] = 0;

        std::vector<BendPoint> points;
        for (uint32_t e = 0; e < count; ++e) {
            uint32_t nameLength = 0, pointCount = 0;
            float value = 0.0f;
            if (!in.be32(nameLength) || !in.be32(pointCount) || !in.f32(value) || !in.has(nameLength))
                return false;
            const char* nameBytes = reinterpret_cast<const char*>(in.here());
            const std::size_t used = ::strnlen(nameBytes, nameLength);
            const std::string parameterName(nameBytes, used);
            in.skip(nameLength);
            if (!in.has(uint64_t(pointCount) * 8u))
                return false;
            const int index = store.parameters_.findParameter(parameterName.c_str());
            if (index < 0 || index >= program.paramCount) {
                in.skip(uint64_t(pointCount) * 8u);
                continue;
            }
            points.clear();
            points.reserve(pointCount);
            for (uint32_t p = 0; p < pointCount; ++p) {
                BendPoint point{};
                in.f32(point.value);
                in.f32(point.time);
                points.push_back(point);
            }
            ProgramParam& entry = program.param(index);
            entry.value.store(value, std::memory_order_relaxed);
            entry.bend.assign(points, store.reclaimer_);
        }
        return true;
    }
};

const std::vector<uint8_t>& ProgramStore::saveChunk(bool isPreset)
{
    const Lock held = lock();
    std::vector<uint8_t> bytes;
    ChunkWriter out(bytes);
    if (isPreset) {
        ProgramChunks::writeProgram(*this, current(), out);
    } else {
        out.bytes("vqbk", 4);
        out.be32(kChunkVersion);
        out.be32(kProgramCount);
        for (auto& program : programs_)
            ProgramChunks::writeProgram(*this, *program, out);
    }
    chunkBuffer_ = std::move(bytes);
    return chunkBuffer_;
}

void ProgramStore::loadChunk(const void* data, std::size_t size, bool isPreset)
{
    if (data == nullptr || size == 0)
        return;
    const Lock held = lock();
    const std::vector<uint8_t> copy(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    ChunkReader in(copy.data(), copy.size());
    if (isPreset) {
        ProgramChunks::readProgram(*this, current(), in);
        return;
    }
    uint32_t version = 0, count = 0;
    if (!in.skip(4) || !in.be32(version) || !in.be32(count))
        return;
    for (uint32_t p = 0; p < count && p < static_cast<uint32_t>(kProgramCount); ++p)
        if (!ProgramChunks::readProgram(*this, *programs_[p], in))
            break;
}
