#!/usr/bin/env bash
# Process names on a double-byte code page: under a Japanese locale (ANSI code page 932) a
# handle holder runs as 表.exe, whose name is the bytes 0x95 0x5C ".exe"; its second byte is
# the byte of "\". The unattended run filtered by that name must list exactly one process,
# labelled "<pid> / " and that name in code page 932 bytes (shown escaped).
source "$(dirname "$0")/e2e_lib.bash"
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
HOLDER_PROGRAM=表.exe
trap finish EXIT
prepare_folder double_byte "$BUILD_DIR/lurvik64.exe" && cp "$BUILD_DIR/handle_holder.exe" "$UNIX_DIR/$HOLDER_PROGRAM" &&
  start_holder 120 || exit 1
pid=$(LC_ALL=C sed -n 's/^pid\t//p' "$UNIX_DIR/report.txt")

check "filtered run ends with exit code 0" "$(run_lurvik lurvik64.exe "$HOLDER_PROGRAM" "$WIN_DIR\\log.txt" 300)" 0
# Process lines are the lines after the banner that do not start with a blank.
check "the one process line is the holder's, named in code page 932" \
  "$(LC_ALL=C sed -n '5,$p' "$UNIX_DIR/log.txt" | LC_ALL=C grep -av '^ ' | LC_ALL=C od -An -c)" \
  "$(printf '%s / \x95\x5C.exe\r\n' "$pid" | LC_ALL=C od -An -c)"
