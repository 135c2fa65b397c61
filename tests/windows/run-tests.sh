#!/bin/sh
# The Windows tests: the cross-built plug-in and host under Wine, against
# the Linux build.
#
# usage: tests/windows/run-tests.sh LINUX_BUILD WINDOWS_BUILD
#
# LINUX_BUILD needs Tarvel.so, the VST3 and CLAP editions, tarvel-host,
# windows_gui_reference, windows_tan_sweep, windows_runtime_math and
# windows_edition_check; WINDOWS_BUILD the cross build (cmake/mingw-w64.cmake).
# Wine runs in a fresh prefix inside WINDOWS_BUILD, quiet, without its
# .NET and HTML add-ons (which it would otherwise offer to download).
# Exits 0 when every test passes or is skipped, 1 when one fails.

set -u
LINUX=$(cd "$1" && pwd)
WIN=$(cd "$2" && pwd)
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
HERE="$SOURCE/tests/windows"
OUT="$WIN/windows-tests"
SONG="$SOURCE/examples/demo.mid"

for tool in wine x86_64-w64-mingw32-objdump python3 xvfb-run; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "windows tests skipped: $tool is not installed (make deps-windows)"
        exit 0
    fi
done

passed=0
failed=0
skipped=0
pass() { passed=$((passed + 1)); echo "PASS  $1"; }
fail() { failed=$((failed + 1)); echo "FAIL  $1"; }
skip() { skipped=$((skipped + 1)); echo "SKIP  $1"; }

rm -rf "$OUT"
mkdir -p "$OUT"
export WINEPREFIX="$WIN/wine-prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
start=$(date +%s)

# --- The files themselves --------------------------------------------------

# Windows' own DLLs only: no MinGW runtime (libstdc++, libgcc, winpthread)
# or anything else that would have to be shipped beside the plug-in.
SYSTEM_DLLS="kernel32.dll user32.dll gdi32.dll gdiplus.dll ole32.dll oleaut32.dll msvcrt.dll advapi32.dll shell32.dll shlwapi.dll comctl32.dll comdlg32.dll uxtheme.dll msimg32.dll winmm.dll ws2_32.dll"
check_imports() {
    file=$1
    if [ ! -f "$file" ]; then
        fail "$(basename "$file") exists"
        return
    fi
    imports=$(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
    bad=""
    for dll in $imports; do
        case " $SYSTEM_DLLS " in *" $dll "*) ;; *) case "$dll" in api-ms-win-*) ;; *) bad="$bad $dll" ;; esac ;; esac
    done
    if [ -z "$bad" ] && [ -n "$imports" ]; then
        pass "$(basename "$file") imports only Windows DLLs: $(echo $imports)"
    else
        fail "$(basename "$file") imports non-system DLLs:$bad"
    fi
}
VST3_DLL="$WIN/vst3/Tarvel.vst3/Contents/x86_64-win/Tarvel.vst3"
CLAP_DLL="$WIN/clap/Tarvel.clap"
check_imports "$WIN/Tarvel.dll"
check_imports "$WIN/tarvel-host.exe"
check_imports "$VST3_DLL"
check_imports "$CLAP_DLL"

exported() {
    x86_64-w64-mingw32-objdump -p "$1" 2>/dev/null | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | LC_ALL=C sort | tr '\n' ' '
}
exports=$(exported "$WIN/Tarvel.dll")
rvas=$(x86_64-w64-mingw32-objdump -p "$WIN/Tarvel.dll" | sed -n 's/^[[:space:]]*\[ *[0-9]*\] +base\[ *[0-9]*\] *\([0-9a-f]*\) Export RVA$/\1/p' | sort -u | wc -l)
if [ "$exports" = "VSTPluginMain main " ] && [ "$rvas" = 1 ]; then
    pass "Tarvel.dll exports VSTPluginMain and main, one function, and nothing else"
else
    fail "Tarvel.dll exports: $exports($rvas addresses)"
fi
# The editions export their format's entry points and the DllMain that DPF
# marks for export; nothing of the engine.
exports=$(exported "$VST3_DLL")
if [ "$exports" = "DllMain ExitDll GetPluginFactory InitDll " ]; then
    pass "Tarvel.vst3 exports GetPluginFactory, InitDll and ExitDll (and DllMain) only"
else
    fail "Tarvel.vst3 exports: $exports"
fi
exports=$(exported "$CLAP_DLL")
if [ "$exports" = "DllMain clap_entry " ]; then
    pass "Tarvel.clap exports clap_entry (and DllMain) only"
