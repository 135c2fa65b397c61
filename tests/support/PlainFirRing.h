#pragma once
// The saturator's oversampling filter written out plainly, the reference the
// resamplers are held to: an eight-sample ring of the input, pushed one
// sample at a time, and each of the four phases summed oldest tap first.

#include "dsp/Saturator.h"

struct PlainFirRing {
    float h[8] = {};
    int p = 0;
    void push(float x)
    {
        h[p] = x;
        p = (p + 1) % 8;
    }
    float phase(int j) const
    {
        float s = 0.0f;
        for (int k = 0; k < 8; ++k)
            s += Vorn::kOversampleFir[j + 4 * k] * h[((p - k) % 8 + 8) % 8];
        return s;
    }
};
