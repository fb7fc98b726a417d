#!/usr/bin/env bash
# The menu commands of the main window, posted as the system posts them (WM_COMMAND from
# another process), end to end under Wine and Xvfb: 101 empties and refills the tree, 201/202
# switch the menu's language and its check mark, 102 replaces an existing file with exactly the
# log and opens it, commands posted during a scan are refused like their gray menu items, and
# closing the window during a scan ends the program at once with exit code 0.
source "$(dirname "$0")/gui_lib.sh"
prepare_prefix

TRACE=$WORK/menu.txt
ENGLISH_MENU='&Program|101 get &handles again|102 create &log file|201 &deutsch|202 &english checked|111 &close'
GERMAN_MENU='&Programm|101 &Handles neu auslesen|102 &LOG-Datei erzeugen|201 &deutsch checked|202 &english|111 &beenden'
ENGLISH_MENU_SCANNING='&Program|101 get &handles again gray|102 create &log file gray|201 &deutsch gray|202 &english gray checked|111 &close'

LANG=en_US.UTF-8 LURVIK_MENU_TRACE=$(windows_path "$TRACE") start_program
driver find 30000
check "first scan ends" driver status-is "Ready! " 120000
check "commands are enabled after the first scan" wait_menu "$TRACE" "$ENGLISH_MENU" 10
FIRST_ITEMS=$(info_field treeitems)

# 101: the tree is emptied at once and filled again.
driver command 101
AFTER_POST=$(info_field treeitems)
check "101 empties the tree at once ($FIRST_ITEMS items before, $AFTER_POST right after)" test "$AFTER_POST" -lt $((FIRST_ITEMS / 2))
check "101 grays the scan commands" wait_menu "$TRACE" "$ENGLISH_MENU_SCANNING" 10
check "the new scan ends" driver status-is "Ready! " 120000
check "commands are enabled again" wait_menu "$TRACE" "$ENGLISH_MENU" 10
SECOND_ITEMS=$(info_field treeitems)
check "the tree is filled again ($SECOND_ITEMS items)" test "$SECOND_ITEMS" -gt 20
driver tree "$(windows_path "$WORK/tree_english.txt")"
check "the refilled tree lists every process once per scan" \
  same "$(grep -c '/ lurvik64.exe' "$WORK/tree_english.txt")" 1

# 201 / 202: only the menu changes language.
driver command 201
check "201 gives the German menu with 201 checked" wait_menu "$TRACE" "$GERMAN_MENU" 10
check "the window title keeps its text" same "$(info_field title)" "Lurvik v.2,0,1,387"
check "the status text stays English until the next scan" same "$(info_field status)" "Ready! "
driver tree "$(windows_path "$WORK/tree_after_201.txt")"
check "the tree stays English until the next scan" cmp -s "$WORK/tree_english.txt" "$WORK/tree_after_201.txt"

# 102: replaces an existing longer file with exactly the log (the banner in the menu's
# language at scan time, then the tree's content) and opens it with its application.
LOG=$WORK/replaced_log.txt
head -c 300000 /dev/zero | tr '\0' 'x' >"$LOG"
DIALOG_TITLE="LOG-Datei abspeichern"
check "102 in German asks with the German dialog title and saves" save_log_to "$LOG"
sleep 1
{ printf '%s' "$ENGLISH_BANNER"; cat "$WORK/tree_after_201.txt"; } >"$WORK/expected_log.txt"
check "the existing file is replaced by exactly the log" cmp "$LOG" "$WORK/expected_log.txt"
check "the saved file is opened with its associated application" driver window-exists "replaced_log.txt" 20000
DIALOG_TITLE="Save LOG File"

driver command 202
check "202 gives the English menu back with 202 checked" wait_menu "$TRACE" "$ENGLISH_MENU" 10

# Cancelling the dialog writes nothing.
driver command 102
driver dialog "$DIALOG_TITLE" - 20000 >/dev/null
sleep 1
check "a cancelled dialog writes no file" test ! -e "$WORK/Lurvik_LOG.txt"

driver command 111
check "111 ends with exit code 0" same "$(wait_program 20)" 0

# A long scan (a holder of many handles): commands posted meanwhile are refused, and closing
# the window ends the program at once with exit code 0.
HOLDER_REPORT=$WORK/holder_report.txt
"$WINE" "$BUILD_DIR/handle_holder.exe" "$(windows_path "$HOLDER_REPORT")" --extra 6000 --seconds 300 &
HOLDER_PID=$!
for ((i = 0; i < 300; i++)); do [ -s "$HOLDER_REPORT" ] && break; sleep 0.1; done
rm -f "$TRACE"
LANG=en_US.UTF-8 LURVIK_MENU_TRACE=$(windows_path "$TRACE") start_program
driver find 30000
for ((i = 0; i < 300; i++)); do
  [ "$(info_field treeitems)" -gt 50 ] 2>/dev/null && break
  sleep 0.1
done
BEFORE=$(info_field treeitems)
driver command 101
driver command 201
sleep 1
AFTER=$(info_field treeitems)
STATUS=$(info_field status)
check "the scan is still running (status: $STATUS)" test "$STATUS" != "Ready! "
check "101 posted during a scan does not empty the tree ($BEFORE then $AFTER items)" test "$AFTER" -ge "$BEFORE"
check "201 posted during a scan changes nothing" same "$(menu_now "$TRACE")" "$ENGLISH_MENU_SCANNING"
START=$(date +%s%N)
driver close
CODE=$(wait_program 15)
ELAPSED_MS=$((($(date +%s%N) - START) / 1000000))
check "closing during the scan ends the program with exit code 0" same "$CODE" 0
check "closing during the scan ends it at once (${ELAPSED_MS} ms)" test "$ELAPSED_MS" -lt 5000
touch "$HOLDER_REPORT.stop"
wait "$HOLDER_PID" 2>/dev/null

finish
exit $?
