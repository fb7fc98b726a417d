#!/usr/bin/env bash
# The main window end to end under Wine and Xvfb, driven from another process by
# gui_driver.exe. The test build lurvik64_test.exe writes its menu to a trace file (menus of
# another process cannot be read under Wine). Checked: title and geometry, the menu gray
# during a scan and usable after it, the tree equal to the saved log, which replaces a longer
# file named by the dialog with a character the ANSI code page lacks ("ō", written there and not
# at its look-alike), foreign batch messages to the tree (answered 0, nothing read or written through their
# pointers), find and copy with real keys (the dialog, Find Next, Enter, Esc, F3, Shift+F3,
# Ctrl+C, each process node's copy against the log), the language items, a rescan in German
# with a German log, resizing, the end by 111 and by closing during a long scan, a German
# locale's menu, the hidden window of an unattended run, and the shipped lurvik64.exe's
# window, which becomes build/screenshot.png (the find dialog over the node it found becomes
# build/screenshot-find.png).
# Then the shipped 32-bit lurvik.exe under the emulated 32-bit loader (left out with
# LURVIK_SKIP_WIN32=1): it starts, fills the tree, saves the log through the dialog, finds
# through the find dialog, copies its process node and ends with exit code 0.
#
# The Wine server: Wine 8.0's wineserver crashes (SIGSEGV) when the handle list is asked for
# (request get_system_handles, from ZwQuerySystemInformation classes 16 and 64) while some
# process has an empty handle table, as a new process has until its start-up opens its first
# handle: its loop over a table runs from 0 while "index <= last" with an unsigned index, and
# last is -1, so it reads past the table's end. Core files of two crashes of this script show
# it: the handler of request 222 (get_system_handles) faulting at the end of an entry array
# whose table has count 32 and last -1. Windows answers the question, so the program keeps
# it. The script starts no process while a scan runs: one driver process per part takes the
# commands on a pipe, and it is up, with the prefix's services, before the program starts. Should the server still end during a part, the part fails at once with a
# line that says so, every Wine process of its prefix is ended, and the part runs once more
# with a new server (a line "RETRY" says so); a second loss fails the script.
[ -n "${DISPLAY:-}" ] || exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
set -uo pipefail
source "$(dirname "$0")/e2e_lib.bash"
unset LC_ALL  # each start sets the program's locale by LANG
export WINEPREFIX=$BUILD_ROOT/wineprefix-gui
TRACE=$WORK/menu.txt
trap 'WINEPREFIX=${WIN32_PREFIX:-$BUILD_ROOT/wineprefix32} end_wine; finish' EXIT
trap '' PIPE  # a driver that has ended fails its command instead of ending the script

