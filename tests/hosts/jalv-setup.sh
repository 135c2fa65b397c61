# shellcheck shell=sh disable=SC2154
# Sourced by the jalv checks once $bundle is set: a scratch folder ($work), a
# home of its own, the bundle beside the system's LV2 bundles, and jalv
# stopped however the check ends, once its process id is in $jalv_pid (jalv
# quits on ^C; one that hangs is killed after three seconds).
work=$(mktemp -d)
jalv_pid=
finish() {
    if [ -n "$jalv_pid" ] && kill -INT "$jalv_pid" 2>/dev/null; then
        for _ in $(seq 30); do kill -0 "$jalv_pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$jalv_pid" 2>/dev/null
        wait "$jalv_pid"
    fi
    rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT TERM

mkdir "$work/lv2" "$work/home"
ln -s "$(cd "$bundle" && pwd)" "$work/lv2/"
export LV2_PATH="$work/lv2:/usr/lib/lv2" HOME="$work/home"
