#!/usr/bin/env bash
# The unattended inventory of one process, checked line by line: a handle holder of our own
# reports what it holds, `lurvik64.exe handle_holder.exe <log>` lists it, and the log must be
# the banner followed by exactly the holder's process line, type blocks, handle, detail and
# access lines. A log path that cannot be written must end the program with exit code 1.
source "$(dirname "$0")/e2e_lib.bash"
trap finish EXIT
prepare_folder holder "$BUILD_DIR/handle_holder.exe" "$BUILD_DIR/lurvik64.exe" && start_holder 120 || exit 1

check "filtered run ends with exit code 0" "$(run_lurvik lurvik64.exe handle_holder.exe "$WIN_DIR\\log.txt" 300)" 0
check "log is the banner and exactly the holder's lines" "$(expect holder "$UNIX_DIR/report.txt" "$UNIX_DIR/log.txt")" ok
check "unwritable log path ends with exit code 1" \
  "$(run_lurvik lurvik64.exe handle_holder.exe "$WIN_DIR\\no_such_folder\\log.txt" 300)" 1
