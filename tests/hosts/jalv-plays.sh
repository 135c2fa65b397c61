#!/bin/sh
# jalv, the LV2 reference host, plays the LV2 edition on the JACK server that
# jack-server.sh started: the note probe sends A4 and records the answer.
# jalv sets Osc1Coarse to +12 semitones through its control port, so the
# note must come back an octave up, at 880 Hz: the host's control reached
# the engine, and the note was played, not just any sound.
#   jack-server.sh jalv-plays.sh TOOLS_DIR BUNDLE URI
# TOOLS_DIR holds jack_note_probe.
set -u
tools=$1 bundle=$2 uri=$3
. "$(dirname "$0")/jalv-setup.sh"

# jalv quits at the end of its input: give it a pipe that stays open.
mkfifo "$work/input"
exec 3<>"$work/input"
jalv -x -n tarvel -c Osc1Coarse=0.75 "$uri" <&3 >"$work/jalv.log" 2>&1 &
jalv_pid=$!

"$tools/jack_note_probe" --target tarvel --note 69 --expect-hz 880
status=$?
if ! kill -0 "$jalv_pid" 2>/dev/null; then
    echo "jalv has quit:"; cat "$work/jalv.log"; jalv_pid=; exit 1
fi
[ $status -eq 0 ] || { echo "jalv's output:"; tail -n 20 "$work/jalv.log"; }
exit $status