above() { [ "$1" -gt "$2" ] 2>/dev/null && echo "more than $2" || echo "$1"; }
below() { [ "$1" -lt "$2" ] 2>/dev/null && echo "fewer than $2" || echo "$1"; }
# The part's one driver process: commands go to it on a pipe, a tab between words; its answer
# is printed up to its line "end N", and N is the status.
start_driver() {
  rm -f "$WORK/to_driver" "$WORK/from_driver" && mkfifo "$WORK/to_driver" "$WORK/from_driver"
  "$WINE" "$BUILD_DIR/gui_driver.exe" serve <"$WORK/to_driver" >"$WORK/from_driver" &
  exec 7>"$WORK/to_driver" 8<"$WORK/from_driver"
}
driver_answer() {
  local line
  while IFS= read -r -t 900 line <&8; do
    line=${line%$'\r'}
    [[ $line == "end "* ]] && return "${line#end }"
    printf '%s\n' "$line"
  done
  return 9
}
driver() { { printf '%s\t' "$@"; echo; } >&7 2>/dev/null && driver_answer; }
choose() { driver post 273 "$1"; }  # WM_COMMAND with a menu item id
snapshot() { INFO=$(driver info); }
field() { sed -n "s/^$1=//p" <<<"$INFO"; }
wait_items() { for ((i = 0; i < 300; i++)); do snapshot; [ "$(field treeitems)" -gt "$1" ] && break; sleep 0.1; done; }
start() {  # start PROGRAM [ARGS...]: in the background; the exit code lands in $WORK/exit_code
  rm -f "$WORK/exit_code"
  ("$WINE" "$BUILD_DIR/$1" "${@:2}"; echo $? >"$WORK/code") && mv "$WORK/code" "$WORK/exit_code" &
}
# The access violations Wine reported for the program started with WINEDEBUG=+seh (its stderr
# in $WORK/seh.txt); one raised in a window procedure would otherwise pass unseen.
access_violations() { grep -c 'c0000005\|EXCEPTION_ACCESS_VIOLATION' "$WORK/seh.txt"; }
exit_code() {  # exit_code SECONDS: the exit code once the program has ended, or "running"
  for ((i = 0; i < $1 * 10; i++)); do [ -f "$WORK/exit_code" ] && break; sleep 0.1; done
  cat "$WORK/exit_code" 2>/dev/null || echo running
}
first_menu() {
  for ((i = 0; i < 100; i++)); do [ -s "$TRACE" ] && break; sleep 0.1; done
  head -n 1 "$TRACE" 2>/dev/null | tr -d '\r'
}
menu() {  # menu EXPECTED [SECONDS]: the menu trace's last line, once it equals EXPECTED
  for ((i = 0; i < ${2:-5} * 10; i++)); do [ "$(tail -n 1 "$TRACE" 2>/dev/null)" = "$1"$'\r' ] && break; sleep 0.1; done
  tail -n 1 "$TRACE" 2>/dev/null | tr -d '\r'
}
# saved_log NAME DIALOG_TITLE FILE BANNER TREE: chooses 102, answers the dialog with FILE and
# checks (waiting up to 30 s) that FILE becomes the banner line BANNER framed, then the tree.
saved_log() {
  choose 102 && driver dialog "$2" "$(windows_path "$3")" 30000 >"$WORK/dialog.txt"
  printf '%s\r\n*%s*\r\n%s\r\n\r\n' "${4//?/*}**" "$4" "${4//?/*}**" | cat - "$5" >"$WORK/expected.txt"
  for ((i = 0; i < 300; i++)); do cmp -s "$3" "$WORK/expected.txt" && break; sleep 0.1; done
  check "$1" "$(cmp "$3" "$WORK/expected.txt" 2>&1 && echo "the same bytes")" "the same bytes"
}
close_now() {  # posts WM_CLOSE; prints the status text's start, the exit code and the time taken
  local started=$(date +%s%N)
  driver post 16 0
  echo "$(field status | cut -c1-3)$(exit_code 15)/$(below $((($(date +%s%N) - started) / 1000000)) 5000)"
}

# The running prefix's server: wineserver64 serves both widths; its environment names the prefix.
server_pid() {
  local p
  for p in /proc/[0-9]*; do
    [[ $(cat "$p/comm" 2>/dev/null) == wineserver* ]] || continue
    tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -xF "WINEPREFIX=$WINEPREFIX" >/dev/null && echo "${p#/proc/}" && return
  done
}
# Watches the part's server in the background. When it ends by itself, the part is ended, and
# with it every Wine process of the prefix; the file server_lost tells run_part.
watch_server() {
  local part=$BASHPID
  (
    while [ -e "/proc/$1" ] && ! grep -q ') Z ' "/proc/$1/stat" 2>/dev/null; do sleep 1; done
    echo "FAIL - the Wine server of this part ended by itself: a crash, see the script's comment  [${SECONDS}s]"
    kill "$part"; end_wine; touch "$WORK/server_lost"
  ) &
  WATCHDOG=$!
}
# The part's driver, and the watch over the server that the driver starts, from before the
# driver's first answer.
begin_part() {
  local server="" i
  start_driver
  for ((i = 0; i < 600; i++)); do server=$(server_pid); [ -n "$server" ] && break; sleep 0.1; done
  [ -n "$server" ] && watch_server "$server" && driver_answer && return
  check "the part's driver and Wine server start" no yes
  end_part
  exit 1
}
end_part() {  # ends the watchdog, the driver and the prefix's Wine; hands the counts to run_part
  [ -z "${WATCHDOG:-}" ] || kill "$WATCHDOG"
  exec 7>&- 8<&-
  end_wine
  echo "$passed $failed" >"$WORK/counts"
}
# run_part NAME FUNCTION: runs the part in a subshell; once more, and said so, when its Wine
# server was lost. A part that ends without its counts has failed.
run_part() {
  local attempt p f
  for attempt in 1 2; do
    rm -f "$WORK/server_lost" "$WORK/counts"
    (passed=0 failed=0; "$2") & wait $!
    [ -e "$WORK/counts" ] || for ((i = 0; i < 300; i++)); do [ -e "$WORK/server_lost" ] && break; sleep 0.1; done
    [ -e "$WORK/server_lost" ] && [ $attempt = 1 ] || break
    echo "RETRY - $1 part: its Wine server crashed; the part runs once more with a new server  [${SECONDS}s]"
  done
  if read -r p f <"$WORK/counts" 2>/dev/null; then passed=$((passed + p)) failed=$((failed + f))
  else check "$1 part: runs to its end" "stopped" "ended"; fi
}

