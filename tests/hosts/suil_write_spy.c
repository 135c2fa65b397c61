/*
 * suil_write_spy.so: preloaded into a host built on suil (jalv.gtk3), shows
 * what the host receives from a plug-in's editor.
 *
 * The host hands suil its port-write callback in suil_host_new(); every value
 * an editor sets (a knob turned) reaches the host through it. The callback is
 * wrapped: each control value written prints, on stderr,
 *     SUIL_SPY write port=<index> value=<value>
 * and then goes on to the host unchanged.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>

/* suil's callback types, as its header declares them. */
typedef void (*PortWrite)(void* controller, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer);
typedef uint32_t (*PortIndex)(void* controller, const char* symbol);
typedef uint32_t (*PortSubscribe)(void* controller, uint32_t port, uint32_t protocol, const void* const* features);
typedef void* (*HostNew)(PortWrite, PortIndex, PortSubscribe, PortSubscribe);

static PortWrite g_host_write;

static void spy_write(void* controller, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer)
{
    if (protocol == 0 && size == sizeof(float)) {
        fprintf(stderr, "SUIL_SPY write port=%u value=%.6f\n", port, (double)*(const float*)buffer);
        fflush(stderr);
    }
    g_host_write(controller, port, size, protocol, buffer);
}

void* suil_host_new(PortWrite write, PortIndex index, PortSubscribe subscribe, PortSubscribe unsubscribe)
{
    HostNew real;
    *(void**)&real = dlsym(RTLD_NEXT, "suil_host_new");
    if (!real) {
        fprintf(stderr, "SUIL_SPY error: no suil_host_new to wrap\n");
        return NULL;
    }
    g_host_write = write;
    fprintf(stderr, "SUIL_SPY installed\n");
    return real(write ? spy_write : NULL, index, subscribe, unsubscribe);
}
