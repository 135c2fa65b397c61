#pragma once
// A deterministic session for one plug-in instance, different for every
// seed: its own sample rate, block size, tempo, sound settings, notes and a
// chunk reload part-way. Run alone or beside other instances, the same seed
// must render the same samples.

#include "support/TestHost.h"

#include <functional>
#include <vector>

// Plays the session of `seed` on a started host; returns the left output.
std::vector<float> playScript(TestHost& host, int seed);

// Starts a host for `seed`'s session (its own sample rate and block size).
bool startForScript(TestHost& host, int seed);

// The session of `seed` in an instance of its own, nothing beside it: what
// every instance run together with others must render too.
std::vector<float> playAlone(int seed);

// Runs job(0) .. job(count - 1) on their own threads, released together so
// they overlap as much as possible, and waits for all of them.
void runTogether(int count, const std::function<void(int)>& job);
