#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on an X display of its own (Xvfb) with a window manager (openbox), as the
# tool meets a desktop: windows are decorated, activated and stacked by the manager.
#   under_window_manager.sh COMMAND [ARGUMENT...]
# Exits 77 (a skip) when Xvfb or openbox is missing.
set -euo pipefail

for program in Xvfb openbox; do
    command -v "$program" >/dev/null || { echo "$program is missing" >&2; exit 77; }
done

number_file=$(mktemp)
# Xvfb picks a free display number itself and writes it to the file.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
xvfb=$!
manager=
cleanup() {
    [ -n "$manager" ] && kill "$manager" 2>/dev/null
    kill "$xvfb" 2>/dev/null
    rm -f "$number_file"
}
trap cleanup EXIT
for _ in $(seq 100); do
    [ -s "$number_file" ] && break
    sleep 0.05
done
export DISPLAY=":$(cat "$number_file")"
openbox --sm-disable >/dev/null 2>&1 &
manager=$!
# The manager has taken the screen once it names itself on the root window.
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
done
QT_QPA_PLATFORM=xcb "$@"
