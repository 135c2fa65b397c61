#pragma once
// Tempo divisions shared by the LFOs and the delay: the length of one cycle
// (or echo) in whole notes of four beats, longest first.

namespace Vorn {

struct SyncDivision {
    const char* name;
    float wholeNotes;
};

constexpr int kSyncDivisionCount = 11;

inline constexpr SyncDivision kSyncDivisions[kSyncDivisionCount] = {
    {"8/1", 8.0f},  {"4/1", 4.0f},     {"2/1", 2.0f},   {"3/2", 1.5f},     {"1/1", 1.0f},      {"3/8", 0.375f},
    {"1/4", 0.25f}, {"3/16", 0.1875f}, {"1/8", 0.125f}, {"1/16", 0.0625f}, {"1/32", 0.03125f},
};

} // namespace Vorn
