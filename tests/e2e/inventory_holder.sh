#!/usr/bin/env bash
# The unattended inventory of one process, checked line by line: a handle holder of our own
# reports what it holds, `lurvik64.exe handle_holder.exe <log>` lists it, and the log must be
# the banner followed by exactly the holder's process line, type blocks, handle, detail and
# access lines. A log path that cannot be written must end the program with exit code 1.
source "$(dirname "$0")/inventory_lib.bash"
HOLDER_REPORT=report.txt
trap finish EXIT

prepare_folder holder "$BUILD_DIR/handle_holder.exe" "$BUILD_DIR/lurvik64.exe" || exit 1
start_holder report.txt 120 || exit 1

run_lurvik lurvik64.exe handle_holder.exe "$WIN_DIR\\holder_log.txt" 300
result "filtered run ends with exit code 0" test "$LURVIK_STATUS" = 0
result "log is the banner and exactly the holder's lines" $EXPECT holder "$UNIX_DIR/report.txt" "$UNIX_DIR/holder_log.txt"

run_lurvik lurvik64.exe handle_holder.exe "$WIN_DIR\\no_such_folder\\log.txt" 300
result "unwritable log path ends with exit code 1" test "$LURVIK_STATUS" = 1
