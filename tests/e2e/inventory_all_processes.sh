#!/usr/bin/env bash
# The unattended inventory of every process (`lurvik64.exe "" <log>`): it completes with exit
# code 0, the log starts with the banner, every line is a well-formed log line ending in
# CR LF, the log ends with an access line, and a running handle holder's part is exact.
source "$(dirname "$0")/inventory_lib.bash"
HOLDER_REPORT=report.txt
trap finish EXIT

prepare_folder all "$BUILD_DIR/handle_holder.exe" "$BUILD_DIR/lurvik64.exe" || exit 1
start_holder report.txt 120 || exit 1

run_lurvik lurvik64.exe "" "$WIN_DIR\\all_log.txt" 600
result "full run ends with exit code 0" test "$LURVIK_STATUS" = 0
result "banner, line grammar and last line" $EXPECT structure "$UNIX_DIR/all_log.txt"
result "holder's part is exact within the full log" $EXPECT contains "$UNIX_DIR/report.txt" "$UNIX_DIR/all_log.txt"
