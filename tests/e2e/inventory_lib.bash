# Shared steps of the inventory end-to-end scripts (sourced, not run): where the builds and
# the Wine prefix are, starting and stopping a handle holder, running the program unattended,
# and counting results. Programs are copied to C:\lurvik_e2e\<test> inside the prefix, so
# their image paths lie on drive C: the way an installed program's would.
#
# Variables (all optional): BUILD_DIR (default $BUILD_ROOT/win64, else build/win64),
# WINEPREFIX (default $BUILD_ROOT/wineprefix), WINE64, LURVIK_TEST_TMP.

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD_ROOT=${BUILD_ROOT:-$top/build}
BUILD_DIR=${BUILD_DIR:-$BUILD_ROOT/win64}
export WINEPREFIX=${WINEPREFIX:-$BUILD_ROOT/wineprefix}
export WINEDEBUG=-all
export LANG=C LC_ALL=C  # English interface texts
WINE64=${WINE64:-/usr/lib/wine/wine64}
WINE=$WINE64
EXPECT="/usr/bin/python3 $top/tests/e2e/inventory_expect.py"
passed=0
failed=0
holder_pid=""

# Prepares C:\lurvik_e2e\<name> holding the given programs; sets WIN_DIR and UNIX_DIR.
prepare_folder() {
  local name=$1; shift
  UNIX_DIR=$WINEPREFIX/drive_c/lurvik_e2e/$name
  WIN_DIR="C:\\lurvik_e2e\\$name"
  rm -rf "$UNIX_DIR" && mkdir -p "$UNIX_DIR" || return 1
  local program
  for program in "$@"; do cp "$program" "$UNIX_DIR/" || return 1; done
}

# Starts the holder (HOLDER_PROGRAM in WIN_DIR, default handle_holder.exe) in the background
# with its report in UNIX_DIR/<report>; waits (at most the given seconds) until the report is
# there. Extra arguments go to the holder.
start_holder() {
  local report=$1 limit=$2; shift 2
  rm -f "$UNIX_DIR/$report" "$UNIX_DIR/$report.stop"
  "$WINE" "$WIN_DIR\\${HOLDER_PROGRAM:-handle_holder.exe}" "$WIN_DIR\\$report" --seconds 1500 "$@" &
  holder_pid=$!
  local waited=0
  while [ ! -s "$UNIX_DIR/$report" ]; do
    kill -0 "$holder_pid" 2>/dev/null || { echo "handle holder ended early"; return 1; }
    [ $waited -lt $((limit * 10)) ] || { echo "no holder report after $limit s"; return 1; }
    sleep 0.1
    waited=$((waited + 1))
  done
}

# Tells the holder to end and waits for it (the report's stop file).
stop_holder() {
  local report=$1
  [ -n "$holder_pid" ] || return 0
  touch "$UNIX_DIR/$report.stop"
  local waited=0
  while kill -0 "$holder_pid" 2>/dev/null && [ $waited -lt 100 ]; do sleep 0.1; waited=$((waited + 1)); done
  kill "$holder_pid" 2>/dev/null
  wait "$holder_pid" 2>/dev/null
  holder_pid=""
}

# Runs the program unattended: run_lurvik <program> <filter> <log path (Windows form)>.
# Sets LURVIK_STATUS to its exit code.
run_lurvik() {
  local program=$1 filter=$2 log=$3 limit=${4:-600}
  timeout --kill-after=10 "$limit" "$WINE" "$WIN_DIR\\$program" "$filter" "$log"
  LURVIK_STATUS=$?
}

# Records one result: result <name> <command...>
result() {
  local name=$1; shift
  if "$@"; then
    passed=$((passed + 1)); echo "ok    $name"
  else
    failed=$((failed + 1)); echo "FAIL  $name"
  fi
}

# The program opens the written log with its associated application (notepad under Wine);
# ending the prefix's wineserver closes whatever the runs left open.
finish() {
  stop_holder "${HOLDER_REPORT:-report.txt}"
  wineserver -k 2>/dev/null
  echo "$passed passed, $failed failed"
  [ $failed = 0 ] && [ $passed -gt 0 ] && exit 0
  exit 1
}
