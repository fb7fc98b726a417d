#!/usr/bin/env bash
# The unattended inventory of one process, checked line by line: a handle holder of our own
# reports what it holds, `lurvik64.exe handle_holder.exe <log>` lists it, and the log must be
# the banner followed by exactly the holder's process line, type blocks, handle, detail and
# access lines. A log path that cannot be written must end the program with exit code 1.
# That run has a PSAPI.dll planted beside the program (planted_library_dll.cpp), with Wine told
# to prefer a DLL found by the search order, as Windows does: it must not be loaded, and the log
# must be the same as without it.
source "$(dirname "$0")/e2e_lib.bash"
trap finish EXIT
prepare_folder holder "$BUILD_DIR/handle_holder.exe" "$BUILD_DIR/lurvik64.exe" "$BUILD_DIR/PSAPI.dll" &&
  start_holder 120 || exit 1

check "filtered run ends with exit code 0" \
  "$(WINEDLLOVERRIDES=psapi=n,b run_lurvik lurvik64.exe handle_holder.exe "$WIN_DIR\\log.txt" 300)" 0
check "the planted PSAPI.dll was not loaded" "$(planted_library_markers)" ""
check "log is the banner and exactly the holder's lines" "$(expect holder "$UNIX_DIR/report.txt" "$UNIX_DIR/log.txt")" ok
check "unwritable log path ends with exit code 1" \
  "$(run_lurvik lurvik64.exe handle_holder.exe "$WIN_DIR\\no_such_folder\\log.txt" 300)" 1
