#!/usr/bin/env bash
# Unattended runs on a window station nobody sees write their log as always, end with exit
# code 0 and do not open the log. Wine's window station is always visible, so the test build
# stands in for an unseen one with LURVIK_UNSEEN_WINDOW_STATION=1. The log's extension is
# associated with cmd.exe copying the file it opens, so an opened log leaves a copy behind; a
# run on the visible station shows that the association works.
source "$(dirname "$0")/e2e_lib.bash"
trap finish EXIT
prepare_folder unseen "$BUILD_DIR/lurvik64_test.exe" || exit 1
cat >"$UNIX_DIR/open.reg" <<'REG'
REGEDIT4

[HKEY_CLASSES_ROOT\.lurvikopen]
@="lurvikopenfile"

[HKEY_CLASSES_ROOT\lurvikopenfile\shell\open\command]
@="C:\\windows\\system32\\cmd.exe /c copy \"%1\" \"C:\\lurvik_e2e\\unseen\\opened.txt\""
REG
"$WINE" regedit /S "$WIN_DIR\\open.reg"

# Waits at most the given seconds for the copy that an opened log leaves.
wait_for_copy() {
  local i
  for ((i = 0; i < $1 * 10; i++)); do [ -s "$UNIX_DIR/opened.txt" ] && break; sleep 0.1; done
  [ -s "$UNIX_DIR/opened.txt" ] && echo opened || echo "not opened"
}

check "visible station: exit code 0" "$(run_lurvik lurvik64_test.exe lurvik64_test.exe "$WIN_DIR\\seen.lurvikopen" 120)" 0
check "visible station: the log is opened" "$(wait_for_copy 20)" opened
cmp -s "$UNIX_DIR/opened.txt" "$UNIX_DIR/seen.lurvikopen"
check "visible station: the opened file is the log" $? 0

rm -f "$UNIX_DIR/opened.txt"
export LURVIK_UNSEEN_WINDOW_STATION=1
check "unseen station: exit code 0" "$(run_lurvik lurvik64_test.exe lurvik64_test.exe "$WIN_DIR\\unseen.lurvikopen" 120)" 0
check "unseen station: the log is written" "$(head -c 24 "$UNIX_DIR/unseen.lurvikopen")" "$(printf '%024d' 0 | tr 0 '*')"
check "unseen station: the log is not opened" "$(wait_for_copy 5)" "not opened"
