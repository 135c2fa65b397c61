#pragma once
// Reading the factory bank for the tests: the .fxb container and the
// plug-in's own program chunks inside it.

#include "host/FxContainer.h"
#include "tests/support/ChunkBuilder.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace FactoryBank {

// One line of the sheet that the bank's generator writes beside it: what
// the program is, by when it must have fallen silent and how far its
// loudness may stray from the bank's median.
struct SheetEntry {
    int slot = 0;
    std::string name, category;
    double releaseSeconds = 0.0;
    double luLow = 0.0, luHigh = 0.0; // window around the median, in LU
    std::string summary;
};

inline std::vector<SheetEntry> sheet()
{
    std::vector<SheetEntry> entries;
    std::ifstream in(FACTORY_SHEET_PATH);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields;
        std::size_t at = 0;
        for (std::size_t tab; (tab = line.find('\t', at)) != std::string::npos; at = tab + 1)
            fields.push_back(line.substr(at, tab - at));
        fields.push_back(line.substr(at));
        if (fields.size() != 7)
            continue; // the tests count the entries
        SheetEntry e;
        e.slot = std::stoi(fields[0]);
        e.name = fields[1];
        e.category = fields[2];
        e.releaseSeconds = std::stod(fields[3]);
        e.luLow = std::stod(fields[4]);
        e.luHigh = std::stod(fields[5]);
        e.summary = fields[6];
        entries.push_back(e);
    }
    return entries;
}

inline std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline TarvelHost::FxBank load()
{
    return TarvelHost::parseFx(readFile(FACTORY_BANK_PATH)).bank;
}

struct Entry {
    std::string name;
    float value = 0.0f;
    std::vector<std::pair<float, float>> bend; // (time, value)
};

struct Program {
    std::string name;
    std::vector<Entry> entries;
};

// Reads one "vqps" block from `at`, advancing it; stops at the end of the data.
inline Program parseProgram(const std::vector<uint8_t>& b, std::size_t& at)
{
    auto be = [&](std::size_t p) {
        return (uint32_t(b.at(p)) << 24) | (uint32_t(b.at(p + 1)) << 16) | (uint32_t(b.at(p + 2)) << 8) | b.at(p + 3);
    };
    auto f = [&](std::size_t p) {
        b.at(p + 3); // bounds check
        float v;
        std::memcpy(&v, b.data() + p, 4);
        return v;
    };
    Program program;
    const uint32_t count = be(at + 8);
    char name[33] = {};
    std::memcpy(name, &b.at(at + 12), 32);
    program.name = name;
    at += 44;
    for (uint32_t i = 0; i < count; ++i) {
        Entry e;
        const uint32_t length = be(at), points = be(at + 4);
        e.value = f(at + 8);
        e.name.assign(reinterpret_cast<const char*>(&b.at(at + 12)), length);
        at += 12 + length;
        for (uint32_t p = 0; p < points; ++p, at += 8)
            e.bend.emplace_back(f(at + 4), f(at));
        program.entries.push_back(e);
    }
    return program;
}

inline std::vector<Program> parseBank(const std::vector<uint8_t>& chunk)
{
    std::vector<Program> programs;
    std::size_t at = 12;
    const uint32_t count =
        (uint32_t(chunk.at(8)) << 24) | (uint32_t(chunk.at(9)) << 16) | (uint32_t(chunk.at(10)) << 8) | chunk.at(11);
    for (uint32_t p = 0; p < count; ++p)
        programs.push_back(parseProgram(chunk, at));
    return programs;
}

// A "vqps" block of `program`, written the way the plug-in writes one.
inline std::vector<uint8_t> writeProgram(const Program& program)
{
    ChunkBuilder chunk;
    chunk.header("vqps", static_cast<uint32_t>(program.entries.size()), program.name);
    for (const Entry& e : program.entries) {
        std::vector<BendPoint> points;
        for (const auto& [time, value] : e.bend)
            points.push_back({time, value});
        chunk.entry(e.name, e.value, points);
    }
    return chunk.out;
}

} // namespace FactoryBank
