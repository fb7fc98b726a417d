#!/usr/bin/env bash
# The unattended inventory of one process, checked line by line: a handle holder of our own
# reports what it holds, `lurvik64.exe <holder> <log>` lists it, and the log must be the banner
# followed by exactly the holder's process line, type blocks, handle, detail and access lines.
# That run has a PSAPI.dll planted beside the program (planted_library_dll.cpp), with Wine told
# to prefer a DLL found by the search order, as Windows does: it must not be loaded, and the log
# must be the same as without it.
# True names: the holder runs as hōlder.exe, a name with a character the ANSI code page (1252)
# lacks, beside a look-alike holder.exe, which the filter must not find; it holds files and a
# folder named with such characters beside their look-alikes (shown as "?", the folder as a
# folder, no look-alike line), and the log path holds one too (written there, nowhere else).
# WoW64: it also holds a folder found only in system32 and a file in system32 whose syswow64
# twin is a folder; the 32-bit lurvik.exe, run under the emulated 32-bit loader in this 64-bit
# prefix (left out with LURVIK_SKIP_WIN32=1), must give the 64-bit program's log byte for byte,
# which also proves its 32-bit record layouts line by line (WoW64 answers in them); it runs
# from a folder of its own beside a planted 32-bit PSAPI.dll.
# A log path that cannot be written must end the program with exit code 1.
source "$(dirname "$0")/e2e_lib.bash"
export LANG=C.UTF-8 LC_ALL=C.UTF-8  # Wine reads the UTF-8 names of the command line as such
trap finish EXIT
win32=$([ "${LURVIK_SKIP_WIN32:-0}" = 1 ] || echo yes)
HOLDER_PROGRAM=hōlder.exe
prepare_folder holder "$BUILD_DIR/lurvik64.exe" "$BUILD_DIR/PSAPI.dll" &&
  cp "$BUILD_DIR/handle_holder.exe" "$UNIX_DIR/$HOLDER_PROGRAM" && cp "$BUILD_DIR/handle_holder.exe" "$UNIX_DIR/holder.exe" &&
  { [ -z "$win32" ] || { mkdir "$UNIX_DIR/x86" && cp "$BUILD_ROOT"/win32/{lurvik.exe,PSAPI.dll} "$UNIX_DIR/x86/"; }; } || exit 1
HOLDER_PROGRAM=holder.exe HOLDER_REPORT=look-alike.txt start_holder 120 || exit 1
start_holder 120 --true-names 1 --system32 1 || exit 1

check "filtered run ends with exit code 0" \
  "$(WINEDLLOVERRIDES=psapi=n,b run_lurvik lurvik64.exe "$HOLDER_PROGRAM" "$WIN_DIR\\lōg64.txt" 300)" 0
check "the planted PSAPI.dll was not loaded" "$(planted_library_markers)" ""
check "log is the banner and exactly the holder's lines" "$(expect holder "$UNIX_DIR/report.txt" "$UNIX_DIR/lōg64.txt")" ok
# Each once: the "?" forms, the look-alikes as themselves, the system32 folder and file.
expected=(' / h?lder.exe' 'Filename: C:\lurvik_e2e\holder\?bc.txt' 'Filename: C:\lurvik_e2e\holder\abc.txt'
  'Filename: C:\lurvik_e2e\holder\?vil.txt' 'Filename: C:\lurvik_e2e\holder\evil.txt'
  'Filename: C:\lurvik_e2e\holder\??.txt' 'Name of Folder: C:\lurvik_e2e\holder\d?r' 'Filename: C:\lurvik_e2e\holder\dor'
  'Name of Folder: C:\windows\system32\lurvik_onlyhere' 'Filename: C:\windows\system32\lurvik_twin')
counts=$(for line in "${expected[@]}"; do LC_ALL=C grep -caF "$line"$'\r' "$UNIX_DIR/lōg64.txt"; done | tr '\n' ' ')
check "true names: the ? forms, each beside its look-alike, the folders as folders" "$counts" "1 1 1 1 1 1 1 1 1 1 "
if [ -n "$win32" ]; then
  check "32-bit filtered run under WoW64 ends with exit code 0" \
    "$(WINEDLLOVERRIDES=psapi=n,b run_lurvik x86\\lurvik.exe "$HOLDER_PROGRAM" "$WIN_DIR\\lōg32.txt" 700)" 0
  check "32-bit: the planted PSAPI.dll was not loaded" "$(planted_library_markers)" ""
  check "the 32-bit log equals the 64-bit log line for line" \
    "$(cmp "$UNIX_DIR/lōg64.txt" "$UNIX_DIR/lōg32.txt" 2>&1 && echo equal)" equal
fi
check "no log at a look-alike path" "$(ls "$UNIX_DIR" | grep -c '^log')" 0
check "unwritable log path ends with exit code 1" \
  "$(run_lurvik lurvik64.exe "$HOLDER_PROGRAM" "$WIN_DIR\\no_such_folder\\log.txt" 300)" 1
