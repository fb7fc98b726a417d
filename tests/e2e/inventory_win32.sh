#!/usr/bin/env bash
# The 32-bit program under the emulated 32-bit loader: the same line-by-line comparison as
# inventory_holder.sh, for build/win32/lurvik.exe and a 32-bit handle holder in a 32-bit
# prefix. It proves the 32-bit record layouts for real; it is slow (each start takes about
# a minute), so it is one run. LURVIK_SKIP_WIN32=1 leaves it out.
source "$(dirname "$0")/inventory_lib.bash"
# Status 77 tells tools/test that the check was skipped, not passed.
if [ "${LURVIK_SKIP_WIN32:-0}" = 1 ]; then echo "skipped (LURVIK_SKIP_WIN32=1)"; exit 77; fi
export WINEPREFIX=${WIN32_PREFIX:-$BUILD_ROOT/wineprefix32} WINEARCH=win32
WINE=/usr/lib/wine/wine
WIN32_BUILD_DIR=${WIN32_BUILD_DIR:-$BUILD_ROOT/win32}
HOLDER_REPORT=report.txt
trap finish EXIT

[ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] || { echo "no emulator registered for 32-bit programs (tools/setup)"; exit 1; }
# tools/test makes the prefix first and marks it ready; run alone, the script makes it.
if [ ! -e "$WINEPREFIX/.lurvik-ready" ]; then
  echo "creating the 32-bit prefix (several minutes)"
  rm -rf "$WINEPREFIX"
  "$WINE" wineboot -i
  wineserver -w  # the set-up goes on in the background after wineboot's own time-out
  [ -e "$WINEPREFIX/system.reg" ] || { echo "32-bit Wine cannot make its prefix here"; exit 1; }
  touch "$WINEPREFIX/.lurvik-ready"
fi
prepare_folder win32 "$WIN32_BUILD_DIR/handle_holder.exe" "$WIN32_BUILD_DIR/lurvik.exe" || exit 1
started=$SECONDS
start_holder report.txt 400 || exit 1
echo "holder ready after $((SECONDS - started)) s"

started=$SECONDS
run_lurvik lurvik.exe handle_holder.exe "$WIN_DIR\\holder_log.txt" 700
echo "lurvik.exe ended after $((SECONDS - started)) s"
result "32-bit filtered run ends with exit code 0" test "$LURVIK_STATUS" = 0
result "32-bit log is the banner and exactly the holder's lines" $EXPECT holder "$UNIX_DIR/report.txt" "$UNIX_DIR/holder_log.txt"
