#!/usr/bin/env bash
# A process with more than 70,000 handles: its handle values pass 65535 and must be listed
# with their true values, and the scan must finish. The extra handles are copies of the
# holder's own process handle, which the inventory resolves without probe threads.
source "$(dirname "$0")/inventory_lib.bash"
HOLDER_REPORT=report.txt
trap finish EXIT

prepare_folder large "$BUILD_DIR/handle_holder.exe" "$BUILD_DIR/lurvik64.exe" || exit 1
start_holder report.txt 300 --extra 70500 || exit 1

started=$SECONDS
run_lurvik lurvik64.exe handle_holder.exe "$WIN_DIR\\large_log.txt" 800
echo "scan of the large holder took $((SECONDS - started)) s"
result "large run ends with exit code 0" test "$LURVIK_STATUS" = 0
result "every extra handle listed with its true value" $EXPECT extra "$UNIX_DIR/report.txt" "$UNIX_DIR/large_log.txt"
result "banner, line grammar and last line" $EXPECT structure "$UNIX_DIR/large_log.txt"
