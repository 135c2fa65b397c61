#!/bin/sh
# Runs a command against a JACK server of its own: a private `jackd` on the
# dummy backend (no sound card, no realtime rights), started for the command
# and stopped after it. Its name is in JACK_DEFAULT_SERVER, so every JACK
# client the command starts talks to this server and no other.
#
# The servers of one user share one registry of shared memory, and while one
# starts or stops, a client of another may fail to attach (jackd 1.9.21):
# tests that use this script take turns (CTest's RESOURCE_LOCK jack).
#   jack-server.sh COMMAND [ARG...]
# Exits with the command's status, or 2 when the server does not start.
# JACK_RATE (default 48000) and JACK_PERIOD (default 256) set its clock.
set -u
[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARG...]" >&2; exit 2; }

JACK_DEFAULT_SERVER=tarvel-test-$$
export JACK_DEFAULT_SERVER
log=$(mktemp)
jackd --no-realtime --name "$JACK_DEFAULT_SERVER" -d dummy --rate "${JACK_RATE:-48000}" \
    --period "${JACK_PERIOD:-256}" >"$log" 2>&1 &
jackd_pid=$!
# A server that does not stop within five seconds is killed, and what it
# leaves in /dev/shm under its name is removed.
stop() {
    kill "$jackd_pid" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$jackd_pid" 2>/dev/null || break; sleep 0.1; done
    if kill -KILL "$jackd_pid" 2>/dev/null; then
        rm -f /dev/shm/jack*_"$JACK_DEFAULT_SERVER"_*
    fi
    wait "$jackd_pid" 2>/dev/null
    rm -f "$log"
}
trap stop EXIT
trap 'exit 130' INT TERM

# jack_wait blocks until the server answers; a server that never does fails.
if ! timeout 10 jack_wait --wait >/dev/null 2>&1; then
    echo "jackd did not start:" >&2
    cat "$log" >&2
    exit 2
fi
"$@"
