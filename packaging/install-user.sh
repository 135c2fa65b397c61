#!/bin/sh
# make install-user: Tarvel for the current user, without root. The files
# come from the same install rules as `make install` (staged below the build
# tree), put where hosts and desktops look in a home folder:
#   ~/.vst, ~/.lv2, ~/.vst3, ~/.clap        the plug-ins
#   ~/.local/bin                            tarvel and tarvel-host
#   ~/.local/share/tarvel                   factory bank, demo song, manual
#   ~/.local/share/man/man1                 the manual pages
#   ~/.local/share/applications, icons      the desktop entry and its icon
# Usage: packaging/install-user.sh BUILD_DIR
set -eu

build=${1:?usage: $0 BUILD_DIR}
stage=$build/install-user-stage
rm -rf "$stage"
DESTDIR=$stage cmake --install "$build" --prefix /usr --strip >/dev/null
from=$stage/usr
data=${XDG_DATA_HOME:-$HOME/.local/share}

# A bundle is replaced whole, so that no file of an older version stays in it.
put_dir() { # FROM TO_PARENT
    mkdir -p "$2"
    rm -rf "$2/$(basename "$1")"
    cp -R "$1" "$2/"
    echo "installed $2/$(basename "$1")"
}
put_file() { # FROM TO_FOLDER
    mkdir -p "$2"
    cp "$1" "$2/"
    echo "installed $2/$(basename "$1")"
}

put_file "$from/lib/vst/Tarvel.so" "$HOME/.vst"
put_dir "$from/lib/lv2/Tarvel.lv2" "$HOME/.lv2"
put_dir "$from/lib/vst3/Tarvel.vst3" "$HOME/.vst3"
put_file "$from/lib/clap/Tarvel.clap" "$HOME/.clap"
put_file "$from/bin/tarvel" "$HOME/.local/bin"
put_file "$from/bin/tarvel-host" "$HOME/.local/bin"
put_dir "$from/share/tarvel" "$data"
for page in "$from"/share/man/man1/*; do
    put_file "$page" "$data/man/man1"
done
for icon in "$from"/share/icons/hicolor/*/apps/tarvel.png; do
    size=$(basename "$(dirname "$(dirname "$icon")")")
    put_file "$icon" "$data/icons/hicolor/$size/apps"
done
# A desktop session may not have ~/.local/bin on its PATH: the entry names
# the program by its full path.
mkdir -p "$data/applications"
sed -e "s|^Exec=tarvel|Exec=$HOME/.local/bin/tarvel|" -e "s|^TryExec=tarvel|TryExec=$HOME/.local/bin/tarvel|" \
    "$from/share/applications/tarvel.desktop" > "$data/applications/tarvel.desktop"
echo "installed $data/applications/tarvel.desktop"
rm -rf "$stage"

case ":$PATH:" in
*":$HOME/.local/bin:"*) ;;
*) echo "note: $HOME/.local/bin is not on your PATH; add it to run tarvel and tarvel-host by name" ;;
esac
