#!/usr/bin/env bash
# Drives the window program from outside: waits for its window by title,
# tabs from the first control to the source field, types into it, presses
# Escape, and expects the program to end by itself with exit code 0. Each
# step waits, for a bounded time, for the state it needs.
#
# usage: window_program_test.sh PAGESMITH_EXE HELPER_EXE
set -u
program="$1"
helper_exe="$2"
title="Notewell's HTML 0.73 "
SourceField=5
: "${DISPLAY:?an X display is needed}"

helper() { wine "$helper_exe" "$@" | tr -d '\r'; }
fail() { echo "FAIL: $*" >&2; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; exit 1; }

work="$(mktemp -d /tmp/pagesmith-escape.XXXXXX)"
trap 'rm -rf "$work"' EXIT
cp "$program" "$work/Pagesmith.exe"
(cd "$work" && exec wine "$work/Pagesmith.exe") &
pid=$!

helper wait "$title" 20000 || fail "waited 20 s for a window titled \"$title\""
seen="$(helper focus window 5000)" || fail "waited 5 s for the window's keyboard focus; keys would reach [$seen]"
# Tab order: template list, Edit, header styles, source field.
xdotool key Tab Tab Tab Tab
seen="$(helper focus $SourceField 5000)" ||
  fail "four Tabs: waited 5 s for the source field's focus; keys reach [$seen]"
xdotool type --delay 5 'C:\notes.txt'
seen="$(helper showtext $SourceField 'C:\notes.txt' 5000)" ||
  fail "typed into the source field: waited 5 s for [C:\\notes.txt], it shows [$seen]"
xdotool key Escape

for _ in $(seq 300); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "waited 30 s for the program to end after Escape; it still runs"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit code $status, expected 0"
echo "window program ended with exit code 0 after typing and Escape"
