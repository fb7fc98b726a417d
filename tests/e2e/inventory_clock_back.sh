#!/usr/bin/env bash
# The owner of a process's entries is known by its creation time, compared with the system's
# process list, never with the clock: an unattended inventory of the whole machine run with
# the program's clock an hour behind (faketime shifts the program's own clock, while the Wine
# server stamps creation times with the true one, as after a clock set back on Windows) gives
# the same process labels as with the true clock, and the holder's part is exact in both.
source "$(dirname "$0")/e2e_lib.bash"
trap finish EXIT
prepare_folder clock "$BUILD_DIR/handle_holder.exe" "$BUILD_DIR/lurvik64.exe" && start_holder 120 || exit 1
command -v faketime >/dev/null || { check "faketime is installed (tools/setup installs it)" no yes; exit 1; }

# The process lines, the program's own left out (its id differs from run to run).
labels() { tr -d '\r' <"$1" | grep -E '^[0-9]+ / ' | grep -v ' / lurvik64\.exe$' | sort; }

check "true clock: exit code 0" "$(run_lurvik lurvik64.exe "" "$WIN_DIR\\true.lurvik" 600)" 0
status=$(timeout --kill-after=10 600 faketime -f -1h "$WINE" "$WIN_DIR\\lurvik64.exe" "" "$WIN_DIR\\behind.lurvik" >&2; echo $?)
check "clock an hour behind: exit code 0" "$status" 0
check "the same process labels" "$(labels "$UNIX_DIR/behind.lurvik")" "$(labels "$UNIX_DIR/true.lurvik")"
check "with the true clock every process is labelled" "$(labels "$UNIX_DIR/true.lurvik" | grep -vc unbekannt)" "$(labels "$UNIX_DIR/true.lurvik" | wc -l)"
check "holder's part is exact with the clock behind" "$(expect contains "$UNIX_DIR/report.txt" "$UNIX_DIR/behind.lurvik")" ok
