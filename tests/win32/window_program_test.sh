#!/usr/bin/env bash
# Drives the window program from outside: waits for its window by title,
# tabs to the source field, types into it, presses Escape, and expects the
# program to end by itself with exit code 0.
set -u
program="$1"
title="^Notewell's HTML 0.73 \$"
: "${DISPLAY:?an X display is needed}"

fail() { echo "FAIL: $*" >&2; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; exit 1; }

wine "$program" &
pid=$!

window=""
for _ in $(seq 150); do
  window="$(xdotool search --name "$title" 2>/dev/null | head -n 1)"
  [ -n "$window" ] && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended before showing its window"
  sleep 0.2
done
[ -n "$window" ] || fail "no window titled \"Notewell's HTML 0.73 \" appeared"

xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
sleep 0.5
# Tab order: template list, Edit, header styles, source field.
xdotool key --delay 100 Tab Tab Tab Tab
xdotool type --delay 50 'C:\notes.txt'
sleep 0.3
xdotool key Escape

for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
kill -0 "$pid" 2>/dev/null && fail "the program did not end after Escape"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit code $status, expected 0"
echo "window program ended with exit code 0 after typing and Escape"
