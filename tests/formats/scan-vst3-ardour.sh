#!/bin/sh
# Ardour's VST3 scanner accepts the bundle: it loads the module, lists the
# instrument with its buses, and writes its cache (into a scratch home).
#   scan-vst3-ardour.sh SCANNER BUNDLE
set -eu
scanner=$1
bundle=$2
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
# The scanner's own libraries live beside it.
out=$(HOME=$home LD_LIBRARY_PATH="$(dirname "$scanner")" timeout 120 "$scanner" -f -v "$bundle" 2>&1) || {
    echo "$out"; echo "the scanner failed" >&2; exit 1; }
echo "$out" | grep -v '^\[Info\]: VST3: ' || true
echo "$out" | grep -q 'Found Plugin: Tarvel' || { echo "the scanner found no plug-in" >&2; exit 1; }
echo "$out" | grep -q 'category="Instrument|Synth|Stereo"' || { echo "not listed as an instrument" >&2; exit 1; }
echo "$out" | grep -q 'n_inputs="0" n_outputs="2".*n_midi_inputs="1"' || { echo "wrong buses" >&2; exit 1; }
