#!/usr/bin/env bash
# The start-up of the program under Wine, in the test build lurvik64_test.exe, which has the
# two switches used here. A system classified as Windows 2000 (code 50) gets the "Error!" box
# (recorded through LURVIK_MESSAGE_BOX_LOG instead of shown) and the program ends with exit
# code 0; at the XP code 60 no box appears and an unattended run goes on to its scan, writes
# the log and ends by itself with exit code 0.
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
BUILD_ROOT=${BUILD_ROOT:-$top/build}
export WINEPREFIX=${WINEPREFIX:-$BUILD_ROOT/wineprefix} WINEDEBUG=-all LANG=C LC_ALL=C
WINE64=${WINE64:-/usr/lib/wine/wine64}
program=$BUILD_ROOT/win64/lurvik64_test.exe
tmp=${LURVIK_TEST_TMP:-$(mktemp -d)}
passed=0 failed=0

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
result() {  # result NAME COMMAND...
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); echo "ok   - $name"; else failed=$((failed + 1)); echo "FAIL - $name"; fi
}
same() { [ "$1" = "$2" ] || { printf '     expected [%q]\n     got      [%q]\n' "$2" "$1"; return 1; }; }

box=$tmp/box.txt
rm -f "$box"
LURVIK_OS_VERSION_CODE=50 LURVIK_MESSAGE_BOX_LOG=$(windows_path "$box") timeout 120 "$WINE64" "$program"
status=$?
result "Windows 2000: exit code 0" same "$status" 0
result "Windows 2000: the error box, and only it" \
  same "$(cat "$box" 2>/dev/null)" $'Error!\r\nThis program supports only operating systems above windows 2000!\r\n16\r'
# Unattended parameters change nothing before the check: still just the box.
rm -f "$box"
LURVIK_OS_VERSION_CODE=50 LURVIK_MESSAGE_BOX_LOG=$(windows_path "$box") timeout 120 "$WINE64" "$program" "" "$(windows_path "$tmp/never.txt")"
status=$?
result "Windows 2000, unattended: exit code 0, box, no log" \
  test "$status" = 0 -a "$(grep -c Error! "$box" 2>/dev/null)" = 1 -a ! -e "$tmp/never.txt"

rm -f "$box" "$tmp/log.txt"
LURVIK_OS_VERSION_CODE=60 LURVIK_MESSAGE_BOX_LOG=$(windows_path "$box") timeout 300 "$WINE64" "$program" \
  lurvik64_test.exe "$(windows_path "$tmp/log.txt")" third fourth
status=$?
result "Windows XP: exit code 0" same "$status" 0
result "Windows XP: no box" test ! -e "$box"
result "Windows XP: the unattended run wrote its log with the English banner" grep -q "LOG-File of Lurvik" "$tmp/log.txt"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
