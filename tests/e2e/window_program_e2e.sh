#!/usr/bin/env bash
# Drives the real Pagesmith.exe under Wine as a person would: xdotool clicks,
# types and presses keys; the results are read from the files the program
# writes and, through e2e_helper.exe, from its window and message boxes.
#
# usage: window_program_e2e.sh PAGESMITH_EXE HELPER_EXE CLI_EXE
# Needs DISPLAY (an X server such as Xvfb) and WINEPREFIX from the caller.
set -uo pipefail

: "${DISPLAY:?DISPLAY must name an X display}"
: "${WINEPREFIX:?WINEPREFIX must name a Wine prefix}"
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

WORK="$(mktemp -d /tmp/pagesmith-e2e.XXXXXX)"
APP="$WORK/app"
TEMPLATES="$WORK/templates"
mkdir -p "$APP" "$TEMPLATES" "$WORK/empty"
cp "$1" "$APP/Pagesmith.exe"
cp "$2" "$WORK/helper.exe"
cp "$3" "$WORK/cli.exe"
INI="$APP/Pagesmith.ini"
TITLE="Notewell's HTML 0.73 "
FAILURES=0
APP_PID=""
ADDED_TXT_ASSOCIATION=0

# Wine maps drive Z: to the Unix root.
win() { local p="$1"; printf 'Z:%s' "${p//\//\\}"; }

helper() { wine "$WORK/helper.exe" "$@" | tr -d '\r'; }