else
    fail "Tarvel.clap exports: $exports"
fi

# The zip for Windows users: every Windows file, as built.
zips=$(ls "$WIN"/Tarvel-*-windows-x64.zip 2>/dev/null)
if [ "$(echo "$zips" | grep -c .)" != 1 ]; then
    fail "one Windows zip in $(basename "$WIN") (found: ${zips:-none})"
elif result=$(python3 "$HERE/check_zip.py" "$zips" "$WIN" "$SOURCE"); then
    pass "$(basename "$zips"): $result"
else
    fail "$(basename "$zips"): $result"
fi

# --- Wine --------------------------------------------------------------------

rm -rf "$WINEPREFIX"
if wine wineboot -i >"$OUT/wineboot.log" 2>&1; then
    pass "fresh Wine prefix in $(basename "$WIN")/wine-prefix ($(wine --version))"
else
    fail "Wine cannot create its prefix (see $OUT/wineboot.log)"
    echo "windows tests: $passed passed, $failed failed, $skipped skipped"
    exit 1
fi
cd "$WIN"

# --- Identity and parameters ---------------------------------------------

"$LINUX/tarvel-host" info "$LINUX/Tarvel.so" | grep -v '^plug-in:' >"$OUT/info-linux.txt"
wine ./tarvel-host.exe info Tarvel.dll 2>"$OUT/info-windows.err" | tr -d '\r' | grep -v '^plug-in:' >"$OUT/info-windows.txt"
if [ -s "$OUT/info-windows.txt" ] && grep -q '^parameters (56)' "$OUT/info-windows.txt" &&
    diff -u "$OUT/info-linux.txt" "$OUT/info-windows.txt" >"$OUT/info.diff"; then
    pass "tarvel-host.exe info: identity, flags, 56 parameters with their texts and 32 programs as on Linux"
else
    fail "tarvel-host.exe info differs from the Linux plug-in's answers (see $OUT/info.diff)"
fi

# The loader's failures, through LoadLibrary: a missing file and a DLL that
# is no plug-in.
missing=$(wine ./tarvel-host.exe info no-such-plugin.dll 2>&1 | tr -d '\r')
notplugin=$(wine ./tarvel-host.exe info 'C:\windows\system32\version.dll' 2>&1 | tr -d '\r')
case "$missing" in *"cannot load plug-in no-such-plugin.dll:"*) ok_missing=1 ;; *) ok_missing=0 ;; esac
case "$notplugin" in *"exports neither VSTPluginMain nor main"*) ok_not=1 ;; *) ok_not=0 ;; esac
if [ $ok_missing = 1 ] && [ $ok_not = 1 ]; then
    pass "tarvel-host.exe reports a missing DLL and a DLL without the entry point"
else
    fail "loader errors: '$missing' / '$notplugin'"
fi

# --- Renders -------------------------------------------------------------------

# Every module busy: envelopes, both LFOs into every destination, other
# waves, ring modulation, saturation, a resonant band-pass, and all four
# effects with delay sync.
BUSY="--set 0=0.1 --set 1=0.3 --set 2=0.6 --set 3=0.3 --set 4=0.2 --set 5=0.4 --set 9=0.3 --set 13=0.6
--set 15=0.5 --set 18=0.3 --set 19=0.6 --set 20=0.7 --set 21=0.6 --set 23=0.9 --set 24=0.4 --set 25=0.3
--set 26=0.6 --set 27=0.45 --set 28=0.34 --set 29=0.6 --set 31=0.7 --set 32=0.4 --set 33=0.55 --set 34=0.8
--set 35=0.8 --set 36=0.5 --set 37=0.3 --set 38=0.2 --set 39=0.6 --set 40=0.7 --set 41=0.3 --set 42=0.2
--set 43=0.4 --set 44=0.7 --set 45=0.6 --set 46=0.5 --set 47=0.5 --set 48=0.5 --set 49=0.4 --set 50=0.4
--set 51=0.5 --set 52=0.6 --set 53=0.5 --set 55=0.4"
render_pair() {
    name=$1
    shift
    "$LINUX/tarvel-host" render --quiet --format float "$@" "$LINUX/Tarvel.so" "$SONG" -o "$OUT/$name-linux.wav" &&
        wine ./tarvel-host.exe render --quiet --format float "$@" Tarvel.dll "$SONG" -o "$OUT/$name-windows.wav" \
            >"$OUT/$name.log" 2>&1
    if [ $? -ne 0 ]; then
        fail "render $name: a host failed (see $OUT/$name.log)"
        return
    fi
    if result=$(python3 "$HERE/compare_wav.py" --tolerance 1e-6 "$OUT/$name-linux.wav" "$OUT/$name-windows.wav"); then
        pass "render $name agrees with Linux to 1e-6: $result"
    else
        fail "render $name: $result"
    fi
}
render_pair demo-default
# shellcheck disable=SC2086
render_pair demo-busy $BUSY
# shellcheck disable=SC2086
render_pair demo-busy-48k-block100 --rate 48000 --block 100 $BUSY

