#!/bin/sh
# Qtractor's plug-in scanner loads the CLAP plug-in and reads its ports:
# no audio input, two outputs, one MIDI input, 56 parameters, an editor.
#   scan-clap-qtractor.sh SCANNER PLUGIN.clap
set -eu
scanner=$1
plugin=$2
out=$(echo "CLAP:$plugin" | timeout 120 "$scanner" 2>&1) || { echo "$out"; echo "the scanner failed" >&2; exit 1; }
echo "$out"
echo "$out" | grep -q "^CLAP|Tarvel|0:2|1:0|56:0|GUI" || { echo "the scanner did not list the plug-in as expected" >&2; exit 1; }
