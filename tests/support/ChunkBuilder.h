#pragma once
// Chunk bytes laid out as the plug-in writes them, for tests that hand it a
// host's saved state, whole or damaged: "vqbk" banks of "vqps" program
// blocks, counts big-endian, floats as raw little-endian bytes, and each
// bend point written value first, then time.

#include "plugin/BendList.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct ChunkBuilder {
    std::vector<uint8_t> out;

    void be(uint32_t v)
    {
        for (int s = 24; s >= 0; s -= 8)
            out.push_back(static_cast<uint8_t>(v >> s));
    }
    void f(float v)
    {
        uint8_t bytes[4];
        std::memcpy(bytes, &v, 4);
        out.insert(out.end(), bytes, bytes + 4);
    }
    void text(const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

    // A bank's header: magic, version 1 and the number of program blocks.
    void bank(uint32_t count)
    {
        text("vqbk");
        be(1);
        be(count);
    }
    // A program block's header: magic, version 1, the number of entries and
    // the name, cut or padded with NULs to 32 bytes.
    void header(const char* magic, uint32_t count, const std::string& name = "loaded")
    {
        text(magic);
        be(1);
        be(count);
        std::string padded = name.substr(0, 32);
        padded.resize(32, '\0');
        text(padded);
    }
    void entry(const std::string& name, float value, const std::vector<BendPoint>& points = {})
    {
        be(static_cast<uint32_t>(name.size()));
        be(static_cast<uint32_t>(points.size()));
        f(value);
        text(name);
        for (const BendPoint& point : points) {
            f(point.value);
            f(point.time);
        }
    }
};