# Integer output through the Windows build's own WAV writer: the same
# bytes as libsndfile's.
for bits in 16 24; do
    "$LINUX/tarvel-host" render --quiet --format $bits "$LINUX/Tarvel.so" "$SONG" -o "$OUT/pcm$bits-linux.wav"
    wine ./tarvel-host.exe render --quiet --format $bits Tarvel.dll "$SONG" -o "$OUT/pcm$bits-windows.wav" \
        >/dev/null 2>&1
    if result=$(python3 "$HERE/compare_wav.py" --tolerance 0 "$OUT/pcm$bits-linux.wav" "$OUT/pcm$bits-windows.wav"); then
        pass "$bits-bit WAV from tarvel-host.exe holds libsndfile's samples: $result"
    else
        fail "$bits-bit WAV: $result"
    fi
done

# The VST3 and CLAP editions, loaded through their entry points (InitDll and
# GetPluginFactory, clap_entry) by the formats' own test hosts built for
# Windows: the same parameters, display texts, presets and saved state as
# the Linux editions, and the bench song, with the defaults and with every
# module busy, rendered to the same samples as the Linux VST 2.4 plug-in.
BENCH="$SOURCE/bench/song.mid"
"$LINUX/tests/windows/windows_edition_check" vst2 "$LINUX/Tarvel.so" "$BENCH" >"$OUT/edition-vst2-linux.txt" \
    2>"$OUT/edition-vst2-linux.log"
