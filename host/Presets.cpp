#include "host/Presets.h"
#include "host/FxContainer.h"
#include "host/HostError.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace TarvelHost {

namespace {

constexpr std::size_t kMaxPresetSize = 64u * 1024u * 1024u;

std::string extension(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

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

void checkIdentity(Plugin& plugin, int32_t fxID, const std::string& path)
{
    if (fxID != plugin.effect()->uniqueID) {
        char want[5] = {}, got[5] = {};
        for (int i = 0; i < 4; ++i) {
            want[i] = static_cast<char>(uint32_t(plugin.effect()->uniqueID) >> (24 - 8 * i));
            got[i] = static_cast<char>(uint32_t(fxID) >> (24 - 8 * i));
            if (want[i] < 32 || want[i] > 126)
                want[i] = '?';
            if (got[i] < 32 || got[i] > 126)
                got[i] = '?';
        }
        throw HostError("preset " + path + " belongs to plug-in ID '" + got + "', this plug-in is '" + want + "'");
    }
}

void requireChunks(Plugin& plugin, const std::string& path)
{
    if (!plugin.hasChunks())
        throw HostError("cannot load " + path + ": the plug-in does not accept program or bank chunks");
}

void applyParams(Plugin& plugin, const FxProgram& p)
{
    int count = std::min<int>(plugin.numParams(), static_cast<int>(p.params.size()));
    for (int i = 0; i < count; ++i)
        plugin.setParameter(i, p.params[static_cast<std::size_t>(i)]);
    plugin.setProgramName(p.name);
}

// A plug-in that hands out no chunk has nothing to save: that is an error,
// and nothing is written, rather than an empty preset.
std::vector<uint8_t> chunkToSave(Plugin& plugin, bool program, const std::string& path)
{
    try {
        return plugin.getChunk(program);
    } catch (const HostError& e) {
        throw HostError("cannot save " + path + ": " + e.what());
    }
}

FxProgram currentProgram(Plugin& plugin, bool opaque, const std::string& path)
{
    FxProgram p;
    p.opaque = opaque;
    p.fxID = plugin.effect()->uniqueID;
    p.fxVersion = plugin.effect()->version;
    p.numParams = plugin.numParams();
    p.name = plugin.currentProgramName();
    if (opaque)
        p.chunk = chunkToSave(plugin, true, path);
    else
        for (int i = 0; i < plugin.numParams(); ++i)
            p.params.push_back(plugin.getParameter(i));
    return p;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        throw HostError("cannot write preset " + path + ": " + std::strerror(errno));
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok)
        throw HostError("cannot write preset " + path + ": " + std::strerror(errno));
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
    throw HostError("cannot load " + path + ": neither an .fxp/.fxb preset (no \"CcnK\" header) nor a program "
                    "or bank chunk (\"vqps\" or \"vqbk\")");
}

std::string loadPreset(Plugin& plugin, const std::string& path)
{
    std::vector<uint8_t> data = readFile(path);
    if (data.empty())
        throw HostError("preset " + path + " is empty");
    if (!isFxContainer(data)) {
        bool program = rawChunkIsProgram(data, path);
        requireChunks(plugin, path);
        plugin.setChunk(program, data);
        return std::string(program ? "program" : "bank") + " chunk, " + std::to_string(data.size()) + " bytes";
    }
    FxFile file;
    try {
        file = parseFx(data);
    } catch (const HostError& e) {
        throw HostError(path + ": " + e.what());
    }
    if (!file.isBank) {
        checkIdentity(plugin, file.program.fxID, path);
        if (file.program.opaque) {
            requireChunks(plugin, path);
            plugin.setChunk(true, file.program.chunk);
            return "program \"" + file.program.name + "\" (chunk, " + std::to_string(file.program.chunk.size()) +
                   " bytes)";
        }
        applyParams(plugin, file.program);
        return "program \"" + file.program.name + "\" (" + std::to_string(file.program.params.size()) +
               " parameters)";
    }
    const FxBank& bank = file.bank;
    checkIdentity(plugin, bank.fxID, path);
    if (bank.opaque) {
        requireChunks(plugin, path);
        plugin.setChunk(false, bank.chunk);
    } else {
        int count = std::min<int>(plugin.numPrograms(), static_cast<int>(bank.programs.size()));
        for (int i = 0; i < count; ++i) {
            plugin.setProgram(i);
            applyParams(plugin, bank.programs[static_cast<std::size_t>(i)]);
        }
    }
    if (bank.currentProgram >= 0 && bank.currentProgram < plugin.numPrograms())
        plugin.setProgram(bank.currentProgram);
    else if (!bank.opaque && plugin.numPrograms() > 0)
        plugin.setProgram(0);
    return bank.opaque ? "bank (chunk, " + std::to_string(bank.chunk.size()) + " bytes)"
                       : "bank (" + std::to_string(bank.programs.size()) + " programs)";
}

void checkPresetPath(const std::string& path)
{
    std::string ext = extension(path);
    if (ext != "fxp" && ext != "fxb")
        throw HostError("cannot save to " + path + ": the name must end in .fxp (program) or .fxb (bank)");
    if (access(path.c_str(), F_OK) == 0) {
        if (access(path.c_str(), W_OK) != 0)
            throw HostError("cannot write preset " + path + ": " + std::strerror(errno));
        return;
    }
    std::size_t slash = path.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    if (access(dir.c_str(), W_OK) != 0)
        throw HostError("cannot write preset " + path + ": " + std::strerror(errno));
}

std::string savePreset(Plugin& plugin, const std::string& path)
{
    checkPresetPath(path);
    bool opaque = plugin.hasChunks();
    std::vector<uint8_t> bytes;
    if (extension(path) == "fxp") {
        bytes = writeFxProgram(currentProgram(plugin, opaque, path));
    } else {
        FxBank bank;
        bank.opaque = opaque;
        bank.fxID = plugin.effect()->uniqueID;
        bank.fxVersion = plugin.effect()->version;
        bank.numPrograms = plugin.numPrograms();
        bank.currentProgram = plugin.currentProgram();
        if (opaque) {
            bank.chunk = chunkToSave(plugin, false, path);
        } else {
            int current = plugin.currentProgram();
            for (int i = 0; i < plugin.numPrograms(); ++i) {
                plugin.setProgram(i);
                bank.programs.push_back(currentProgram(plugin, false, path));
            }
            plugin.setProgram(current);
        }
        bytes = writeFxBank(bank);
    }
    writeFile(path, bytes);
    return std::to_string(bytes.size()) + " bytes";
}

} // namespace TarvelHost
