/* See pitch.h. */
#include "pitch.h"

#include <math.h>
#include <stdlib.h>

double estimate_pitch(const float* x, size_t n, unsigned rate)
{
    const size_t min_lag = rate / 2000, max_lag = rate / 30;
    if (n < 2 * max_lag)
        return 0.0;
    const size_t w = n - max_lag;
    double* r = calloc(max_lag + 2, sizeof(double));
    double e0 = 0.0, best = -1.0, hz = 0.0;
    if (r == NULL)
        return 0.0;
    for (size_t i = 0; i < w; ++i)
        e0 += (double)x[i] * (double)x[i];
    for (size_t lag = min_lag; lag <= max_lag + 1 && e0 > 0.0; ++lag) {
        double s = 0.0, e1 = 0.0;
        for (size_t i = 0; i < w; ++i) {
            s += (double)x[i] * (double)x[i + lag];
            e1 += (double)x[i + lag] * (double)x[i + lag];
        }
        r[lag] = s / sqrt(e0 * e1 + 1e-30);
        if (lag <= max_lag && r[lag] > best)
            best = r[lag];
    }
    for (size_t lag = min_lag + 1; lag <= max_lag && e0 > 0.0; ++lag) {
        if (r[lag] >= 0.9 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
            const double a = r[lag - 1], b = r[lag], c = r[lag + 1], d = a - 2.0 * b + c;
            hz = (double)rate / ((double)lag + (d != 0.0 ? 0.5 * (a - c) / d : 0.0));
            break;
        }
    }
    free(r);
    return hz;
}

double cents_off(double hz, double expected)
{
    return hz > 0.0 ? 1200.0 * log2(hz / expected) : 1e9;
}
