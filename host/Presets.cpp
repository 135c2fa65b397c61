#include "host/Presets.h"
#include "host/AudioFileSink.h"
#include "host/FxContainer.h"
#include "host/HostError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace TarvelHost {

namespace {

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

// The loaded plug-in as the receiver of a preset.
class PluginTarget : public PresetTarget {
public:
    explicit PluginTarget(Plugin& plugin) : plugin_(plugin) {}
    int32_t uniqueID() override { return plugin_.effect()->uniqueID; }
    bool acceptsChunks() override { return plugin_.hasChunks(); }
    int numParams() override { return plugin_.numParams(); }
    int numPrograms() override { return plugin_.numPrograms(); }
    void setChunk(bool program, const std::vector<uint8_t>& data) override { plugin_.setChunk(program, data); }
    void setParameter(int index, float value) override { plugin_.setParameter(index, value); }
    void setProgram(int program) override { plugin_.setProgram(program); }
    void setProgramName(const std::string& name) override { plugin_.setProgramName(name); }

private:
    Plugin& plugin_;
};

} // namespace

std::string loadPreset(Plugin& plugin, const std::string& path)
{
    PluginTarget target(plugin);
    return loadPreset(target, path);
}

void checkPresetPath(const std::string& path)
{
    std::string ext = lowerExtension(path);
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
    if (lowerExtension(path) == "fxp") {
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
