/*
 * jack_note_probe: plays one note to a JACK instrument and judges the answer.
 *
 * Waits for the target client's ports, connects its own MIDI output to the
 * target's first MIDI input and the target's first two audio outputs to its
 * own inputs, then (optionally) sends a program change, a note on after
 * --lead-ms and its note off after --on-ms, and records until --tail-ms after
 * that. The held part of the note (from 50 ms after its start) must not be
 * silent and, with --expect-hz, must have that pitch.
 *
 * Prints key=value lines (rms, peak, lead_in_peak, pitch_hz, verdict).
 * Exit: 0 pass, 1 silent or wrong pitch, 2 usage or setup error, 3 timeout.
 */
#include "pitch.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <errno.h>
#include <getopt.h>
#include <stdatomic.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

enum { kChannels = 2 };

static jack_client_t* g_client;
static jack_port_t* g_midi_out;
static jack_port_t* g_in[kChannels];
/* The recording, allocated before activation: the process callback only copies. */
static float* g_rec[kChannels];
static uint32_t g_rec_frames, g_note_on_frame, g_note_off_frame;
static int g_note = 69, g_program = -1;
static atomic_int g_armed;
static atomic_uint g_pos;
static atomic_int g_midi_failed;

static void put_event(void* buffer, uint32_t pos, uint32_t nframes, uint32_t frame, jack_midi_data_t status,
                      jack_midi_data_t data1, jack_midi_data_t data2, size_t size)
{
    if (frame < pos || frame >= pos + nframes)
        return;
    const jack_midi_data_t event[3] = {status, data1, data2};
    if (jack_midi_event_write(buffer, frame - pos, event, size) != 0)
        atomic_store(&g_midi_failed, 1);
}

static int process(jack_nframes_t nframes, void* arg)
{
    (void)arg;
    void* midi = jack_port_get_buffer(g_midi_out, nframes);
    jack_midi_clear_buffer(midi);
    const uint32_t pos = atomic_load(&g_pos);
    if (!atomic_load(&g_armed) || pos >= g_rec_frames)
        return 0;
    if (g_program >= 0)
        put_event(midi, pos, nframes, 0, 0xC0, (jack_midi_data_t)g_program, 0, 2);
    put_event(midi, pos, nframes, g_note_on_frame, 0x90, (jack_midi_data_t)g_note, 100, 3);
    put_event(midi, pos, nframes, g_note_off_frame, 0x80, (jack_midi_data_t)g_note, 0, 3);
    const uint32_t n = pos + nframes > g_rec_frames ? g_rec_frames - pos : nframes;
    for (int c = 0; c < kChannels; ++c)
        memcpy(g_rec[c] + pos, jack_port_get_buffer(g_in[c], nframes), n * sizeof(float));
    atomic_store(&g_pos, pos + n);
    return 0;
}

