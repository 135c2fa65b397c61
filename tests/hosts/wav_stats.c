/*
 * wav_stats: the level and pitch of a 32-bit float WAV file (what the hosts
 * are asked to render), read without any audio library.
 *
 *   wav_stats FILE [--from S] [--to S] [--min-rms X] [--expect-hz F [--tol-cents C]]
 *
 * Prints key=value lines: seconds and peak of the whole file (all channels),
 * and the RMS and pitch of the first channel between --from and --to
 * (default: the whole file). Exit: 0 pass, 1 silent or wrong pitch, 2 unreadable.
 */
#include "pitch.h"

#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static uint32_t u32(const unsigned char* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static unsigned u16(const unsigned char* p) { return (unsigned)p[0] | (unsigned)p[1] << 8; }

int main(int argc, char** argv)
{
    if (argc < 2 || argc % 2 != 0) {
        fprintf(stderr, "usage: %s FILE [--from S] [--to S] [--min-rms X] [--expect-hz F [--tol-cents C]]\n", argv[0]);
        return 2;
    }
    double from = 0, to = -1, min_rms = 1e-4, expect = 0, tol = 25;
    for (int i = 2; i + 1 < argc; i += 2) {
        const double v = atof(argv[i + 1]);
        if (!strcmp(argv[i], "--from")) from = v;
        else if (!strcmp(argv[i], "--to")) to = v;
        else if (!strcmp(argv[i], "--min-rms")) min_rms = v;
        else if (!strcmp(argv[i], "--expect-hz")) expect = v;
        else if (!strcmp(argv[i], "--tol-cents")) tol = v;
        else {
            fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
    }
    FILE* f = fopen(argv[1], "rb");
    if (!f) {
        perror(argv[1]);
        return 2;
    }
    fseek(f, 0, SEEK_END);
    const long length = ftell(f);
    fseek(f, 0, SEEK_SET);
    const size_t size = length > 0 ? (size_t)length : 0;
    unsigned char* buf = malloc(size + 1);
    if (!buf || fread(buf, 1, size, f) != size || size < 12 || memcmp(buf, "RIFF", 4) || memcmp(buf + 8, "WAVE", 4)) {
        fprintf(stderr, "error: %s is not a WAV file\n", argv[1]);
        return 2;
    }
    fclose(f);

    unsigned format = 0, channels = 0, rate = 0, bits = 0;
    const unsigned char* data = NULL;
    size_t data_size = 0;
    for (size_t pos = 12; pos + 8 <= size;) {
        const size_t chunk = u32(buf + pos + 4);
        const unsigned char* body = buf + pos + 8;
        if (!memcmp(buf + pos, "fmt ", 4) && chunk >= 16) {
            format = u16(body);
            channels = u16(body + 2);
            rate = u32(body + 4);
            bits = u16(body + 14);
            if (format == 0xFFFE && chunk >= 26)
                format = u16(body + 24); /* extensible: the sub-format's first two bytes */
        } else if (!memcmp(buf + pos, "data", 4)) {
            data = body;
            data_size = chunk <= size - pos - 8 ? chunk : size - pos - 8;
        }
        pos += 8 + chunk + (chunk & 1);
    }
    if (!data || format != 3 || bits != 32 || channels == 0 || rate == 0) {
        fprintf(stderr, "error: not a 32-bit float WAV (format %u, %u bits, %u channels)\n", format, bits, channels);
        return 2;
    }

    const size_t frames = data_size / (4 * channels);
    float* first = malloc(frames * sizeof(float) + 1);
    double peak = 0;
    size_t nonfinite = 0;
    for (size_t i = 0; i < frames * channels; ++i) {
        float v;
        memcpy(&v, data + 4 * i, 4);
        if (i % channels == 0)
            first[i / channels] = v;
        if (!isfinite(v))
            ++nonfinite;
        else if (fabs((double)v) > peak)
            peak = fabs((double)v);
    }
    size_t a = (size_t)(from * rate), b = to < 0 ? frames : (size_t)(to * rate);
    b = b > frames ? frames : b;
    a = a > b ? b : a;
    double sum2 = 0;
    for (size_t i = a; i < b; ++i)
        sum2 += (double)first[i] * (double)first[i];
    const double rms = b > a ? sqrt(sum2 / (double)(b - a)) : 0.0;
    const double hz = estimate_pitch(first + a, b - a, rate);
    printf("seconds=%.3f\nchannels=%u\nrate=%u\npeak=%.6g\nwindow=%.3f-%.3f\nwindow_rms=%.6g\npitch_hz=%.3f\n",
           (double)frames / rate, channels, rate, peak, (double)a / rate, (double)b / rate, rms, hz);
    int ok = 1;
    if (!(rms >= min_rms)) {
        printf("problem=silent (rms %.3g < %.3g)\n", rms, min_rms);
        ok = 0;
    }
    if (nonfinite > 0) {
        printf("problem=%zu samples are not finite\n", nonfinite);
        ok = 0;
    }
    if (expect > 0 && !(fabs(cents_off(hz, expect)) <= tol)) {
        printf("problem=pitch %.2f Hz, expected %.2f Hz\n", hz, expect);
        ok = 0;
    }
    printf("verdict=%s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
