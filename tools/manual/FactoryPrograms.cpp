#include "manual/FactoryPrograms.h"

#include "host/FxContainer.h"
#include "plugin/Synth.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace Manual {

namespace {

VstIntPtr VST_CALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

struct SheetEntry {
    std::string name, category, summary;
};

// slot, name, category, three columns of measurements, summary.
std::vector<SheetEntry> readSheet(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::vector<SheetEntry> entries;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields;
        std::istringstream columns(line);
        for (std::string field; std::getline(columns, field, '\t');)
            fields.push_back(field);
        if (fields.size() != 7 || fields[0] != std::to_string(entries.size()))
            throw std::runtime_error(path + ": expected slot " + std::to_string(entries.size()) +
                                     " and 7 columns in \"" + line + "\"");
        entries.push_back({fields[1], fields[2], fields[6]});
    }
    return entries;
}

} // namespace

std::string factoryPrograms(const std::string& bankPath, const std::string& sheetPath)
{
    std::ifstream in(bankPath, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + bankPath);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
    std::vector<uint8_t> chunk = TarvelHost::parseFx(file).bank.chunk;
    Synth synth(&quietHost);
    if (chunk.empty() || synth.setChunk(chunk.data(), static_cast<VstInt32>(chunk.size()), false) == 0)
        throw std::runtime_error(bankPath + " holds no bank of the plug-in's");

    const std::vector<SheetEntry> sheet = readSheet(sheetPath);
    if (sheet.size() != static_cast<std::size_t>(Synth::kProgramCount))
        throw std::runtime_error(sheetPath + " does not list every program of the bank");
    std::string out, category;
    for (int p = 0; p < Synth::kProgramCount; ++p) {
        const SheetEntry& entry = sheet[static_cast<std::size_t>(p)];
        const std::string name = synth.program(p).name;
        if (name != entry.name)
            throw std::runtime_error(sheetPath + " calls program " + std::to_string(p) + " \"" + entry.name +
                                     "\", the bank \"" + name + "\"");
        synth.setProgram(p);
        bool bend = false;
        for (int i = 0; i < synth.parameterCount(); ++i)
            bend = bend || synth.hasBend(i);
        if (entry.category != category) {
            category = entry.category;
            out += (out.empty() ? "" : "\n") + std::string("#### ") + category + "\n\n";
        }
        out +=
            "- " + std::to_string(p) + " **" + name + "**: " + entry.summary + (bend ? " (recorded bend)" : "") + "\n";
    }
    return out;
}

} // namespace Manual