static double now_s(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

/* The ports of one client (jack_get_ports takes a regular expression on the full name). */
static const char** client_ports(const char* client, const char* type, unsigned long flags)
{
    char pattern[512];
    size_t o = 0;
    pattern[o++] = '^';
    for (const char* s = client; *s && o < sizeof pattern - 4; ++s) {
        if (strchr(".[]()*+?^$|\\{}", *s))
            pattern[o++] = '\\';
        pattern[o++] = *s;
    }
    pattern[o++] = ':';
    pattern[o] = 0;
    return jack_get_ports(g_client, pattern, type, flags);
}

/* True once the two ports are connected (also when they already were). */
static int connect_ports(const char* source, const char* destination)
{
    const int result = jack_connect(g_client, source, destination);
    return result == 0 || result == EEXIST;
}

/* 32-bit float stereo WAV. */
static int write_wav(const char* path, unsigned rate)
{
    FILE* f = fopen(path, "wb");
    if (!f)
        return -1;
    const uint32_t data_bytes = g_rec_frames * kChannels * 4u, riff = 36u + data_bytes, fmt_size = 16u;
    const uint32_t byte_rate = rate * kChannels * 4u, rate32 = rate;
    const uint16_t format = 3, channels = kChannels, align = kChannels * 4, bits = 32;
    fwrite("RIFF", 1, 4, f);
    fwrite(&riff, 4, 1, f);
    fwrite("WAVEfmt ", 1, 8, f);
    fwrite(&fmt_size, 4, 1, f);
    fwrite(&format, 2, 1, f);
    fwrite(&channels, 2, 1, f);
    fwrite(&rate32, 4, 1, f);
    fwrite(&byte_rate, 4, 1, f);
    fwrite(&align, 2, 1, f);
    fwrite(&bits, 2, 1, f);
    fwrite("data", 1, 4, f);
    fwrite(&data_bytes, 4, 1, f);
    for (uint32_t i = 0; i < g_rec_frames; ++i)
        for (int c = 0; c < kChannels; ++c)
            fwrite(&g_rec[c][i], 4, 1, f);
    return fclose(f);
}

static int usage(const char* argv0)
{
    fprintf(stderr,
            "usage: %s --target CLIENT [options]\n"
            "  --note N          MIDI note, channel 1 (default 69)\n"
            "  --program P       send program change P (0-127) first\n"
            "  --lead-ms T       recorded before the note (default 200)\n"
            "  --on-ms T         the note's length (default 800); --tail-ms T after it (default 300)\n"
            "  --expect-hz F     fail unless the pitch is within --tol-cents C of F (default 25)\n"
            "  --min-rms X       fail if the held note's RMS is below X (default 1e-4)\n"
            "  --wav FILE        keep the recording (stereo float WAV)\n"
            "  --timeout-s T     give up after T seconds (default 20)\n",
            argv0);
    return 2;
}

int main(int argc, char** argv)
{
    const char* target = NULL;
    const char* wav = NULL;
    double lead_ms = 200, on_ms = 800, tail_ms = 300, expect_hz = 0, tol_cents = 25, min_rms = 1e-4, timeout_s = 20;
    static const struct option opts[] = {
        {"target", 1, 0, 't'}, {"note", 1, 0, 'n'}, {"program", 1, 0, 'p'}, {"lead-ms", 1, 0, 'L'},
        {"on-ms", 1, 0, 'O'}, {"tail-ms", 1, 0, 'T'}, {"expect-hz", 1, 0, 'e'}, {"tol-cents", 1, 0, 'C'},
        {"min-rms", 1, 0, 'r'}, {"wav", 1, 0, 'w'}, {"timeout-s", 1, 0, 'x'}, {0, 0, 0, 0}};
    for (int o; (o = getopt_long(argc, argv, "", opts, NULL)) != -1;) {
        switch (o) {
        case 't': target = optarg; break;
        case 'n': g_note = atoi(optarg); break;
        case 'p': g_program = atoi(optarg); break;
        case 'L': lead_ms = atof(optarg); break;
        case 'O': on_ms = atof(optarg); break;
        case 'T': tail_ms = atof(optarg); break;
        case 'e': expect_hz = atof(optarg); break;
        case 'C': tol_cents = atof(optarg); break;
        case 'r': min_rms = atof(optarg); break;
        case 'w': wav = optarg; break;
        case 'x': timeout_s = atof(optarg); break;
        default: return usage(argv[0]);
        }
    }
    if (!target || g_note < 0 || g_note > 127 || g_program > 127 || lead_ms < 0 || on_ms < 100 || tail_ms < 0)
        return usage(argv[0]);

    const double t0 = now_s();
    jack_status_t status;
    g_client = jack_client_open("note_probe", JackNoStartServer, &status);
    if (!g_client) {
        const char* server = getenv("JACK_DEFAULT_SERVER");
        fprintf(stderr, "error: no JACK server '%s' (status 0x%x)\n", server ? server : "default", (unsigned)status);
        return 2;
    }
    const unsigned rate = jack_get_sample_rate(g_client);
    g_note_on_frame = (uint32_t)(lead_ms * rate / 1000.0);
    g_note_off_frame = g_note_on_frame + (uint32_t)(on_ms * rate / 1000.0);
    g_rec_frames = g_note_off_frame + (uint32_t)(tail_ms * rate / 1000.0);
    for (int c = 0; c < kChannels; ++c)
        g_rec[c] = calloc(g_rec_frames, sizeof(float));
    g_midi_out = jack_port_register(g_client, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    g_in[0] = jack_port_register(g_client, "in_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    g_in[1] = jack_port_register(g_client, "in_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    if (!g_rec[0] || !g_rec[1] || !g_midi_out || !g_in[0] || !g_in[1]
        || jack_set_process_callback(g_client, process, NULL) || jack_activate(g_client)) {
        fprintf(stderr, "error: cannot set up the probe's JACK client\n");
        return 2;
    }

    /* The target may still be starting: its ports can be there before its
       client is active, and only an active client's ports connect. */
    int connected = 0;
    while (!connected && now_s() - t0 < timeout_s) {
        usleep(50000);
        const char** midi_in = client_ports(target, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
        const char** audio_out = client_ports(target, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
        if (midi_in && audio_out) {
            connected = connect_ports(jack_port_name(g_midi_out), midi_in[0]);
            for (int c = 0; c < kChannels; ++c) {
                const char* source = audio_out[c] ? audio_out[c] : audio_out[0]; /* a mono target is recorded twice */
                connected = connect_ports(source, jack_port_name(g_in[c])) && connected;
            }
            if (connected)
                printf("played_to=%s\nrecorded=%s %s\n", midi_in[0], audio_out[0], audio_out[1] ? audio_out[1] : "");
        }
        jack_free(midi_in);
        jack_free(audio_out);
    }
    if (!connected) {
        fprintf(stderr, "error: cannot play to client '%s' (MIDI input and audio outputs) after %.0f s\n", target,
                timeout_s);
        return 3;
    }
    atomic_store(&g_armed, 1);
    while (atomic_load(&g_pos) < g_rec_frames) {
        if (now_s() - t0 > timeout_s) {
            fprintf(stderr, "error: the recording did not finish in %.0f s\n", timeout_s);
            return 3;
        }
        usleep(20000);
    }
    jack_deactivate(g_client);
    jack_client_close(g_client);

    const uint32_t from = g_note_on_frame + rate / 20, to = g_note_off_frame;
    double sum2 = 0.0, peak = 0.0, lead_peak = 0.0;
    for (int c = 0; c < kChannels; ++c) {
        for (uint32_t i = 0; i < g_rec_frames; ++i) {
            const double v = fabs((double)g_rec[c][i]);
            if (i < g_note_on_frame && v > lead_peak)
                lead_peak = v;
            if (i >= from && i < to) {
                sum2 += v * v;
                peak = v > peak ? v : peak;
            }
        }
    }
    const double rms = sqrt(sum2 / ((double)(to - from) * kChannels));
    const double hz = estimate_pitch(g_rec[0] + from, to - from, rate);
    printf("sample_rate=%u\nnote=%d\nrms=%.6g\npeak=%.6g\nlead_in_peak=%.6g\npitch_hz=%.3f\n", rate, g_note, rms, peak,
           lead_peak, hz);
    if (wav && write_wav(wav, rate) != 0)
        fprintf(stderr, "warning: cannot write %s: %s\n", wav, strerror(errno));
    int ok = 1;
    if (atomic_load(&g_midi_failed)) {
        printf("problem=a MIDI event could not be sent\n");
        ok = 0;
    }
    if (!(rms >= min_rms)) {
        printf("problem=silent (rms %.3g < %.3g)\n", rms, min_rms);
        ok = 0;
    }
    if (expect_hz > 0 && !(fabs(cents_off(hz, expect_hz)) <= tol_cents)) {
        printf("problem=pitch %.2f Hz, expected %.2f Hz\n", hz, expect_hz);
        ok = 0;
    }
    printf("verdict=%s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
