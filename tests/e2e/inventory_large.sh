#!/usr/bin/env bash
# A process with more than 70,000 handles: its handle values pass 65535 and must be listed
# with their true values, and the scan must finish. The extra handles are copies of the
# holder's own process handle, which the inventory resolves without probe threads.
source "$(dirname "$0")/e2e_lib.bash"
trap finish EXIT
prepare_folder large "$BUILD_DIR/handle_holder.exe" "$BUILD_DIR/lurvik64.exe" && start_holder 300 --extra 70500 || exit 1

check "large run ends with exit code 0" "$(run_lurvik lurvik64.exe handle_holder.exe "$WIN_DIR\\log.txt" 800)" 0
check "every extra handle listed with its true value" "$(expect extra "$UNIX_DIR/report.txt" "$UNIX_DIR/log.txt")" ok
check "banner, line grammar and last line" "$(expect structure "$UNIX_DIR/log.txt")" ok
