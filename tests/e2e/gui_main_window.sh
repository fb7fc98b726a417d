#!/usr/bin/env bash
# The main window of an interactive run, end to end under Wine and Xvfb: title, geometry of
# the window and its controls, the menu gray during the first scan and usable after it, the
# tree filled with every process and equal to the saved log, resizing, the screenshot, and
# the end through command 111 with exit code 0.
source "$(dirname "$0")/gui_lib.sh"
prepare_prefix

TRACE=$WORK/menu.txt
ENGLISH_MENU='&Program|101 get &handles again|102 create &log file|201 &deutsch|202 &english checked|111 &close'
ENGLISH_MENU_SCANNING='&Program|101 get &handles again gray|102 create &log file gray|201 &deutsch gray|202 &english gray checked|111 &close'

LANG=en_US.UTF-8 LURVIK_MENU_TRACE=$(windows_path "$TRACE") start_program
check "main window appears" driver find 30000
check "title is Lurvik v. with the program version" same "$(info_field title)" "Lurvik v.2,0,1,387"
check "window is shown at the top-left corner" same "$(info_field outer)" "0,0"
check "menu starts with the scan commands gray" same "$(first_menu "$TRACE")" "$ENGLISH_MENU_SCANNING"

CYMENU=$(info_field cymenu)
CLIENT=$(info_field client)
check "inner size is 640 x 440 including the menu line" same "${CLIENT%x*}x$((${CLIENT#*x} + CYMENU))" "640x440"
check "tree sits at (20, 20) with 600 x 360" same "$(info_field tree)" "20,20,600x360"
check "progress bar fills the left part of the status bar" same "$(info_field progress | cut -d, -f1-2),$(info_field progress | cut -d, -f3 | cut -dx -f1)" "3,3,244"

check "scan ends with Ready! in the status bar" driver status-is "Ready! " 120000
check "menu commands are enabled after the scan" wait_menu "$TRACE" "$ENGLISH_MENU" 10
ITEMS=$(info_field treeitems)
check "tree holds the processes (items: $ITEMS)" test "${ITEMS:-0}" -gt 20

driver tree "$(windows_path "$WORK/tree.txt")"
check "every running process has a node in the tree" \
  bash -c "grep -q '/ lurvik64.exe' '$WORK/tree.txt' && grep -q '/ explorer.exe' '$WORK/tree.txt' && grep -q '/ services.exe' '$WORK/tree.txt'"

LOG=$WORK/saved_log.bin  # no associated application: nothing opens over the screenshot
check "command 102 saves the log" save_log_to "$LOG"
# (The filter's label "*.txt " is read in-process by the window layer's tests: another
# process gets it cut short under Wine.)
check "save dialog offers Lurvik_LOG.txt and one filter" \
  same "$(tr -d '\r' <"$WORK/dialog.txt" | grep -E '^(filename|filters)=' | tr '\n' ' ')" "filename=Lurvik_LOG.txt filters=1 "
{ printf '%s' "$ENGLISH_BANNER"; cat "$WORK/tree.txt"; } >"$WORK/expected_log.txt"
check "saved log is the banner followed by exactly the tree's content" cmp "$LOG" "$WORK/expected_log.txt"

# Resizing: the tree follows as |W - 40| x |H - 80| with H = client height + menu line.
for size in 800x500 300x120; do
  driver resize "${size%x*}" "${size#*x}"
  sleep 1
  CLIENT=$(info_field client)
  W=${CLIENT%x*}
  H=$((${CLIENT#*x} + CYMENU))
  TW=$((W - 40)); TW=${TW#-}
  TH=$((H - 80)); TH=${TH#-}
  check "resized to client $CLIENT: tree is at (20, 20) with $TW x $TH" same "$(info_field tree)" "20,20,${TW}x${TH}"
  STATUS_BAR=$(info_field statusbar)
  STATUS_BOTTOM=$(( $(echo "$STATUS_BAR" | cut -d, -f2) + $(echo "$STATUS_BAR" | cut -dx -f2) ))
  check "status bar follows the bottom edge and width" same "$STATUS_BOTTOM $(echo "$STATUS_BAR" | cut -d, -f3 | cut -dx -f1)" "${CLIENT#*x} $W"
  check "progress bar keeps its size" same "$(info_field progress)" "3,3,244x$(( $(echo "$STATUS_BAR" | cut -dx -f2) - 6 ))"
done

driver resize 640 $((440 - CYMENU))
sleep 1
driver expand
sleep 1
import -window root "$BUILD_DIR/../screenshot.png"
check "screenshot of the finished window taken" test -s "$BUILD_DIR/../screenshot.png"

driver command 111
check "command 111 ends the program with exit code 0" same "$(wait_program 20)" 0
finish
exit $?
