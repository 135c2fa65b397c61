#!/usr/bin/env bash
# Runs a command on a virtual X server of its own: with-xvfb.sh COMMAND ARGS...
#
# The server picks a free display number itself and tells us which one it
# took (-displayfd), so tests started at the same moment never end up on the
# same display or fight over one, as they can with `xvfb-run -a`, which picks
# the number first and starts the server afterwards.
set -u

work=$(mktemp -d "${TMPDIR:-/tmp}/with-xvfb.XXXXXX") || exit 1
server=
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# -noreset: without it the server resets whenever its last client leaves,
# and a test that connects during the reset (the next test of a program
# whose previous one just closed its display) is refused.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/server.log" &
server=$!

display=
for _ in $(seq 100); do
    if grep -q . "$work/display" 2>/dev/null; then
        display=$(head -n1 "$work/display")
        break
    fi
    if ! kill -0 "$server" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
if [ -z "$display" ]; then
    echo "with-xvfb.sh: the virtual X server did not start:" >&2
    cat "$work/server.log" >&2
    exit 1
fi

DISPLAY=":$display" "$@"
