#!/usr/bin/env bash
# The unattended inventory of every process (`lurvik64.exe "" <log>`): it completes with exit
# code 0, the log starts with the banner, every line is a well-formed log line ending in
# CR LF, the log ends with an access line, and a running handle holder's part is exact.
source "$(dirname "$0")/e2e_lib.bash"
trap finish EXIT
prepare_folder all "$BUILD_DIR/handle_holder.exe" "$BUILD_DIR/lurvik64.exe" && start_holder 120 || exit 1

check "full run ends with exit code 0" "$(run_lurvik lurvik64.exe "" "$WIN_DIR\\log.txt" 600)" 0
check "banner, line grammar and last line" "$(expect structure "$UNIX_DIR/log.txt")" ok
check "holder's part is exact within the full log" "$(expect contains "$UNIX_DIR/report.txt" "$UNIX_DIR/log.txt")" ok
