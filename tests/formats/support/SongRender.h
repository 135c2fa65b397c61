#pragma once
// Plays a MIDI song through an edition block by block, exactly as the
// command-line host plays it through the VST 2.4 edition: the same event
// positions and the same transport record at every block.

#include "support/PluginUnderTest.h"

#include "host/MidiFile.h"

#include <cstdint>
#include <vector>

struct Rendered {
    std::vector<float> left, right;
};

// Renders the song and `tailSeconds` after it; the plug-in must be activated
// with at least `blockSize` frames.
Rendered renderSong(PluginUnderTest& plugin, const TarvelHost::MidiFile& song, int sampleRate, int blockSize,
                    double tailSeconds = 1.0);

// The largest difference between two renders of the same length (infinity
// when the lengths differ), and the number of samples that differ at all.
double largestDifference(const Rendered& a, const Rendered& b);
long differingSamples(const Rendered& a, const Rendered& b);