ENGLISH='&Program|101 get &handles again|102 create &log file|201 &deutsch|202 &english checked|111 &close'
ENGLISH_SCANNING='&Program|101 get &handles again gray|102 create &log file gray|201 &deutsch gray|202 &english gray checked|111 &close'
GERMAN='&Programm|101 &Handles neu auslesen|102 &LOG-Datei erzeugen|201 &deutsch checked|202 &english|111 &beenden'
GERMAN_SCANNING='&Programm|101 &Handles neu auslesen gray|102 &LOG-Datei erzeugen gray|201 &deutsch gray checked|202 &english gray|111 &beenden'

part64() {
  # A prefix of its own with a virtual desktop, so that windows get frames as on Windows.
  if [ ! -f "$WINEPREFIX/.gui-desktop" ]; then
    "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    touch "$WINEPREFIX/.gui-desktop"
  fi
  wineserver -k 2>/dev/null; wineserver -w  # the desktop of an earlier X server would be gone
  begin_part
  prepare_folder gui_window "$BUILD_DIR/handle_holder.exe"  # its file, pipe and objects are found below
  start_holder 60

  # C.UTF-8: English, and Wine names files in UTF-8 (the saved log's name holds "ō").
  LANG=C.UTF-8 LURVIK_MENU_TRACE=$(windows_path "$TRACE") WINEDEBUG=+seh start lurvik64_test.exe 2>"$WORK/seh.txt"
  check "the main window appears" "$(driver find "Lurvik v." 30000 && echo found)" found
  snapshot
  check "title: Lurvik v. and the program version" "$(field title)" "Lurvik v.2,0,1,387"
  check "the window stands at the top-left corner" "$(field outer | cut -d, -f1-2)" "0,0"
  check "the menu starts with the scan commands gray" "$(first_menu)" "$ENGLISH_SCANNING"
  CYMENU=$(field cymenu) CLIENT=$(field client)
  check "inner size 640 x 440, menu line included" "${CLIENT%x*}x$((${CLIENT#*x} + CYMENU))" 640x440
  check "the tree at (20, 20) with 600 x 360" "$(field tree)" "20,20,600x360"
  check "the progress bar in the left part of the status bar" "$(field progress | cut -dx -f1)" "3,3,244"
  check "the scan ends with Ready! in the status bar" "$(driver wait-status "Ready! " 120000)" "Ready! "
  check "the scan commands are enabled after the scan" "$(menu "$ENGLISH")" "$ENGLISH"
  snapshot && FIRST_ITEMS=$(field treeitems)
  check "the tree holds the processes" "$(above "$FIRST_ITEMS" 20)" "more than 20"

  # Another program sends the tree's batch message with pointers of its own: it is answered 0,
  # nothing is read or written through them, and the tree and the next scan are as they were.
  VIOLATIONS=$(access_violations)
  check "a foreign batch message is answered 0 and writes nothing" "$(driver foreign-batch)" "answers 0 0, block unchanged"
  check "a foreign batch message raises no access violation" "$(access_violations)" "$VIOLATIONS"
  snapshot
  check "a foreign batch message adds no node" "$(field treeitems)" "$FIRST_ITEMS"

  # Resizing: the tree follows as |W - 40| x |H - 80|, H being the client height plus the menu line.
  for size in 800x500 300x120; do
    driver resize "${size%x*}" "${size#*x}" && sleep 1 && snapshot
    CLIENT=$(field client) STATUS_BAR=$(field statusbar)
    W=${CLIENT%x*} H=$((${CLIENT#*x} + CYMENU))
    TW=$((W - 40)) TH=$((H - 80))
    check "client $CLIENT: the tree follows" "$(field tree)" "20,20,${TW#-}x${TH#-}"
    BAR_HEIGHT=${STATUS_BAR#*x} BAR_WIDTH=$(cut -d, -f3 <<<"${STATUS_BAR%x*}")
    check "client $CLIENT: the status bar follows bottom and width" \
      "$(($(cut -d, -f2 <<<"$STATUS_BAR") + BAR_HEIGHT)) $BAR_WIDTH" "${CLIENT#*x} $W"
    check "client $CLIENT: the progress bar keeps its size" "$(field progress)" "3,3,244x$((BAR_HEIGHT - 6))"
  done
  driver resize 640 $((440 - CYMENU))

  # 201 changes only the menu; the log saved now is the English scan's. It replaces a longer file.
  choose 201
  check "201 gives the German menu, 201 checked" "$(menu "$GERMAN")" "$GERMAN"
  snapshot
  check "the title keeps its text" "$(field title)" "Lurvik v.2,0,1,387"
  check "the status text stays English until the next scan" "$(field status)" "Ready! "
  driver tree "$(windows_path "$WORK/tree.txt")"
  PROCESSES=$'^[0-9]+ / (lurvik64_test|explorer|services)\\.exe\r$'
  check "one node for each of three running processes" "$(grep -cE "$PROCESSES" "$WORK/tree.txt")" 3
  check "the tree stays English until the next scan" \
    "$(above "$(grep -c '^      Opened with Access Rights: 0x' "$WORK/tree.txt")" 20)" "more than 20"
  head -c 300000 /dev/zero | tr '\0' x >"$WORK/lōg.bin"  # no application is opened for .bin
  saved_log "the log replaces the file: the banner, then exactly the tree" "LOG-Datei abspeichern" "$WORK/lōg.bin" \
    "  LOG-File of Lurvik  " "$WORK/tree.txt"
  check "the dialog offers Lurvik_LOG.txt and one filter" "$(grep -E '^fil' "$WORK/dialog.txt" | tr '\n' ' ')" \
    "filename=Lurvik_LOG.txt filters=1 "

  # Find and copy with real keys, checked against the saved log and the holder's report: a file
  # name typed into the dialog, the matches of a name after it in the log's order (without
  # letter case) by Find Next, Enter in the dialog, F3 and Shift+F3; Esc closes the dialog and
  # gives the tree the focus; Ctrl+C of each process node gives its lines of the log.
  # While the dialog has the focus, the tree (whose style has no TVS_SHOWSELALWAYS) draws the
  # found node as its drop target.
  local pid=$(awk -F'\t' '$1 == "pid" {print $2}' "$UNIX_DIR/report.txt")
  local label=$(awk -F'\t' '$1 == "label" {print $2}' "$UNIX_DIR/report.txt")
  awk -v label="$label" 'BEGIN {RS = "\r\n"; ORS = "\r\n"} $0 == label {on = 1; print; next} on && /^ / {print; next} {on = 0}' \
    "$WORK/lōg.bin" >"$WORK/holder_lines.txt"
  local file_line=$(grep -m1 "holder_file_$pid.txt" "$WORK/holder_lines.txt" | tr -d '\r' | sed 's/^ *//')
  mapfile -t MATCHES < <(tr -d '\r' <"$WORK/holder_lines.txt" | awk '/holder_file_/ {f = 1; next} /lurvik_holder_/ {sub(/^ */, ""); if (f) print; else w[++n] = $0} END {for (i = 1; i <= n; i++) print w[i]}')
  selected() { driver selected | sed -n "s/^$1=//p"; }
  choose 202 && menu "$ENGLISH" >/dev/null  # the menu in English for the picture below
  driver keys ctrl+F
  check "Ctrl+F opens the find dialog" "$(selected finddialog)" 1
  driver find-dialog "holder_file_$pid.txt" >/dev/null
  check "the file name typed into the dialog and Find Next select its node, parents expanded" \
    "$(selected selected) $(selected expanded)" "$file_line 111"
  check "the node found while the dialog has the focus is drawn highlighted" "$(selected highlighted)" "$file_line"
  # The README's second picture: the find dialog over the node it found, cut to both windows.
  snapshot
  import -window root -crop "$(printf '%s,%s' "$(field outer)" "$(field dialog)" | awk -F'[,x]' '{
    l = $1 < $5 ? $1 : $5; t = $2 < $6 ? $2 : $6; r = $1 + $3 > $5 + $7 ? $1 + $3 : $5 + $7; b = $2 + $4 > $6 + $8 ? $2 + $4 : $6 + $8
    print r - l "x" b - t "+" l "+" t}')" +repage "$BUILD_ROOT/screenshot-find.png"
  check "screenshot of the find dialog over its found node taken" \
    "$(above "$(stat -c %s "$BUILD_ROOT/screenshot-find.png" 2>/dev/null)" 10000)" "more than 10000"
  driver find-dialog "LURVIK_HOLDER_" >/dev/null
  check "Find Next selects the next match without letter case" "$(selected selected)" "${MATCHES[0]}"
  driver keys dialog Enter
  check "Enter in the dialog finds the next match" "$(selected selected)" "${MATCHES[1]}"
  driver keys dialog Escape
  check "Esc closes the dialog and the focus goes back to the tree, which ends the highlight" \
    "$(selected finddialog) $(selected focus) $(selected highlighted)." "0 SysTreeView32 ."

  driver keys F3
  check "F3 finds the next match" "$(selected selected)" "${MATCHES[2]}"
  driver keys shift+F3
  check "Shift+F3 finds the match before" "$(selected selected)" "${MATCHES[1]}"
  # Every process node (the holder's among them), copied by Ctrl+C, against its lines of the log.
  tail -n +5 "$WORK/lōg.bin" | awk 'BEGIN {RS = "\r\n"; ORS = "\r\n"} /^[0-9]/ {n++} {print > (dir "/process_" n ".txt")}' dir="$WORK"
  local copies=0 processes=$(ls "$WORK"/process_*.txt | wc -l)
  for ((i = 0; i < processes; i++)); do
    driver select "$i" && driver copy >/dev/null && driver clipboard "$(windows_path "$WORK/copy.txt")" &&
      cmp -s "$WORK/copy.txt" "$WORK/process_$((i + 1)).txt" && copies=$((copies + 1))
  done
  check "each of the $processes process nodes copies as its lines of the log" "$copies" "$processes"
  choose 201 && menu "$GERMAN" >/dev/null

  # 101 in German: the tree is emptied at once and refilled in German; so is the log.
  choose 101
  snapshot
  check "101 empties the tree at once" "$(below "$(field treeitems)" $((FIRST_ITEMS / 2)))" "fewer than $((FIRST_ITEMS / 2))"
  check "101 grays the scan commands" "$(menu "$GERMAN_SCANNING")" "$GERMAN_SCANNING"
  check "the German scan ends with Fertig!" "$(driver wait-status "Fertig!" 120000)" "Fertig!"
  check "the German menu is enabled again" "$(menu "$GERMAN")" "$GERMAN"
  driver tree "$(windows_path "$WORK/tree_german.txt")"
  check "the refilled tree holds each process once" "$(grep -cE "$PROCESSES" "$WORK/tree_german.txt")" 3
  saved_log "the German log: German banner, then exactly the tree" "LOG-Datei abspeichern" "$WORK/german_log.txt" \
    "  LOG-Datei von Lurvik  " "$WORK/tree_german.txt"
  for word in "Objektname: " $'Ge\xf6ffnet mit Zugriffsrechten: 0x'; do
    check "the German log has lines with \"$word\"" "$(above "$(LC_ALL=C grep -c "^      $word" "$WORK/german_log.txt")" 0)" "more than 0"
  done
  check "the saved file is opened with its application" "$(driver find german_log.txt 20000 && echo opened)" opened

  choose 202
  check "202 gives the English menu back, 202 checked" "$(menu "$ENGLISH")" "$ENGLISH"
  choose 102
  check "the English save dialog appears (and is cancelled)" "$(driver dialog "Save LOG File" - >"$WORK/dialog.txt"; head -c 8 "$WORK/dialog.txt")" filename
  choose 111
  check "111 ends the program with exit code 0" "$(exit_code 20)" 0

  # Unattended, the shipped program: its main window exists hidden with its controls, and its
  # tree, which nobody sees, stays empty up to the program's end (looked at every 0.1 s, also
  # in the second after the log is written).
  start lurvik64.exe "" "$(windows_path "$WORK/batch_log.bin")"
  driver find "Lurvik v." 30000 && snapshot
  check "unattended: the main window is hidden and has its tree" "$(field visible) $(field tree | cut -d, -f1-2)" "0 20,20"
  MOST=0
  for ((i = 0; i < 1200; i++)); do
    [ -f "$WORK/exit_code" ] && break
    snapshot && ITEMS=$(field treeitems) && [ "${ITEMS:-0}" -gt "$MOST" ] 2>/dev/null && MOST=$ITEMS
    sleep 0.1
  done
  check "unattended: the hidden tree holds no item at any time" "$MOST" 0
  check "unattended: the program ends by itself with exit code 0" "$(exit_code 120)" 0
  check "unattended: the log lists the processes" "$(above "$(grep -c '^[0-9]* / ' "$WORK/batch_log.bin")" 2)" "more than 2"

  # The README's picture: the shipped program's window after a scan of its own process, opened
  # to a few handles with their details, cut to the window.
  prepare_folder readme "$BUILD_DIR/lurvik64.exe"
  BUILD_DIR=$UNIX_DIR start lurvik64.exe lurvik64.exe
  driver find "Lurvik v." 30000 >/dev/null
  check "shipped program: the scan ends with Ready!" "$(driver wait-status "Ready! " 120000)" "Ready! "
  driver expand Directory Thread Mutant && sleep 1 && snapshot
  import -window root -crop "$(field outer | awk -F'[,x]' '{print $3 "x" $4 "+" $1 "+" $2}')" +repage "$BUILD_ROOT/screenshot.png"
  check "screenshot of the shipped program's window taken" "$(above "$(stat -c %s "$BUILD_ROOT/screenshot.png")" 10000)" "more than 10000"
  choose 111
  check "shipped program: 111 ends it with exit code 0" "$(exit_code 20)" 0

  # German locale and a long scan (a holder of 40,000 handles, some seconds of scan even pinned
  # to one CPU): German menu from the start, commands posted during the scan refused, and
  # closing the window ends the program at once.
  prepare_folder gui "$BUILD_DIR/handle_holder.exe" && start_holder 60 --extra 40000
  rm -f "$TRACE"
  LANG=de_DE.UTF-8 LURVIK_MENU_TRACE=$(windows_path "$TRACE") start lurvik64_test.exe
  driver find "Lurvik v." 30000
  check "German locale: the German menu from the start, 201 checked" "$(first_menu)" "$GERMAN_SCANNING"
  wait_items 50
  BEFORE=$(field treeitems)
  choose 101 && choose 202 && sleep 1 && snapshot
  check "the scan still runs" "$(field status | cut -c1-20)" "...lese Handles von "
  check "101 during the scan leaves the tree" "$(above "$(field treeitems)" $((BEFORE - 1)))" "more than $((BEFORE - 1))"
  check "202 during the scan changes nothing" "$(menu "$GERMAN_SCANNING" 0)" "$GERMAN_SCANNING"
  CLOSES="$(close_now) "
  # Again and again, at other moments of the scan: the end must never wait for the scan, its
  # probes or what the scan still uses.
  for round in 1 2 3 4 5; do
    start lurvik64.exe
    driver find "Lurvik v." 30000 >/dev/null
    wait_items $((round * 40))
    CLOSES+="$(close_now) "
  done
  check "closing during the scan six times: exit code 0 and under 5 s (ms) each" "$CLOSES" \
    "$(printf '...0/fewer than 5000 %.0s' 1 2 3 4 5 6)"
  end_part
}

part32() {
  # The shipped 32-bit program, interactive, under the emulated 32-bit loader, where each start
  # takes many seconds; the process filter keeps its tree to its own process.
  use_win32
  begin_part
  LANG=C.UTF-8 start lurvik.exe lurvik.exe
  check "32-bit: the main window appears" "$(driver find "Lurvik v." 300000 && echo found)" found
  check "32-bit: the scan ends with Ready!" "$(driver wait-status "Ready! " 600000)" "Ready! "
  driver tree "$(windows_path "$WORK/tree32.txt")"
  check "32-bit: the tree holds the program's own process" "$(grep -cE $'^[0-9]+ / lurvik\\.exe\r$' "$WORK/tree32.txt")" 1
  saved_log "32-bit: the log saved through the dialog is the banner and the tree" "Save LOG File" "$WORK/lōg32.bin" \
    "  LOG-File of Lurvik  " "$WORK/tree32.txt"
  # The find dialog's 32-bit record, and the copy of the one process node.
  driver keys ctrl+F && driver find-dialog "Name of Object" >/dev/null
  check "32-bit: Ctrl+F and Find Next select a named object's node" "$(driver selected | sed -n 's/^selected=//p' | cut -c1-16)" \
    "Name of Object: "
  driver keys dialog Escape && driver select 0 && driver copy >/dev/null && driver clipboard "$(windows_path "$WORK/copy32.txt")"
  check "32-bit: the process node copies as the tree's lines" "$(cmp "$WORK/copy32.txt" "$WORK/tree32.txt" 2>&1 && echo same)" same
  choose 111
  check "32-bit: 111 ends the program with exit code 0" "$(exit_code 120)" 0
  end_part
}

run_part "64-bit" part64
[ "${LURVIK_SKIP_WIN32:-0}" = 1 ] && echo "32-bit part left out (LURVIK_SKIP_WIN32=1)" && exit
run_part "32-bit" part32
