#!/usr/bin/env bash
# Runs the 144-DPI window test in a Wine prefix of its own whose screen has
# 144 logical pixels per inch (LogPixels), with its own Wine server, which
# is ended afterwards. The prefix is kept beside the test for the next run.
#
# usage: high_dpi_test.sh TEST_EXE
set -euo pipefail
test_exe="$1"
: "${DISPLAY:?an X display is needed}"

export WINEPREFIX="$(cd "$(dirname "$test_exe")" && pwd)/wineprefix-144dpi"
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
fi
wineserver -p >/dev/null 2>&1 || true
for key in 'HKCU\Control Panel\Desktop' 'HKCC\Software\Fonts'; do
  wine reg add "$key" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
done
wine "$test_exe" --gtest_color=no
