#!/usr/bin/env bash
# The 32-bit program under the emulated 32-bit loader: the same line-by-line comparison as
# inventory_holder.sh, for build/win32/lurvik.exe and a 32-bit handle holder in the 32-bit
# prefix that tools/test prepares. It proves the 32-bit record layouts for real; it is slow
# (each start takes about a minute), so it is one run, beside a planted PSAPI.dll as there.
# LURVIK_SKIP_WIN32=1 leaves it out.
source "$(dirname "$0")/e2e_lib.bash"
# Status 77 tells tools/test that the check was skipped, not passed.
if [ "${LURVIK_SKIP_WIN32:-0}" = 1 ]; then echo "skipped (LURVIK_SKIP_WIN32=1)"; exit 77; fi
trap finish EXIT
use_win32
prepare_folder win32 "$BUILD_DIR/handle_holder.exe" "$BUILD_DIR/lurvik.exe" "$BUILD_DIR/PSAPI.dll" &&
  start_holder 400 || exit 1

check "32-bit filtered run ends with exit code 0" \
  "$(WINEDLLOVERRIDES=psapi=n,b run_lurvik lurvik.exe handle_holder.exe "$WIN_DIR\\log.txt" 700)" 0
check "32-bit: the planted PSAPI.dll was not loaded" "$(planted_library_markers)" ""
check "32-bit log is the banner and exactly the holder's lines" \
  "$(expect holder "$UNIX_DIR/report.txt" "$UNIX_DIR/log.txt")" ok
