# Shared steps of the end-to-end scripts (sourced, not run): where the builds and the Wine
# prefix are, recording checks, starting a handle holder and running the program unattended.
# Programs are copied to C:\lurvik_e2e\<test> inside the prefix, so their image paths lie on
# drive C: the way an installed program's would.
#
# Variables (all optional): BUILD_ROOT (default build), BUILD_DIR (default $BUILD_ROOT/win64),
# WINEPREFIX (default $BUILD_ROOT/wineprefix), WINE64, WIN32_PREFIX, LURVIK_TEST_TMP.

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD_ROOT=${BUILD_ROOT:-$top/build}
BUILD_DIR=${BUILD_DIR:-$BUILD_ROOT/win64}
export WINEPREFIX=${WINEPREFIX:-$BUILD_ROOT/wineprefix} WINEDEBUG=-all
export LANG=C LC_ALL=C  # English interface texts
WINE=${WINE64:-/usr/lib/wine/wine64}
WORK=${LURVIK_TEST_TMP:-$(mktemp -d)}
passed=0 failed=0

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# Records one check: check NAME GOT EXPECTED; a failure shows both.
check() {
  if [ "$2" = "$3" ]; then passed=$((passed + 1)); echo "ok   - $1  [${SECONDS}s]"; return; fi
  failed=$((failed + 1))
  printf 'FAIL - %s  [%ss]\n       expected [%s]\n       got      [%s]\n' "$1" "$SECONDS" "$3" "$2"
}
# The log checks of inventory_expect.py; each prints "ok" or what it expected and found.
expect() { /usr/bin/python3 "$top/tests/e2e/inventory_expect.py" "$@" 2>&1; }

# Prepares C:\lurvik_e2e\<name> holding the given programs; sets WIN_DIR and UNIX_DIR.
prepare_folder() {
  UNIX_DIR=$WINEPREFIX/drive_c/lurvik_e2e/$1 WIN_DIR="C:\\lurvik_e2e\\$1"
  rm -rf "$UNIX_DIR" && mkdir -p "$UNIX_DIR" && cp "${@:2}" "$UNIX_DIR/"
}

# Starts the holder (HOLDER_PROGRAM in WIN_DIR, default handle_holder.exe) in the background
# with its report in UNIX_DIR/HOLDER_REPORT (default report.txt), and waits at most the given
# seconds for the report. Extra arguments go to the holder. Ending the prefix's wineserver ends
# the holder.
start_holder() {
  local report=${HOLDER_REPORT:-report.txt}
  "$WINE" "$WIN_DIR\\${HOLDER_PROGRAM:-handle_holder.exe}" "$WIN_DIR\\$report" --seconds 1500 "${@:2}" &
  local i
  for ((i = 0; i < $1 * 10; i++)); do
    [ -s "$UNIX_DIR/$report" ] && return
    kill -0 $! 2>/dev/null || break
    sleep 0.1
  done
  echo "no holder report after $((i / 10)) s"; return 1
}

# The markers that a planted library (PSAPI.dll from planted_library_dll.cpp) left in UNIX_DIR
# or a folder in it when it was loaded: none is expected.
planted_library_markers() { (cd "$UNIX_DIR" && ls -- *.loaded */*.loaded 2>/dev/null); }

# Runs the program unattended and prints its exit code: run_lurvik PROGRAM FILTER LOG SECONDS.
run_lurvik() {
  timeout --kill-after=10 "$4" "$WINE" "$WIN_DIR\\$1" "$2" "$3" >&2
  echo $?
}

# Switches to the 32-bit prefix that tools/test prepares, or fails when it is not ready.
use_win32() {
  end_wine
  export WINEPREFIX=${WIN32_PREFIX:-$BUILD_ROOT/wineprefix32} WINEARCH=win32
  WINE=/usr/lib/wine/wine BUILD_DIR=$BUILD_ROOT/win32
  [ -e "$WINEPREFIX/.lurvik-ready" ] || { check "the 32-bit prefix is ready (tools/test makes it)" no yes; exit 1; }
}

# Ends the prefix's wineserver and then, by process id, every Wine process of the prefix that is
# left (the loaders, and the emulator that runs 32-bit ones): a crashed server leaves its
# clients hanging.
end_wine() {
  wineserver -k 2>/dev/null
  local p
  for p in /proc/[0-9]*; do
    case $(readlink "$p/exe" 2>/dev/null) in */wine* | *qemu*) ;; *) continue ;; esac
    tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -xF "WINEPREFIX=$WINEPREFIX" >/dev/null && kill -9 "${p#/proc/}" 2>/dev/null
  done
}

# The program opens a written log with its associated application (notepad under Wine);
# ending the prefix's Wine closes whatever the runs left open.
finish() {
  end_wine
  echo "$passed passed, $failed failed"
  exit $((failed > 0 || passed == 0))
}
