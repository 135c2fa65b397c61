#!/bin/sh
# jalv.gtk3 shows the LV2 edition's editor inside its own window, and a knob
# dragged there through XTest reaches jalv as the control's new value and is
# heard. Runs on an X display and a JACK server of its own:
#   tests/support/with-xvfb.sh jack-server.sh jalv-editor.sh TOOLS_DIR BUNDLE URI
# The knob is Osc1Coarse (at 520,30 in the 740x520 editor, 30x30): a drag of
# 60 pixels up from 0.5 makes it 0.8 (200 pixels span the range), which is
# +14 semitones, so A4 must sound at 987.77 Hz after the drag, 440 Hz before.
set -u
tools=$1 bundle=$2 uri=$3
. "$(dirname "$0")/jalv-setup.sh"
export NO_AT_BRIDGE=1 # GTK: no accessibility bus to look for
fail=0
problem() { echo "FAIL: $*"; fail=1; }

port=$(awk '/lv2:index/ { index_ = $2 + 0 } /lv2:symbol "Osc1Coarse"/ { print index_; exit }' "$bundle"/Tarvel.ttl)
[ -n "$port" ] || { echo "no Osc1Coarse port in $bundle"; exit 2; }

# The spy shows the values the editor hands to jalv.
LD_PRELOAD="$tools/suil_write_spy.so" jalv.gtk3 -x --jack-name tarvel "$uri" >"$work/jalv.log" 2>&1 &
jalv_pid=$!

echo "-- before the drag"
"$tools/jack_note_probe" --target tarvel --expect-hz 440 || problem "A4 did not sound at 440 Hz before the drag"
"$tools/x11_embed_probe" --pid "$jalv_pid" --size 740x520 --drag 535,45,0,-60 >"$work/x11.txt"
status=$?
cat "$work/x11.txt"
[ $status -eq 0 ] || problem "no editor inside jalv.gtk3's window"
host=$(sed -n 's/^host_window=//p' "$work/x11.txt")
grep -q "^ancestry=.*<$host<" "$work/x11.txt" || problem "the editor is not a child of jalv.gtk3's window"
[ "$(sed -n 's/^distinct_colours=//p' "$work/x11.txt")" -gt 100 ] || problem "the editor is not drawn"

# The editor tells the host from its idle callback, a moment later.
at_08() { awk -v v="${last:-0}" 'BEGIN { exit !(v > 0.79 && v < 0.81) }'; }
for _ in $(seq 50); do
    last=$(grep "SUIL_SPY write port=$port " "$work/jalv.log" | tail -n 1 | sed 's/.*value=//')
    at_08 && break
    sleep 0.1
done
echo "writes_to_Osc1Coarse=$(grep -c "SUIL_SPY write port=$port " "$work/jalv.log")"
echo "last_Osc1Coarse=${last:-none}"
at_08 || problem "jalv did not receive Osc1Coarse = 0.8"

echo "-- after the drag"
"$tools/jack_note_probe" --target tarvel --expect-hz 987.77 || problem "A4 did not sound 14 semitones up after the drag"
kill -0 "$jalv_pid" 2>/dev/null || { jalv_pid=; problem "jalv.gtk3 has quit"; }
[ $fail -eq 0 ] || { echo "jalv.gtk3's output:"; grep -v SUIL_SPY "$work/jalv.log" | tail -n 20; }
exit $fail