cleanup() {
  if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then kill "$APP_PID" 2>/dev/null; fi
  if [ "$ADDED_TXT_ASSOCIATION" = 1 ]; then
    wine reg delete 'HKCR\.txt' /f >/dev/null 2>&1
  fi
  wine reg delete 'HKCR\.pse2e' /f >/dev/null 2>&1
  wine reg delete 'HKCR\PagesmithE2E.file' /f >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT

pass() { printf 'ok   %s\n' "$1"; }
fail() { printf 'FAIL %s\n' "$1"; FAILURES=$((FAILURES + 1)); }

# check NAME EXPECTED ACTUAL
check() {
  if [ "$2" == "$3" ]; then pass "$1"; else fail "$1: expected [$2], got [$3]"; fi
}

# check_soon NAME EXPECTED COMMAND...: the program answers an event in its own
# time, so the command is asked again for up to five seconds.
check_soon() {
  local name="$1" expected="$2" actual i
  shift 2
  for i in $(seq 50); do
    actual="$("$@")"
    [ "$actual" == "$expected" ] && break
    sleep 0.1
  done
  check "$name" "$expected" "$actual"
}

# Starts the program from $WORK (its current directory) and waits for its
# window; the exit code lands in $WORK/rc.
start_app() {
  rm -f "$WORK/rc"
  (cd "$WORK" && wine "$APP/Pagesmith.exe" "$@" 2>>"$WORK/wine.log"; echo $? >"$WORK/rc") &
  APP_PID=$!
  helper wait "$TITLE" 20000 || fail "window appears"
}

# Waits for the program to end; prints its exit code, or "running".
app_exit() {
  local i
  for i in $(seq 100); do
    [ -f "$WORK/rc" ] && { wait "$APP_PID" 2>/dev/null; cat "$WORK/rc"; return; }
    sleep 0.1
  done
  echo running
}

click() { local p; p="$(helper point "$1")"; xdotool mousemove $p click 1; }

# Clicks into a text field, replaces its text by typing, and checks the field.
type_into() {
  click "$1"
  xdotool key End shift+Home BackSpace
  [ -n "$2" ] && xdotool type --delay 5 -- "$2"
  local shown; shown="$(helper text "$1")"
  [ "$shown" == "$2" ] || fail "typed into control $1: [$shown]"
}

bytes() { od -An -c "$1" | tr -s ' '; }
crlf() { printf '%s\r\n' "$@"; }

TemplateList=3 EditButton=4 SourceField=5 SourceBrowse=6 ProductField=7 ProductBrowse=8
HeaderStyles=9 PageSeparator=10 BrowserTitleField=11 OpenIt=12 OkButton=13 CancelButton=14

# --- Fixtures ---------------------------------------------------------------
template_text="$(crlf '<html><head><title>none</title></head><body>' '[...]' '</body></html>')"
printf '%s' "$template_text" >"$APP/Standard.tpl.txt"
printf '%s' "$template_text" >"$TEMPLATES/Standard.tpl.txt"
printf '%s' "$template_text" >"$TEMPLATES/Gone.tpl.txt"
crlf '<html>' '<body>no marker</body>' '</html>' >"$TEMPLATES/NoMarker.tpl.txt"
crlf '[.Alpha]' 'first line' '[..Beta]' 'a < b' >"$WORK/notes.txt"
cp "$WORK/notes.txt" "$WORK/my notes.txt"

wine reg add 'HKCR\.pse2e' /ve /d PagesmithE2E.file /f >/dev/null 2>&1
wine reg add 'HKCR\PagesmithE2E.file\shell\open\command' /ve \
  /d "\"$(win "$WORK/helper.exe")\" record \"$(win "$WORK/opened.log")\" \"%1\"" /f >/dev/null 2>&1
if ! wine reg query 'HKCR\.txt' >/dev/null 2>&1; then
  wine reg add 'HKCR\.txt' /ve /d PagesmithE2E.file /f >/dev/null 2>&1 && ADDED_TXT_ASSOCIATION=1
fi

# --- A first successful run without a settings file -------------------------
# Relative product name, "Open it" on, template directory = program directory.
start_app
check "fresh start: template list from the program directory" "[Standard]" "$(helper items $TemplateList)"
check "fresh start: header styles default" "1" "$(helper text $HeaderStyles)"
check "fresh start: Open it ticked" "1" "$(helper checked $OpenIt)"
type_into $SourceField "$(win "$WORK/notes.txt")"
type_into $ProductField "first.pse2e"
type_into $BrowserTitleField "Field notes"
xdotool key Return
check "successful run ends the program with 0" "0" "$(app_exit)"
wine "$WORK/cli.exe" --settings "$(win "$WORK/none.ini")" --template-dir "$(win "$APP")" \
  --template Standard --title "Field notes" --title-range 1 \
  "$(win "$WORK/notes.txt")" "$(win "$WORK/reference.htm")" >/dev/null 2>&1
if [ -s "$WORK/reference.htm" ] && cmp -s "$WORK/reference.htm" "$WORK/first.pse2e"; then
  pass "product bytes equal the command line's"
else
  fail "product bytes equal the command line's"
fi
check "product starts with the UTF-8 mark" " 357 273 277" "$(head -c 3 "$WORK/first.pse2e" | od -An -c | tr -s ' ')"
{ printf '\xEF\xBB\xBF'; crlf '' '[Template]' 'Last=Standard' '' '[Files]' \
  "Source=$(win "$WORK/notes.txt")" "Product=$(win "$WORK/first.pse2e")" '' '[Settings]' \
  'TitleRange=1' 'PageSeparator=1' 'BrowserTitle=Field notes'; } >"$WORK/expected.ini"
check "settings written as a new file" "$(bytes "$WORK/expected.ini")" "$(bytes "$INI")"
size="$(stat -c %s "$WORK/first.pse2e" 2>/dev/null)"
for i in $(seq 50); do [ -s "$WORK/opened.log" ] && break; sleep 0.1; done
check "Open it hands the finished file to its handler" \
  "$(win "$WORK/first.pse2e")|$size" "$(tr -d '\r\n' <"$WORK/opened.log" 2>/dev/null)"

# --- Every outcome of a run, then a corrected run ---------------------------
printf '\xEF\xBB\xBF' >"$INI"
crlf '[Template]' "Directory=$(win "$TEMPLATES")" 'Last=gone' '[Files]' \
  "Source=$(win "$WORK/notes.txt")" "Product=$(win "$WORK/second.htm")" >>"$INI"
ini_before="$(bytes "$INI")"
start_app
check "stored Last selects without regard to case" "Gone" "$(helper text $TemplateList)"
check "template list sorted" "$(printf '[Gone]\n[NoMarker]\n[Standard]')" "$(helper items $TemplateList)"
click $OpenIt

type_into $SourceField ""
xdotool key Return
if helper error 1500 >/dev/null; then fail "empty source shows no message"; else pass "empty source shows no message"; fi
[ -e "$WORK/second.htm" ] && fail "empty source writes nothing" || pass "empty source writes nothing"
check "empty source leaves the window open" "1" "$(helper count "$TITLE")"

type_into $SourceField "$(win "$WORK/notes.txt")"
type_into $ProductField "$(win "$WORK/no such dir/x.htm")"
xdotool key Return
check "product that cannot be made" "Cannot make product file" "$(helper error)"
check "fields stay as typed" "$(win "$WORK/no such dir/x.htm")" "$(helper text $ProductField)"

rm "$TEMPLATES/Gone.tpl.txt"
type_into $ProductField "$(win "$WORK/second")"
click $OkButton
check "missing template" "Cannot read template file" "$(helper error)"
check "missing template leaves only the mark" " 357 273 277" "$(bytes "$WORK/second.htm")"

# Shift+Tab from the header-styles field reaches the closed list, where a
# letter picks the first entry that begins with it.
pick_template() {
  click $HeaderStyles
  xdotool key shift+Tab shift+Tab "$1"
}

pick_template N
check "keyboard choice in the list" "NoMarker" "$(helper text $TemplateList)"
xdotool key Return
check "template without marker" "'[...]' not found in template" "$(helper error)"

pick_template S
type_into $SourceField "$(win "$WORK/missing.txt")"
xdotool key Return
check "missing source" "Source not found" "$(helper error)"
check "source field stays as typed" "$(win "$WORK/missing.txt")" "$(helper text $SourceField)"
check "failed runs leave the settings alone" "$ini_before" "$(bytes "$INI")"
check "window still open after the failures" "1" "$(helper count "$TITLE")"

type_into $SourceField "$(win "$WORK/notes.txt")"
type_into $ProductField "$(win "$WORK/notes.txt")"
xdotool key Return
check "product naming the source" "Product file must differ from source and template" "$(helper error)"
check "the source survives" "$(bytes "$WORK/my notes.txt")" "$(bytes "$WORK/notes.txt")"

type_into $ProductField "$(win "$WORK/second")"
type_into $HeaderStyles ""
xdotool key Return
check "corrected run succeeds" "0" "$(app_exit)"
check "corrected run writes the product with .htm" " 357 273 277" "$(head -c 3 "$WORK/second.htm" | od -An -c | tr -s ' ')"
{ printf '\xEF\xBB\xBF'; crlf '' '[Template]' "Directory=$(win "$TEMPLATES")" 'Last=Standard' \
  '' '[Files]' "Source=$(win "$WORK/notes.txt")" "Product=$(win "$WORK/second.htm")" \
  '' '[Settings]' 'TitleRange=0' 'PageSeparator=1' 'BrowserTitle='; } >"$WORK/expected.ini"
check "settings after the corrected run" "$(bytes "$WORK/expected.ini")" "$(bytes "$INI")"

# --- Environment reference and ".htm" completion in the product path -------
mkdir -p "$WORK/out dir"
export PAGESMITH_E2E_OUT="$(win "$WORK/out dir")"
start_app
click $OpenIt
type_into $ProductField '%PAGESMITH_E2E_OUT%\my notes.old copy'
xdotool key Return
check "run with an environment reference ends with 0" "0" "$(app_exit)"
[ -s "$WORK/out dir/my notes.old copy.htm" ] && pass "product written where the variable points, .htm appended" \
  || fail "product written where the variable points, .htm appended"
check "stored product path is expanded and completed" "Product=$(win "$WORK/out dir/my notes.old copy.htm")" \
  "$(grep -a '^Product=' "$INI" | tr -d '\r')"

# --- Ending without a successful run leaves the settings alone --------------
ini_before="$(bytes "$INI")"
end_without_run() {
  local name="$1"
  shift
  start_app
  type_into $BrowserTitleField "changed"
  "$@"
  check "$name ends the program with 0" "0" "$(app_exit)"
  check "$name leaves the settings alone" "$ini_before" "$(bytes "$INI")"
}
end_without_run "Cancel" click $CancelButton
end_without_run "Escape" xdotool key Escape
end_without_run "the close box (Alt+F4)" xdotool key alt+F4
failed_run_then_escape() {
  type_into $SourceField "$(win "$WORK/missing.txt")"
  xdotool key Return
  check "failed run before Escape" "Source not found" "$(helper error)"
  xdotool key Escape
}
end_without_run "a failed run and Escape" failed_run_then_escape

# --- A quoted source path with blanks on the command line --------------------
start_app "$(win "$WORK/my notes.txt")"
check "command-line source shown without quotes" "$(win "$WORK/my notes.txt")" "$(helper text $SourceField)"

# --- Single instance ---------------------------------------------------------
check "running copy minimised" "1" "$(helper minimize)"
first_pid="$APP_PID"
(cd "$WORK" && timeout 30 wine "$APP/Pagesmith.exe" "$(win "$WORK/notes.txt")"; echo $? >"$WORK/rc2")
check "second copy ends with 0" "0" "$(cat "$WORK/rc2")"
check "second copy restores the running one" "0" "$(helper iconic)"
check "only one window" "1" "$(helper count "$TITLE")"
check "the running copy keeps its source" "$(win "$WORK/my notes.txt")" "$(helper text $SourceField)"
check "second copy leaves the settings alone" "$ini_before" "$(bytes "$INI")"
APP_PID="$first_pid"
click $CancelButton
check "first copy ends with 0" "0" "$(app_exit)"

# --- Requesters --------------------------------------------------------------
printf '\xEF\xBB\xBF' >"$INI"
crlf '[Template]' "Directory=$(win "$TEMPLATES")" '[Files]' "Source=$(win "$WORK/notes.txt")" >>"$INI"
ini_before="$(bytes "$INI")"
start_app
click $SourceBrowse
check "source requester opens with the source's name" "notes.txt" "$(helper dialog "Source File")"
check "main window takes no input while a requester is open" "0" "$(helper enabled)"
xdotool type --delay 5 "other.txt"
xdotool key Escape
helper gone "Source File" 5000 && pass "source requester cancelled" || fail "source requester cancelled"
check "main window takes input again" "1" "$(helper enabled)"
check "cancelled requester changes nothing" "$(win "$WORK/notes.txt")" "$(helper text $SourceField)"
click $ProductBrowse
check "product requester opens with an empty name" "" "$(helper dialog "Product File")"
xdotool type --delay 5 "page"
xdotool key Return
helper gone "Product File" 5000 && pass "product requester closed" || fail "product requester closed"
check "chosen product completed with .htm" "$(win "$WORK/page.htm")" "$(helper text $ProductField)"
click $ProductBrowse
check "product requester starts from the chosen file" "page.htm" "$(helper dialog "Product File")"
xdotool key Escape
helper gone "Product File" 5000 || fail "second product requester closed"
click $CancelButton
check "requesters: ends with 0" "0" "$(app_exit)"
check "requesters leave the settings alone" "$ini_before" "$(bytes "$INI")"

# --- "Edit" with an empty list -----------------------------------------------
printf '\xEF\xBB\xBF' >"$INI"
crlf '[Template]' "Directory=$(win "$WORK/empty")" >>"$INI"
rm -f "$WORK/opened.log"
first_template="$WORK/empty/Template.tpl.txt"
start_app
check "empty template directory gives an empty list" "" "$(helper items $TemplateList)"
click $EditButton
for i in $(seq 50); do [ -e "$first_template" ] && break; sleep 0.1; done
check "Edit creates an empty first template" "0" "$(stat -c %s "$first_template" 2>/dev/null)"
# The handler notes the size it found; let the first one run before the file
# changes, however slowly Wine starts it.
if [ "$ADDED_TXT_ASSOCIATION" = 1 ]; then
  for i in $(seq 100); do [ -s "$WORK/opened.log" ] && break; sleep 0.1; done
fi
printf 'kept' >"$first_template"
click $EditButton
if [ "$ADDED_TXT_ASSOCIATION" = 1 ]; then
  for i in $(seq 100); do [ "$(cat "$WORK/opened.log" 2>/dev/null | wc -l)" -ge 2 ] && break; sleep 0.1; done
else
  sleep 1
fi
check "a second Edit keeps the template" "kept" "$(cat "$first_template")"
if [ "$ADDED_TXT_ASSOCIATION" = 1 ]; then
  check "Edit opens the template twice" "$(printf '%s|0\n%s|4' "$(win "$first_template")" "$(win "$first_template")")" \
    "$(tr -d '\r' <"$WORK/opened.log" 2>/dev/null)"
fi
click $TemplateList
check_soon "opening the list shows the new template" "[Template]" helper items $TemplateList
click $TemplateList
click $CancelButton
check "Edit: ends with 0" "0" "$(app_exit)"

if [ "$FAILURES" -gt 0 ]; then
  echo "$FAILURES end-to-end check(s) failed"
  exit 1
fi
echo "all end-to-end checks passed"
