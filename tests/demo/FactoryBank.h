#pragma once
// Reading the factory bank for the tests: the .fxb container and the
// plug-in's own program chunks inside it.

#include "host/FxContainer.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace FactoryBank {

// The programs the bank is meant to hold, in slot order.
inline const std::vector<std::string>& names()
{
    static const std::vector<std::string> list = {"Soft Keys",  "Swell Pad", "Round Bass", "Saw Lead",
                                                  "Glass Pluck", "Tine Piano", "Gate Arp",  "Ring Bell",
                                                  "Chip Crush", "Wah Clav"};
    return list;
}

inline std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline TarvelHost::FxBank load() { return TarvelHost::parseFx(readFile(FACTORY_BANK_PATH)).bank; }

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
    const uint32_t count = (uint32_t(chunk.at(8)) << 24) | (uint32_t(chunk.at(9)) << 16) |
                           (uint32_t(chunk.at(10)) << 8) | chunk.at(11);
    for (uint32_t p = 0; p < count; ++p)
        programs.push_back(parseProgram(chunk, at));
    return programs;
}

// A "vqps" block of `program`, written the way the plug-in writes one.
inline std::vector<uint8_t> writeProgram(const Program& program)
{
    std::vector<uint8_t> out;
    auto be = [&](uint32_t v) {
        for (int s = 24; s >= 0; s -= 8)
            out.push_back(uint8_t(v >> s));
    };
    auto f = [&](float v) {
        uint8_t bytes[4];
        std::memcpy(bytes, &v, 4);
        out.insert(out.end(), bytes, bytes + 4);
    };
    const std::string magic = "vqps";
    out.insert(out.end(), magic.begin(), magic.end());
    be(1);
    be(uint32_t(program.entries.size()));
    std::string name = program.name.substr(0, 32);
    name.resize(32, '\0');
    out.insert(out.end(), name.begin(), name.end());
    for (const Entry& e : program.entries) {
        be(uint32_t(e.name.size()));
        be(uint32_t(e.bend.size()));
        f(e.value);
        out.insert(out.end(), e.name.begin(), e.name.end());
        for (const auto& point : e.bend) {
            f(point.second);
            f(point.first);
        }
    }
    return out;
}

} // namespace FactoryBank
