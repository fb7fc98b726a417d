#!/usr/bin/env bash
# The interface language follows the user's locale from the first moment: under Wine, LANG
# sets the locale that GetLocaleInfoA reports. Checked twice: in-process, by the start-up
# test of the Windows test program (CurrentLanguage after the start-up steps), and through
# the real program, whose unattended log opens with the banner in the chosen language.
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
BUILD_ROOT=${BUILD_ROOT:-$top/build}
export WINEPREFIX=${WINEPREFIX:-$BUILD_ROOT/wineprefix} WINEDEBUG=-all
WINE64=${WINE64:-/usr/lib/wine/wine64}
tests=$BUILD_ROOT/win64/lurvik_windows_tests.exe
program=$BUILD_ROOT/win64/lurvik64.exe
tmp=${LURVIK_TEST_TMP:-$(mktemp -d)}
passed=0 failed=0

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
result() {  # result NAME COMMAND...
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); echo "ok   - $name"; else failed=$((failed + 1)); echo "FAIL - $name"; fi
}

in_process() {  # in_process LOCALE LANGUAGE
  LANG=$1 LC_ALL=$1 LURVIK_EXPECT_LANGUAGE=$2 timeout 120 "$WINE64" "$tests" \
    --gtest_filter=ShellStartup.LanguageFollowsTheUserLocale >"$tmp/gtest.txt" 2>&1 &&
    grep -q "1 test.*PASSED\|PASSED.*1 test" "$tmp/gtest.txt" && ! grep -q SKIPPED "$tmp/gtest.txt"
}

banner_of_run() {  # banner_of_run LOCALE: the second line of the unattended log
  rm -f "$tmp/log.txt"
  LANG=$1 LC_ALL=$1 timeout 300 "$WINE64" "$program" lurvik64.exe "$(windows_path "$tmp/log.txt")" >/dev/null 2>&1
  sed -n 2p "$tmp/log.txt" 2>/dev/null | tr -d '\r'
}

for case in de_DE.UTF-8:1 de_AT.UTF-8:1 fr_FR.UTF-8:0 en_US.UTF-8:0; do
  result "start-up language under ${case%:*} is ${case#*:}" in_process "${case%:*}" "${case#*:}"
done
result "German locale: German banner" test "$(banner_of_run de_DE.UTF-8)" = "*  LOG-Datei von Lurvik  *"
result "French locale: English banner" test "$(banner_of_run fr_FR.UTF-8)" = "*  LOG-File of Lurvik  *"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
