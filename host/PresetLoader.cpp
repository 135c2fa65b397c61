#include "host/PresetLoader.h"
#include "host/FxContainer.h"
#include "host/HostError.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace TarvelHost {

namespace {

constexpr std::size_t kMaxPresetSize = 64u * 1024u * 1024u;

std::vector<uint8_t> readFile(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        throw HostError("cannot open preset " + path + ": " + std::strerror(errno));
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + got);
        if (bytes.size() > kMaxPresetSize) {
            std::fclose(f);
            throw HostError("preset " + path + " is too large");
        }
    }
    bool error = std::ferror(f) != 0;
    int why = errno;
    std::fclose(f);
    if (error)
        throw HostError("cannot read preset " + path + ": " + std::strerror(why));
    return bytes;
}

std::string fourCC(int32_t id)
{
    std::string text(4, '?');
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>(static_cast<uint32_t>(id) >> (24 - 8 * i));
        if (c >= 32 && c <= 126)
            text[static_cast<std::size_t>(i)] = c;
    }
    return text;
}

void checkIdentity(PresetTarget& target, int32_t fxID, const std::string& path)
{
    if (fxID != target.uniqueID())
        throw HostError("preset " + path + " belongs to plug-in ID '" + fourCC(fxID) + "', this plug-in is '" +
                        fourCC(target.uniqueID()) + "'");
}

void requireChunks(PresetTarget& target, const std::string& path)
{
    if (!target.acceptsChunks())
        throw HostError("cannot load " + path + ": the plug-in does not accept program or bank chunks");
}

void applyParams(PresetTarget& target, const FxProgram& p)
{
    int count = std::min<int>(target.numParams(), static_cast<int>(p.params.size()));
    for (int i = 0; i < count; ++i)
        target.setParameter(i, p.params[static_cast<std::size_t>(i)]);
    target.setProgramName(p.name);
}

} // namespace

bool rawChunkIsProgram(const std::vector<uint8_t>& data, const std::string& path)
{
    if (data.size() >= 4 && std::memcmp(data.data(), "vqps", 4) == 0)
        return true;
    if (data.size() >= 4 && std::memcmp(data.data(), "vqbk", 4) == 0)
        return false;
    // Anything else is a damaged container (or no preset at all): fed to
    // the plug-in as a chunk, it would overwrite a program with garbage.
    throw HostError("cannot load " + path +
                    ": neither an .fxp/.fxb preset (no \"CcnK\" header) nor a program "
                    "or bank chunk (\"vqps\" or \"vqbk\")");
}

std::string loadPreset(PresetTarget& target, const std::string& path)
{
    std::vector<uint8_t> data = readFile(path);
    if (data.empty())
        throw HostError("preset " + path + " is empty");
    if (!isFxContainer(data)) {
        bool program = rawChunkIsProgram(data, path);
        requireChunks(target, path);
        target.setChunk(program, data);
        return std::string(program ? "program" : "bank") + " chunk, " + std::to_string(data.size()) + " bytes";
    }
    FxFile file;
    try {
        file = parseFx(data);
    } catch (const HostError& e) {
        throw HostError(path + ": " + e.what());
    }
    if (!file.isBank) {
        checkIdentity(target, file.program.fxID, path);
        if (file.program.opaque) {
            requireChunks(target, path);
            target.setChunk(true, file.program.chunk);
            return "program \"" + file.program.name + "\" (chunk, " + std::to_string(file.program.chunk.size()) +
                   " bytes)";
        }
        applyParams(target, file.program);
        return "program \"" + file.program.name + "\" (" + std::to_string(file.program.params.size()) + " parameters)";
    }
    const FxBank& bank = file.bank;
    checkIdentity(target, bank.fxID, path);
    if (bank.opaque) {
        requireChunks(target, path);
        target.setChunk(false, bank.chunk);
    } else {
        int count = std::min<int>(target.numPrograms(), static_cast<int>(bank.programs.size()));
        for (int i = 0; i < count; ++i) {
            target.setProgram(i);
            applyParams(target, bank.programs[static_cast<std::size_t>(i)]);
        }
    }
    if (bank.currentProgram >= 0 && bank.currentProgram < target.numPrograms())
        target.setProgram(bank.currentProgram);
    else if (!bank.opaque && target.numPrograms() > 0)
        target.setProgram(0);
    return bank.opaque ? "bank (chunk, " + std::to_string(bank.chunk.size()) + " bytes)"
                       : "bank (" + std::to_string(bank.programs.size()) + " programs)";
}

} // namespace TarvelHost
