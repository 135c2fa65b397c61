/*
 * The pitch of a held note, for the tests and tools that check what a host
 * or the standalone application played (C, so the probes written in C share
 * it with the C++ tests).
 *
 * Normalised autocorrelation over lags of 30 Hz to 2 kHz: the first peak
 * that comes within 10 % of the best one is the period (a harmonic-rich wave
 * correlates almost as well at two periods as at one, never better),
 * refined between samples by a parabola. 0 for silence.
 */
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

double estimate_pitch(const float* x, size_t n, unsigned rate);

/* The distance of `hz` from `expected` in cents (huge when there is no pitch). */
double cents_off(double hz, double expected);

#ifdef __cplusplus
}
#endif
