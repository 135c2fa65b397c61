#include "host/FxContainer.h"
#include "host/HostError.h"

#include <algorithm>
#include <cstring>

namespace TarvelHost {

namespace {

constexpr std::size_t kProgramNameBytes = 28;
constexpr std::size_t kBankReserved = 128;

class BigEndianReader {
public:
    BigEndianReader(const std::vector<uint8_t>& data, std::size_t end) : data_(data), end_(end) {}
    std::size_t pos() const { return pos_; }
    void need(std::size_t count, const char* what)
    {
        if (count > end_ - pos_)
            throw HostError(std::string("malformed preset: ") + what +
                            " runs past the end of the data at byte offset " + std::to_string(pos_));
    }
    uint32_t u32(const char* what)
    {
        need(4, what);
        uint32_t v = (uint32_t(data_[pos_]) << 24) | (uint32_t(data_[pos_ + 1]) << 16) |
                     (uint32_t(data_[pos_ + 2]) << 8) | data_[pos_ + 3];
        pos_ += 4;
        return v;
    }
    int32_t i32(const char* what) { return static_cast<int32_t>(u32(what)); }
    std::string magic(const char* what)
    {
        need(4, what);
        std::string m(reinterpret_cast<const char*>(&data_[pos_]), 4);
        pos_ += 4;
        return m;
    }
    const uint8_t* take(std::size_t count, const char* what)
    {
        need(count, what);
        const uint8_t* p = data_.data() + pos_;
        pos_ += count;
        return p;
    }

private:
    const std::vector<uint8_t>& data_;
    std::size_t end_;
    std::size_t pos_ = 0;
};

[[noreturn]] void bad(const std::string& what, std::size_t offset)
{
    throw HostError("malformed preset: " + what + " at byte offset " + std::to_string(offset));
}

void putU32(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void putMagic(std::vector<uint8_t>& out, const char* magic)
{
    out.insert(out.end(), magic, magic + 4);
}

// Fills in the byteSize field (everything after it) once the record is complete.
void patchSize(std::vector<uint8_t>& out, std::size_t recordStart)
{
    uint32_t size = static_cast<uint32_t>(out.size() - recordStart - 8);
    for (std::size_t i = 0; i < 4; ++i)
        out[recordStart + 4 + i] = static_cast<uint8_t>(size >> (24 - 8 * i));
}

FxProgram readProgram(BigEndianReader& r, bool insideBank)
{
    std::size_t start = r.pos();
    if (r.magic("program record") != "CcnK")
        bad("program record without 'CcnK'", start);
    std::size_t sizeAt = r.pos();
    uint32_t byteSize = r.u32("program size");
    r.need(byteSize, "program record");
    std::size_t recordEnd = r.pos() + byteSize;
    std::size_t magicAt = r.pos();
    std::string fxMagic = r.magic("program type");
    FxProgram p;
    if (fxMagic == "FPCh")
        p.opaque = true;
    else if (fxMagic != "FxCk")
        bad(std::string(insideBank ? "bank program" : "program") + " type is neither 'FxCk' nor 'FPCh'", magicAt);
    r.i32("format version");
    p.fxID = r.i32("plug-in ID");
    p.fxVersion = r.i32("plug-in version");
    std::size_t countAt = r.pos();
    int32_t numParams = r.i32("parameter count");
    p.numParams = numParams;
    const uint8_t* name = r.take(kProgramNameBytes, "program name");
    p.name.assign(reinterpret_cast<const char*>(name), strnlen(reinterpret_cast<const char*>(name), kProgramNameBytes));
    if (p.opaque) {
        std::size_t chunkAt = r.pos();
        uint32_t chunkSize = r.u32("chunk size");
        if (chunkSize > recordEnd - std::min(r.pos(), recordEnd))
            bad("chunk size larger than the program record", chunkAt);
        const uint8_t* chunk = r.take(chunkSize, "program chunk");
        p.chunk.assign(chunk, chunk + chunkSize);
    } else {
        if (numParams < 0 || static_cast<std::size_t>(numParams) > (recordEnd - std::min(r.pos(), recordEnd)) / 4)
            bad("parameter count larger than the program record", countAt);
        for (int32_t i = 0; i < numParams; ++i) {
            uint32_t bits = r.u32("parameter value");
            float v;
            std::memcpy(&v, &bits, 4);
            p.params.push_back(v);
        }
    }
    if (r.pos() > recordEnd)
        bad("program record longer than its size field", sizeAt);
    // Skip any padding a writer left inside the declared size.
    r.take(recordEnd - r.pos(), "program record");
    return p;
}

void writeProgramRecord(std::vector<uint8_t>& out, const FxProgram& p)
{
    std::size_t start = out.size();
    putMagic(out, "CcnK");
    putU32(out, 0);
    putMagic(out, p.opaque ? "FPCh" : "FxCk");
    putU32(out, 1);
    putU32(out, static_cast<uint32_t>(p.fxID));
    putU32(out, static_cast<uint32_t>(p.fxVersion));
    putU32(out, static_cast<uint32_t>(p.opaque ? p.numParams : static_cast<int32_t>(p.params.size())));
    char name[kProgramNameBytes] = {};
    std::strncpy(name, p.name.c_str(), kProgramNameBytes - 1);
    out.insert(out.end(), name, name + kProgramNameBytes);
    if (p.opaque) {
        putU32(out, static_cast<uint32_t>(p.chunk.size()));
        out.insert(out.end(), p.chunk.begin(), p.chunk.end());
    } else {
        for (float v : p.params) {
            uint32_t bits;
            std::memcpy(&bits, &v, 4);
            putU32(out, bits);
        }
    }
    patchSize(out, start);
}

} // namespace

bool isFxContainer(const std::vector<uint8_t>& data)
{
    return data.size() >= 4 && std::memcmp(data.data(), "CcnK", 4) == 0;
}

FxFile parseFx(const std::vector<uint8_t>& data)
{
    FxFile file;
    if (!isFxContainer(data))
        bad("no 'CcnK' header", 0);
    if (data.size() < 12)
        bad("file too short for a preset header", data.size());
    std::string fxMagic(reinterpret_cast<const char*>(data.data() + 8), 4);
    if (fxMagic == "FxCk" || fxMagic == "FPCh") {
        BigEndianReader r(data, data.size());
        file.program = readProgram(r, false);
        return file;
    }
    if (fxMagic != "FxBk" && fxMagic != "FBCh")
        bad("unknown preset type '" + fxMagic + "'", 8);
    file.isBank = true;
    FxBank& bank = file.bank;
    bank.opaque = fxMagic == "FBCh";
    BigEndianReader r(data, data.size());
    r.magic("bank");
    uint32_t byteSize = r.u32("bank size");
    r.need(byteSize, "bank");
    std::size_t bankEnd = r.pos() + byteSize;
    BigEndianReader body(data, bankEnd);
    body.take(r.pos(), "bank");
    body.magic("bank type");
    bank.version = body.i32("format version");
    bank.fxID = body.i32("plug-in ID");
    bank.fxVersion = body.i32("plug-in version");
    std::size_t countAt = body.pos();
    int32_t numPrograms = body.i32("program count");
    bank.numPrograms = numPrograms;
    const uint8_t* reserved = body.take(kBankReserved, "bank header");
    if (bank.version >= 2) {
        bank.currentProgram = static_cast<int32_t>((uint32_t(reserved[0]) << 24) | (uint32_t(reserved[1]) << 16) |
                                                   (uint32_t(reserved[2]) << 8) | reserved[3]);
    }
    if (bank.opaque) {
        std::size_t chunkAt = body.pos();
        uint32_t chunkSize = body.u32("chunk size");
        if (chunkSize > bankEnd - body.pos())
            bad("chunk size larger than the bank", chunkAt);
        const uint8_t* chunk = body.take(chunkSize, "bank chunk");
        bank.chunk.assign(chunk, chunk + chunkSize);
    } else {
        // Each program record takes at least 56 bytes; a count beyond that is damage.
        if (numPrograms < 0 || static_cast<std::size_t>(numPrograms) > (bankEnd - body.pos()) / 56)
            bad("program count larger than the bank", countAt);
        for (int32_t i = 0; i < numPrograms; ++i)
            bank.programs.push_back(readProgram(body, true));
    }
    return file;
}

std::vector<uint8_t> writeFxProgram(const FxProgram& program)
{
    std::vector<uint8_t> out;
    writeProgramRecord(out, program);
    return out;
}

std::vector<uint8_t> writeFxBank(const FxBank& bank)
{
    std::vector<uint8_t> out;
    putMagic(out, "CcnK");
    putU32(out, 0);
    putMagic(out, bank.opaque ? "FBCh" : "FxBk");
    putU32(out, 2);
    putU32(out, static_cast<uint32_t>(bank.fxID));
    putU32(out, static_cast<uint32_t>(bank.fxVersion));
    putU32(out, static_cast<uint32_t>(bank.opaque ? bank.numPrograms : static_cast<int32_t>(bank.programs.size())));
    std::vector<uint8_t> reserved(kBankReserved, 0);
    uint32_t current = static_cast<uint32_t>(std::max<int32_t>(0, bank.currentProgram));
    for (std::size_t i = 0; i < 4; ++i)
        reserved[i] = static_cast<uint8_t>(current >> (24 - 8 * i));
    out.insert(out.end(), reserved.begin(), reserved.end());
    if (bank.opaque) {
        putU32(out, static_cast<uint32_t>(bank.chunk.size()));
        out.insert(out.end(), bank.chunk.begin(), bank.chunk.end());
    } else {
        for (const FxProgram& p : bank.programs)
            writeProgramRecord(out, p);
    }
    patchSize(out, 0);
    return out;
}

} // namespace TarvelHost