grep '^render' "$OUT/edition-vst2-linux.txt" >"$OUT/renders-linux.txt"
for edition in vst3:vst3/Tarvel.vst3:Tarvel.vst3 clap:clap/Tarvel.clap:Tarvel.clap; do
    kind=${edition%%:*}
    path=${edition#*:}
    path=${path%:*}
    name=${edition##*:}
    "$LINUX/tests/windows/windows_edition_check" $kind "$LINUX/$path" "$BENCH" >"$OUT/edition-$kind-linux.txt" \
        2>"$OUT/edition-$kind-linux.log"
    wine ./tarvel-edition-check.exe $kind "$path" "$BENCH" 2>"$OUT/edition-$kind-windows.log" |
        tr -d '\r' >"$OUT/edition-$kind-windows.txt"
    grep '^render' "$OUT/edition-$kind-windows.txt" >"$OUT/renders-$kind-windows.txt"
    if ! grep -q '^parameters (56)' "$OUT/edition-$kind-windows.txt"; then
        fail "$name under Wine: not loaded through its entry point (see $OUT/edition-$kind-windows.log)"
    elif ! diff -u "$OUT/edition-$kind-linux.txt" "$OUT/edition-$kind-windows.txt" >"$OUT/edition-$kind.diff"; then
        fail "$name under Wine differs from the Linux edition (see $OUT/edition-$kind.diff)"
    elif [ "$(wc -l <"$OUT/renders-linux.txt")" != 2 ] ||
        ! cmp -s "$OUT/renders-linux.txt" "$OUT/renders-$kind-windows.txt"; then
        fail "$name under Wine: the bench song differs from the Linux VST 2.4 plug-in's"
    else
        pass "$name under Wine: parameters, texts, presets and state as on Linux; bench song bit for bit as Tarvel.so"
    fi
done

# The tangent the phaser takes on every float it can be given.
linux_tan=$("$LINUX/tests/windows/windows_tan_sweep")
windows_tan=$(wine ./tarvel-tan-sweep.exe | tr -d '\r')
if [ -n "$linux_tan" ] && [ "$linux_tan" = "$windows_tan" ]; then
    pass "the plug-in's tanf equals the Linux C library's on all phaser arguments ($linux_tan)"
else
    fail "tanf sweep: Linux '$linux_tan', Windows '$windows_tan'"
fi

# Not a test: how the Windows C runtime's double functions differ from
# GNU libc's (the renders above show whether any difference reaches the
# output).
if "$LINUX/tests/windows/windows_runtime_math" "$OUT/math-linux.bin" &&
    wine ./runtime-math.exe "$OUT/math-windows.bin" && [ -s "$OUT/math-windows.bin" ]; then
    python3 "$HERE/compare_math.py" "$OUT/math-linux.bin" "$OUT/math-windows.bin" | sed 's/^/INFO  C runtime against GNU libc: /'
fi

# --- GUI -------------------------------------------------------------------------

# The windows need a Wine started on the virtual display: a wineserver left
# running by the programs above, started without one, would refuse them.
wineserver -w

"$LINUX/tests/windows/windows_gui_reference" "$OUT/scene-linux.png"
if xvfb-run -a -s "-screen 0 1024x768x24" wine ./windows-gui-check.exe "$OUT/scene-windows.png" \
    "$OUT/window-windows.png" >"$OUT/gui-check.log" 2>&1; then
    pass "Win32 platform layer in a window: $(grep -c '^ok' "$OUT/gui-check.log") checks (see $OUT/gui-check.log)"
else
    tr -d '\r' <"$OUT/gui-check.log" | grep -v '^ok'
    fail "Win32 platform layer in a window (see $OUT/gui-check.log)"
fi
# Fonts differ between the systems, so the text label is only checked for ink.
if result=$(python3 "$HERE/compare_png.py" --tolerance 2 --exclude 290,250,450,290 --ink 290,250,450,290 \
    "$OUT/scene-linux.png" "$OUT/scene-windows.png"); then
    pass "GDI+ draws the scene as cairo does: $result"
else
    fail "GDI+ scene against cairo: $result"
fi

# The editor as a Windows host opens it. Until the editor exists the plug-in
# reports none, and this is skipped.
xvfb-run -a -s "-screen 0 1024x768x24" wine ./tarvel-editor-shot.exe Tarvel.dll "$OUT/editor-windows.png" 1000 \
    >"$OUT/editor.log" 2>&1
status=$?
if [ $status -eq 77 ]; then
    skip "editor screenshot: the plug-in has no editor yet"
elif [ $status -ne 0 ]; then
    fail "editor screenshot (see $OUT/editor.log)"
elif ! python3 -c "import sys; sys.path.insert(0, '$HERE'); from compare_png import read_png
w, h, p = read_png('$OUT/editor-windows.png'); sys.exit(0 if (w, h) == (740, 520) and len(set(p)) > 16 else 1)"; then
    fail "editor screenshot: not a 740 x 520 picture of the editor"
elif "$LINUX/tarvel-host" --help 2>/dev/null | grep -q -- '--screenshot'; then
    # The Linux host's editor command writes the same window's picture.
    xvfb-run -a "$LINUX/tarvel-host" editor --screenshot "$OUT/editor-linux.png" --after 1000 "$LINUX/Tarvel.so" \
        >"$OUT/editor-linux.log" 2>&1
    if result=$(python3 "$HERE/compare_png.py" --tolerance 2 --exclude 290,250,450,290 \
        "$OUT/editor-linux.png" "$OUT/editor-windows.png"); then
        pass "editor under Wine looks as on Linux: $result"
    else
        fail "editor under Wine against Linux: $result"
    fi
else
    pass "editor screenshot written ($OUT/editor-windows.png); no Linux screenshot to compare with"
fi

# The CLAP edition's editor, embedded through the GUI extension in a host's
# window and driven by the host timer it asks for: the same picture as the
# VST 2.4 plug-in's editor under Wine.
if [ -f "$OUT/editor-windows.png" ]; then
    xvfb-run -a -s "-screen 0 1024x768x24" wine ./tarvel-editor-shot.exe 'clap\Tarvel.clap' "$OUT/editor-clap-windows.png" \
        1000 >"$OUT/editor-clap.log" 2>&1
    if [ $? -ne 0 ]; then
        fail "CLAP editor under Wine (see $OUT/editor-clap.log)"
    elif result=$(python3 "$HERE/compare_png.py" --tolerance 0 "$OUT/editor-windows.png" "$OUT/editor-clap-windows.png"); then
        pass "CLAP editor under Wine shows what Tarvel.dll's editor shows: $result"
    else
        fail "CLAP editor under Wine against Tarvel.dll's: $result"
    fi
fi

echo "windows tests: $passed passed, $failed failed, $skipped skipped in $(($(date +%s) - start)) s"
[ $failed -eq 0 ]
