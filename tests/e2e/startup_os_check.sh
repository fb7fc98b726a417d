#!/usr/bin/env bash
# The start-up of the program under Wine, in the test build lurvik64_test.exe, which has the
# two switches used here. A system classified as Windows 2000 (code 50) gets the "Error!" box
# (recorded through LURVIK_MESSAGE_BOX_LOG instead of shown) and the program ends with exit
# code 0; at the XP code 60 no box appears and an unattended run goes on to its scan, writes
# the log and ends by itself with exit code 0.
source "$(dirname "$0")/e2e_lib.bash"
trap finish EXIT
box=$WORK/box.txt

run() {  # run OS_CODE [ARGS...]: the exit code, then what the box file holds
  rm -f "$box" "$WORK/log.txt"
  LURVIK_OS_VERSION_CODE=$1 LURVIK_MESSAGE_BOX_LOG=$(windows_path "$box") timeout 300 "$WINE" "$BUILD_DIR/lurvik64_test.exe" "${@:2}" >&2
  echo "exit code $?"
  cat "$box" 2>/dev/null
}

check "Windows 2000: exit code 0 and the error box, and only it" "$(run 50)" \
  $'exit code 0\nError!\r\nThis program supports only operating systems above windows 2000!\r\n16\r'
# Unattended parameters change nothing before the check: still just the box, and no log.
check "Windows 2000, unattended: exit code 0, the box, no log" \
  "$(run 50 "" "$(windows_path "$WORK/log.txt")" | head -n 2; ls "$WORK/log.txt" 2>&1 | grep -o 'No such file')" \
  $'exit code 0\nError!\r\nNo such file'
check "Windows XP: exit code 0 and no box" "$(run 60 lurvik64_test.exe "$(windows_path "$WORK/log.txt")" third fourth)" "exit code 0"
check "Windows XP: the unattended run wrote its log with the English banner" \
  "$(sed -n 2p "$WORK/log.txt" 2>/dev/null | tr -d '\r')" "*  LOG-File of Lurvik  *"
