#!/usr/bin/env bash
# Drives the real Pagesmith.exe under Wine as a person would: xdotool clicks,
# types and presses keys; the results are read from the files the program
# writes and, through e2e_helper.exe, from its window and message boxes.
#
# Nothing here waits by the clock: every step waits, for a bounded time, for
# the state it needs (a window, the keyboard focus, a text, the process's end)
# and a failure says what it waited for and what it saw. Keys are sent only
# once the control that must take them holds the focus. Where typing is not
# what a check is about, fields are filled through their messages.
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
TXT_ASSOCIATION=""

# Wine maps drive Z: to the Unix root.
win() { local p="$1"; printf 'Z:%s' "${p//\//\\}"; }

helper() { wine "$WORK/helper.exe" "$@" | tr -d '\r'; }

cleanup() {
  if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then kill "$APP_PID" 2>/dev/null; fi
  if [ -n "$TXT_ASSOCIATION" ]; then
    wine reg add 'HKCR\.txt' /ve /d "$TXT_ASSOCIATION" /f >/dev/null 2>&1
  else
    wine reg delete 'HKCR\.txt' /f >/dev/null 2>&1
  fi
  wine reg delete 'HKCR\.pse2e' /f >/dev/null 2>&1
  wine reg delete 'HKCR\PagesmithE2E.file' /f >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT

# wait_for SECONDS WHAT COMMAND...: polls the command until it succeeds; a
# failure names what was waited for.
wait_for() {
  local seconds="$1" what="$2" i
  shift 2
  for i in $(seq $((seconds * 10))); do
    "$@" && return 0
    sleep 0.1
  done
  fail "waited $seconds s for $what"
  return 1
}

# dialog_shows TITLE TEXT: the file dialog's name field shows what was typed.
dialog_shows() {
  local shown
  shown="$(helper dialogtext "$1" "$2" 5000)" ||
    fail "typed into the \"$1\" dialog: waited 5 s for [$2], its name field shows [$shown]"
}

# set_dropped 0|1: opens or closes the template list with a click, and
# clicks again when the list has not followed within two seconds.
set_dropped() {
  local attempt i
  for attempt in 1 2 3; do
    [ "$(helper dropped $TemplateList)" == "$1" ] && return 0
    click $TemplateList
    for i in $(seq 20); do
      [ "$(helper dropped $TemplateList)" == "$1" ] && return 0
      sleep 0.1
    done
  done
  fail "template list dropped state $1: clicked 3 times, it stays [$(helper dropped $TemplateList)]"
}

pass() { printf 'ok   %s\n' "$1"; }
fail() { printf 'FAIL %s\n' "$1"; FAILURES=$((FAILURES + 1)); }

# check NAME EXPECTED ACTUAL
check() {
  if [ "$2" == "$3" ]; then pass "$1"; else fail "$1: expected [$2], got [$3]"; fi
}

# check_soon NAME EXPECTED COMMAND...: the program answers an event in its own
# time, so the command is asked again for up to ten seconds.
check_soon() {
  local name="$1" expected="$2" actual i
  shift 2
  for i in $(seq 100); do
    actual="$("$@")"
    [ "$actual" == "$expected" ] && { pass "$name"; return; }
    sleep 0.1
  done
  fail "$name: waited 10 s for [$expected], saw [$actual]"
}

# check_text NAME ID EXPECTED: control ID shows EXPECTED within five seconds.
check_text() {
  local shown
  if shown="$(helper showtext "$2" "$3" 5000)"; then pass "$1"; else
    fail "$1: waited 5 s for control $2 to show [$3], it shows [$shown]"
  fi
}

# Starts the program from $WORK (its current directory) and waits for its
# window; the exit code lands in $WORK/rc.
start_app() {
  rm -f "$WORK/rc"
  (cd "$WORK" && wine "$APP/Pagesmith.exe" "$@" 2>>"$WORK/wine.log"; echo $? >"$WORK/rc") &
  APP_PID=$!
  helper wait "$TITLE" 20000 || fail "window appears: waited 20 s for a window titled [$TITLE]"
}

# Waits up to 30 s for the program to end; prints its exit code, or says it
# is still running.
app_exit() {
  local i
  for i in $(seq 300); do
    [ -f "$WORK/rc" ] && { wait "$APP_PID" 2>/dev/null; cat "$WORK/rc"; return; }
    sleep 0.1
  done
  echo "still running after 30 s"
}

# click ID: clicks the centre of control ID once nothing covers it and the
# window takes input.
click() {
  local p
  if p="$(helper point "$1" 5000)"; then xdotool mousemove $p click 1; else
    fail "click on control $1: waited 5 s, $p"
    return 1
  fi
}

# focus_on ID: clicks text field ID until it holds the keyboard focus. Wine
# moves the focus in its own time after a click, and keys sent before would
# go elsewhere; a click that was lost is repeated.
focus_on() {
  local seen attempt
  for attempt in 1 2 3 4 5; do
    click "$1"
    seen="$(helper focus "$1" 2000)" && return 0
  done
  fail "focus on control $1: clicked it 5 times over 10 s, keys would reach [$seen]"
  return 1
}

# keys_to ID KEY...: presses keys with text field ID holding the focus.
keys_to() {
  local id="$1"
  shift
  focus_on "$id" && xdotool key "$@"
}

# keys_here KEY...: presses keys once the control that holds the focus now
# is one of the main window's.
keys_here() {
  local seen
  if seen="$(helper focus window 5000)"; then xdotool key "$@"; else
    fail "keys $*: waited 5 s for the main window's focus, keys would reach [$seen]"
  fi
}

# type_into ID TEXT: replaces the text of field ID by typing it, for the
# checks that are about keys, and waits until the field shows it.
type_into() {
  focus_on "$1" || return
  xdotool key End shift+Home BackSpace
  [ -n "$2" ] && xdotool type --delay 5 -- "$2"
  local shown
  shown="$(helper showtext "$1" "$2" 5000)" ||
    fail "typed into control $1: waited 5 s for [$2], it shows [$shown]"
}

# set_field ID TEXT: fills field ID through its messages, where typing is not
# what the check is about.
set_field() {
  local shown
  helper settext "$1" "$2" || { fail "set the text of control $1: the control did not answer"; return; }
  shown="$(helper showtext "$1" "$2" 5000)" ||
    fail "set the text of control $1: waited 5 s for [$2], it shows [$shown]"
}

# set_ticked ID 0|1: clicks check box ID when its state differs, and waits
# for the new state.
set_ticked() {
  [ "$(helper checked "$1")" == "$2" ] && return
  click "$1"
  check_soon "check box $1 becomes $2" "$2" helper checked "$1"
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
# Templates are opened through ".txt": the handler records them too, and no
# editor window can come up over the program. The prefix's own association
# is put back at the end.
TXT_ASSOCIATION="$(wine reg query 'HKCR\.txt' /ve 2>/dev/null | tr -d '\r' |
  sed -n 's/^ *(Default) *REG_SZ *//p')"
wine reg add 'HKCR\.txt' /ve /d PagesmithE2E.file /f >/dev/null 2>&1

# --- A first successful run without a settings file -------------------------
# Relative product name, "Open it" on, template directory = program directory.
start_app
check "fresh start: template list from the program directory" "[Standard]" "$(helper items $TemplateList)"
check "fresh start: header styles default" "1" "$(helper text $HeaderStyles)"
check "fresh start: Open it ticked" "1" "$(helper checked $OpenIt)"
# The keyboard alone: four Tabs from the start go through the template list,
# Edit and the header styles to the source field.
keys_here Tab Tab Tab Tab
if seen="$(helper focus $SourceField 5000)"; then
  pass "fresh start: four Tabs reach the source field"
  xdotool type --delay 5 -- "$(win "$WORK/notes.txt")"
  check_text "fresh start: the source field shows what was typed" $SourceField "$(win "$WORK/notes.txt")"
else
  fail "fresh start: four Tabs: waited 5 s for the source field's focus, keys reach [$seen]"
  type_into $SourceField "$(win "$WORK/notes.txt")"
fi
set_field $ProductField "first.pse2e"
type_into $BrowserTitleField "Field notes"
keys_to $BrowserTitleField Return
check "successful run ends the program with 0" "0" "$(app_exit)"
: >"$WORK/empty.ini"
wine "$WORK/cli.exe" --settings "$(win "$WORK/empty.ini")" --template-dir "$(win "$APP")" \
  --template Standard --title "Field notes" --title-range 1 \
  "$(win "$WORK/notes.txt")" -o "$(win "$WORK/reference.htm")" >/dev/null 2>&1
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
wait_for 30 "the handler to record the product" test -s "$WORK/opened.log"
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
set_ticked $OpenIt 0

set_field $SourceField ""
keys_to $SourceField Return
if helper error 1500 >/dev/null; then fail "empty source shows no message"; else pass "empty source shows no message"; fi
[ -e "$WORK/second.htm" ] && fail "empty source writes nothing" || pass "empty source writes nothing"
check "empty source leaves the window open" "1" "$(helper count "$TITLE")"

set_field $SourceField "$(win "$WORK/notes.txt")"
set_field $ProductField "$(win "$WORK/no such dir/x.htm")"
keys_to $ProductField Return
check "product that cannot be made" "Cannot make product file" "$(helper error)"
check "fields stay as typed" "$(win "$WORK/no such dir/x.htm")" "$(helper text $ProductField)"

rm "$TEMPLATES/Gone.tpl.txt"
set_field $ProductField "$(win "$WORK/second")"
click $OkButton
check "missing template" "Cannot read template file" "$(helper error)"
check "missing template leaves only the mark" " 357 273 277" "$(bytes "$WORK/second.htm")"

# Shift+Tab from the header-styles field reaches the closed list, where a
# letter picks the first entry that begins with it.
pick_template() {
  local seen
  keys_to $HeaderStyles shift+Tab shift+Tab || return
  if seen="$(helper focus $TemplateList 5000)"; then xdotool key "$1"; else
    fail "Shift+Tab twice from the header styles: waited 5 s for the list, keys would reach [$seen]"
  fi
}

pick_template N
check_text "keyboard choice in the list" $TemplateList "NoMarker"
keys_here Return
check "template without marker" "'[...]' not found in template" "$(helper error)"

pick_template S
check_text "second keyboard choice in the list" $TemplateList "Standard"
set_field $SourceField "$(win "$WORK/missing.txt")"
keys_to $SourceField Return
check "missing source" "Source not found" "$(helper error)"
check "source field stays as typed" "$(win "$WORK/missing.txt")" "$(helper text $SourceField)"
check "failed runs leave the settings alone" "$ini_before" "$(bytes "$INI")"
check "window still open after the failures" "1" "$(helper count "$TITLE")"

set_field $SourceField "$(win "$WORK/notes.txt")"
set_field $ProductField "$(win "$WORK/notes.txt")"
keys_to $ProductField Return
check "product naming the source" "Product file must differ from source and template" "$(helper error)"
check "the source survives" "$(bytes "$WORK/my notes.txt")" "$(bytes "$WORK/notes.txt")"

set_field $ProductField "$(win "$WORK/second")"
set_field $HeaderStyles ""
keys_to $HeaderStyles Return
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
set_ticked $OpenIt 0
set_field $ProductField '%PAGESMITH_E2E_OUT%\my notes.old copy'
keys_to $ProductField Return
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
end_without_run "Escape" keys_here Escape
end_without_run "the close box (Alt+F4)" keys_here alt+F4
failed_run_then_escape() {
  set_field $SourceField "$(win "$WORK/missing.txt")"
  keys_to $SourceField Return
  check "failed run before Escape" "Source not found" "$(helper error)"
  keys_to $SourceField Escape
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
check_soon "second copy restores the running one" "0" helper iconic
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
dialog_shows "Source File" "other.txt"
xdotool key Escape
helper gone "Source File" 5000 && pass "source requester cancelled" ||
  fail "source requester cancelled: waited 5 s for it to close"
check_soon "main window takes input again" "1" helper enabled
check "cancelled requester changes nothing" "$(win "$WORK/notes.txt")" "$(helper text $SourceField)"
click $ProductBrowse
check "product requester opens with an empty name" "" "$(helper dialog "Product File")"
xdotool type --delay 5 "page"
dialog_shows "Product File" "page"
xdotool key Return
helper gone "Product File" 5000 && pass "product requester closed" ||
  fail "product requester closed: waited 5 s for it to close"
check_text "chosen product completed with .htm" $ProductField "$(win "$WORK/page.htm")"
click $ProductBrowse
check "product requester starts from the chosen file" "page.htm" "$(helper dialog "Product File")"
xdotool key Escape
helper gone "Product File" 5000 || fail "second product requester closed: waited 5 s for it to close"
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
wait_for 10 "Edit to create the first template" test -e "$first_template"
check "Edit creates an empty first template" "0" "$(stat -c %s "$first_template" 2>/dev/null)"
# The handler notes the size it found; let the first one run before the file
# changes, however slowly Wine starts it.
wait_for 30 "the handler to record the first Edit" test -s "$WORK/opened.log"
printf 'kept' >"$first_template"
# On a loaded machine Wine now and then loses the second click, while it hands
# the activation back from the handler's start: a user would click again, and
# so does the check (each record is the template at 4 bytes all the same).
opened_twice() { [ "$(wc -l <"$WORK/opened.log")" -ge 2 ]; }
for attempt in 1 2 3; do
  click $EditButton
  for i in $(seq 150); do opened_twice && break; sleep 0.1; done
  opened_twice && break
  echo "note: no record of the second Edit after 15 s (attempt $attempt)"
done
opened_twice || fail "waited 45 s for the handler to record the second Edit"
check "a second Edit keeps the template" "kept" "$(cat "$first_template")"
check "Edit opens the template twice" "$(printf '%s|0\n%s|4' "$(win "$first_template")" "$(win "$first_template")")" \
  "$(tr -d '\r' <"$WORK/opened.log" 2>/dev/null | head -n 2)"
set_dropped 1
check_soon "opening the list shows the new template" "[Template]" helper items $TemplateList
set_dropped 0
click $CancelButton
check "Edit: ends with 0" "0" "$(app_exit)"

if [ "$FAILURES" -gt 0 ]; then
  echo "$FAILURES end-to-end check(s) failed"
  exit 1
fi
echo "all end-to-end checks passed"
