#!/bin/sh
# Runs a command on an X display of its own: a private Xvfb, started for the
# command and stopped after it. Xvfb picks a free display number itself
# (-displayfd), so tests using this script can run side by side, with each
# other and with xvfb-run.
#   xvfb-server.sh COMMAND [ARG...]
# Exits with the command's status, or 2 when the server does not start.
set -u
[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARG...]" >&2; exit 2; }

number=$(mktemp)
Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$number" >/dev/null 2>&1 &
xvfb_pid=$!
stop() {
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    rm -f "$number"
}
trap stop EXIT
trap 'exit 130' INT TERM

# Xvfb writes the display's number once it accepts clients.
for _ in $(seq 100); do
    [ -s "$number" ] || ! kill -0 "$xvfb_pid" 2>/dev/null && break
    sleep 0.1
done
[ -s "$number" ] || { echo "Xvfb did not start" >&2; exit 2; }
DISPLAY=:$(head -n 1 "$number")
export DISPLAY
"$@"
