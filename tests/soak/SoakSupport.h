#pragma once
// Hostile host traffic for the soak and recovery tests: MIDI of every kind,
// a transport that jumps about, damaged chunks, and the checks that the
// plug-in still answers, still saves what it holds and still sounds.

#include "support/TestHost.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// A number from the environment, or the default when unset or unreadable.
double environmentNumber(const char* name, double fallback);

// A transport that a sane host sends: playing at 120 BPM from the start.
VstTimeInfo steadyTransport(double sampleRate);

// Tempo 0, negative and huge positions, non-finite fields, missing flags.
void scrambleTransport(VstTimeInfo& time, std::mt19937& rng);

// Damages a chunk one of several ways: keeps it whole, truncates it,
// replaces it with random bytes, flips bytes, writes non-finite values into
// it or makes its counts and lengths absurd.
void mangleChunk(std::vector<uint8_t>& chunk, std::mt19937& rng);

// Asks the questions hosts ask (names, displays, capabilities, program
// names) with hostile indices too. Returns the first answer that was wrong
// or that ran past the room the host gave, or null.
const char* answersQueries(TestHost& host, std::mt19937& rng, int parameterCount);

// Random MIDI for one effProcessEvents call: running notes on all channels,
// note-offs of notes never played, controller storms, SysEx, system and
// garbage bytes, unknown event types.
class HostileMidi {
public:
    explicit HostileMidi(unsigned seed);
    // Delivers one event list; returns how many events it held.
    int deliver(TestHost& host);

private:
    void add(const VstEvent& event);
    void midi(uint8_t status, uint8_t data1, uint8_t data2);

    std::mt19937 rng_;
    std::vector<VstMidiEvent> midiEvents_;
    std::vector<VstMidiSysexEvent> sysexEvents_;
    std::vector<VstEvent> otherEvents_;
    std::vector<VstEvent*> list_;
    std::vector<char> listStorage_;
    std::vector<char> sysex_;
    std::vector<std::pair<uint8_t, uint8_t>> sounding_;
};

// Loads a copy of the host's chunk into a fresh instance: it must load
// whole and write out byte for byte the same.
void expectChunkRoundTrip(TestHost& host, bool isPreset);

// Brings every value back to its default (through a chunk of a fresh
// instance, or through setParameter after poisoning every index once more)
// while notes are held; after one second of audio the next second must be
// finite and audible.
void expectRecoversAfterDefaults(TestHost& host, bool throughChunk);

// The default stored values, as a fresh instance reports them.
std::vector<float> defaultValues();

// Renders `seconds` of audio in blocks; returns the left output.
std::vector<float> renderSeconds(TestHost& host, double seconds, int block = 512);

// Counts the samples that are not finite; peak of the finite ones.
struct Level {
    long nonFinite = 0;
    float peak = 0.0f;
};
Level measure(const std::vector<float>& samples);
