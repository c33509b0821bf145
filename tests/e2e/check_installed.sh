#!/usr/bin/env bash
# Checks an installed Tavrel tree: ROOT is its prefix (the folder holding
# bin/, lib/ and share/), wherever it was put (a DESTDIR, an unpacked
# package). Pictures of the window go to OUT_DIR.
#
#  - layout: bin/ holds only the relative link bin/tavrel, the application
#    and its three programs live together in lib/tavrel/, the documents in
#    share/doc/tavrel/, the desktop files where the desktop looks for them,
#    and the validators of the desktop entry and the metainfo accept them;
#  - start: bin/tavrel, started on a private X server with a fresh home
#    folder, opens its main window and no other one (a missing program
#    would bring up the missing-tools dialog, which is modal: F1 would then
#    not reach the main window), and F1 shows the about page, F1 again
#    brings the clip list back;
#  - a moved copy: the whole tree copied elsewhere, with tsmuxer taken
#    out, starts and asks for the missing program in the "Localiser les
#    fichiers" dialog (a picture of it is kept).
set -euo pipefail

root=$(cd "$1" && pwd)
out_dir=$2
app_id=fr.morvek.Tavrel
title='Tavrel 1.0.3 fr de Morvek'

fail() { echo "FAIL: $*" >&2; exit 1; }

check_layout() {
    [ -L "$root/bin/tavrel" ] || fail "bin/tavrel is not a symbolic link"
    [ "$(readlink "$root/bin/tavrel")" = ../lib/tavrel/tavrel ] \
        || fail "bin/tavrel points at $(readlink "$root/bin/tavrel")"
    [ "$(ls -A "$root/bin")" = tavrel ] || fail "bin/ holds more than tavrel: $(ls -A "$root/bin" | xargs)"
    local program
    for program in tavrel eac3to tsmuxer imgburn; do
        [ -f "$root/lib/tavrel/$program" ] && [ -x "$root/lib/tavrel/$program" ] \
            || fail "lib/tavrel/$program is missing or not executable"
    done
    [ -s "$root/share/doc/tavrel/aide.html" ] || fail "no help page in share/doc/tavrel"
    [ -s "$root/share/doc/tavrel/README.md" ] || fail "no README in share/doc/tavrel"
    [ -s "$root/share/icons/hicolor/scalable/apps/$app_id.svg" ] || fail "no scalable icon"
    [ -s "$root/share/icons/hicolor/48x48/apps/$app_id.png" ] || fail "no 48x48 icon"
    local desktop=$root/share/applications/$app_id.desktop
    grep -qx "Icon=$app_id" "$desktop" || fail "the desktop entry does not name the icon"
    desktop-file-validate "$desktop" || fail "desktop-file-validate refuses $desktop"
    appstreamcli validate --no-net "$root/share/metainfo/$app_id.metainfo.xml" \
        || fail "appstreamcli refuses the metainfo"
}

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A private X server; it writes its display number once it accepts clients.
start_x_server() {
    mkfifo "$work/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    pids+=($!)
    local number
    read -r number <"$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=:$number
}

# The window's picture, as an X window dump.
dump() {
    xwd -silent -id "$window" >"$1" 2>/dev/null || fail "the window is gone: $(cat "$work/tavrel.log")"
}

# Top-level windows shown besides the main window. Without a window
# manager every top-level window is a child of the root window, and the
# server is private, so all of them are Tavrel's.
other_windows() {
    local root_window
    root_window=$(printf '%d' "$(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')")
    xdotool search --onlyvisible --maxdepth 1 '' 2>/dev/null | { grep -vx -e "$root_window" -e "$window" || true; } | xargs
}

# Fails as soon as another window (a dialog) shows.
check_alone() {
    local others
    others=$(other_windows)
    [ -z "$others" ] || fail "windows shown besides the main window: $others ($(xdotool getwindowname $others | xargs))"
}

# Waits until the window shows a picture that holds still, then keeps it.
wait_for_still_picture() {
    dump "$work/a.xwd"
    while :; do
        sleep 0.2
        check_alone
        dump "$work/b.xwd"
        if cmp -s "$work/a.xwd" "$work/b.xwd" \
            && [ "$(convert "xwd:$work/b.xwd" -format %k info:)" -gt 1 ]; then
            mv "$work/b.xwd" "$1"
            return
        fi
        mv "$work/b.xwd" "$work/a.xwd"
    done
}

# Waits until the window's picture is (or is not) the one in FILE.
wait_for_picture() {
    local wanted=$1 file=$2
    while :; do
        dump "$work/now.xwd"
        local now=other
        cmp -s "$work/now.xwd" "$file" && now=same
        [ "$now" = "$wanted" ] && return
        check_alone
        sleep 0.2
    done
}

# Starts PREFIX/bin/tavrel with a fresh home folder named HOME_NAME.
start_tavrel() {
    local prefix=$1 home=$work/$2
    mkdir -p "$home" "$work/runtime" "$out_dir"
    chmod 700 "$work/runtime"
    env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$work/runtime" LANG=C.UTF-8 \
        DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb "$prefix/bin/tavrel" >"$work/tavrel.log" 2>&1 &
    pids+=($!)
}

check_start() {
    start_x_server
    start_tavrel "$root" home

    window=$(xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1)
    wait_for_still_picture "$work/list.xwd"
    convert "xwd:$work/list.xwd" "$out_dir/installed_list.png"

    xdotool windowfocus --sync "$window"
    xdotool key F1
    wait_for_picture other "$work/list.xwd"
    wait_for_still_picture "$work/about.xwd"
    convert "xwd:$work/about.xwd" "$out_dir/installed_about.png"

    check_alone

    xdotool key F1
    wait_for_picture same "$work/list.xwd"
    check_alone
}

check_moved_copy_without_tsmuxer() {
    kill "${pids[-1]}" 2>/dev/null || true
    wait "${pids[-1]}" 2>/dev/null || true
    cp -a "$root" "$work/moved"
    rm "$work/moved/lib/tavrel/tsmuxer"
    start_tavrel "$work/moved" home-moved
    local dialog
    dialog=$(timeout 60 xdotool search --sync --onlyvisible --name '^Localiser les fichiers$' | head -n 1) || true
    [ -n "$dialog" ] || fail "no locate dialog for the missing tsmuxer: $(cat "$work/tavrel.log")"
    sleep 1
    xwd -silent -id "$dialog" | convert xwd:- "$out_dir/installed_missing_tsmuxer.png"
    kill "${pids[-1]}" 2>/dev/null || true
}

check_layout
check_start
check_moved_copy_without_tsmuxer
echo "PASS: $root"
