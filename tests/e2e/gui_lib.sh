# Shared part of the window end-to-end tests (sourced by tests/e2e/gui_*.sh): runs the script
# under Xvfb, prepares a Wine prefix of its own with a virtual desktop (so windows get frames),
# starts the program and the GUI driver, and counts the checks.
# Settings: BUILD_DIR (default build/win64), GUI_WINEPREFIX (default $BUILD_DIR/wineprefix-gui).

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

set -u
TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD_DIR=${BUILD_DIR:-$TOP/build/win64}
case $BUILD_DIR in /*) ;; *) BUILD_DIR=$TOP/$BUILD_DIR ;; esac
export WINEPREFIX=${GUI_WINEPREFIX:-$BUILD_DIR/wineprefix-gui}
export WINEDEBUG=-all
WINE=/usr/lib/wine/wine64
PROGRAM=$BUILD_DIR/lurvik64.exe
DRIVER=$BUILD_DIR/gui_driver.exe
WORK=$BUILD_DIR/gui-e2e/$(basename "$0" .sh)
PASSED=0
FAILED=0
PROGRAM_PID=

rm -rf "$WORK"
mkdir -p "$WORK"

# The Windows form of a path on this machine (Wine maps Z: to /).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

check() {  # check NAME COMMAND...
  local name=$1
  shift
  if "$@"; then
    PASSED=$((PASSED + 1))
    echo "ok   - $name  [${SECONDS}s]"
  else
    FAILED=$((FAILED + 1))
    echo "FAIL - $name  [${SECONDS}s]"
  fi
}

same() { [ "$1" = "$2" ] || { echo "     expected [$2]" >&2; echo "     got      [$1]" >&2; return 1; }; }

driver() { "$WINE" "$DRIVER" "$@"; }

# One field of `gui_driver info`, e.g. info_field client -> 640x421.
info_field() { driver info | tr -d '\r' | sed -n "s/^$1=//p"; }

# Ends the prefix's wineserver and waits until it is really gone: a program started while a
# killed server is still shutting down could connect to it and be left without a server.
stop_wineserver() {
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
}

prepare_prefix() {
  if [ ! -f "$WINEPREFIX/.gui-desktop" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    touch "$WINEPREFIX/.gui-desktop"
  fi
  stop_wineserver  # a desktop of an earlier X server would be gone
  "$WINE" cmd /c exit >/dev/null 2>&1
}

# Starts the program in the background; its exit code lands in $WORK/exit_code.
start_program() {  # start_program [ARGS...]; environment as set by the caller
  rm -f "$WORK/exit_code"
  ( "$WINE" "$PROGRAM" "$@"; echo $? >"$WORK/exit_code.part"; mv "$WORK/exit_code.part" "$WORK/exit_code" ) &
  PROGRAM_PID=$!
}

# Waits up to SECONDS for the program to end; prints its exit code, or "running".
wait_program() {
  local seconds=$1 i
  for ((i = 0; i < seconds * 10; i++)); do
    if [ -f "$WORK/exit_code" ]; then
      cat "$WORK/exit_code"
      return
    fi
    sleep 0.1
  done
  echo running
}

stop_program() {
  if [ -n "$PROGRAM_PID" ] && [ ! -f "$WORK/exit_code" ]; then
    driver command 111 >/dev/null 2>&1
    [ "$(wait_program 10)" = running ] && kill "$PROGRAM_PID" 2>/dev/null
  fi
  PROGRAM_PID=
}

# The first line of the menu trace file once it has been written (the menu at start).
first_menu() {  # first_menu FILE
  local i
  for ((i = 0; i < 100; i++)); do
    [ -s "$1" ] && break
    sleep 0.1
  done
  head -n 1 "$1" 2>/dev/null | tr -d '\r'
}

# The last line of the menu trace file (the current menu), without CR.
menu_now() { tail -n 1 "$1" | tr -d '\r'; }

# Waits until the menu trace's last line equals the expected text.
wait_menu() {  # wait_menu FILE EXPECTED SECONDS
  local i
  for ((i = 0; i < $3 * 10; i++)); do
    [ "$(menu_now "$1" 2>/dev/null)" = "$2" ] && return 0
    sleep 0.1
  done
  same "$(menu_now "$1")" "$2"
}

# Saves the log through command 102, answering the save dialog with the given file.
save_log_to() {  # save_log_to FILE
  driver command 102 >/dev/null
  driver dialog "$DIALOG_TITLE" "$(windows_path "$1")" 20000 >"$WORK/dialog.txt"
  local i
  for ((i = 0; i < 100; i++)); do
    [ -s "$1" ] && sleep 0.5 && return 0
    sleep 0.1
  done
  return 1
}

ENGLISH_BANNER=$'************************\r\n*  LOG-File of Lurvik  *\r\n************************\r\n\r\n'
DIALOG_TITLE="Save LOG File"

finish() {
  stop_program
  stop_wineserver
  echo "$PASSED passed, $FAILED failed"
  [ "$FAILED" -eq 0 ]
}
