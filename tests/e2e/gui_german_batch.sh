#!/usr/bin/env bash
# Language and mode at start, end to end under Wine and Xvfb: a German locale gives the German
# menu from the first moment with 201 checked, German status and log words; the unattended
# mode keeps its main window hidden off screen, writes the log and ends by itself with code 0.
source "$(dirname "$0")/gui_lib.sh"
prepare_prefix

TRACE=$WORK/menu.txt
GERMAN_MENU_SCANNING='&Programm|101 &Handles neu auslesen gray|102 &LOG-Datei erzeugen gray|201 &deutsch gray checked|202 &english gray|111 &beenden'
GERMAN_MENU='&Programm|101 &Handles neu auslesen|102 &LOG-Datei erzeugen|201 &deutsch checked|202 &english|111 &beenden'
GERMAN_BANNER=$'**************************\r\n*  LOG-Datei von Lurvik  *\r\n**************************\r\n\r\n'

LANG=de_DE.UTF-8 LURVIK_MENU_TRACE=$(windows_path "$TRACE") start_program
driver find 30000
check "German locale: German menu from the start, 201 checked" \
  same "$(first_menu "$TRACE")" "$GERMAN_MENU_SCANNING"
check "German scan ends with Fertig!" driver status-is "Fertig!" 120000
check "German menu enabled after the scan" wait_menu "$TRACE" "$GERMAN_MENU" 10
driver tree "$(windows_path "$WORK/tree.txt")"
check "tree shows the German access label (Windows-1252)" grep -q $'Ge\xf6ffnet mit Zugriffsrechten: 0x' "$WORK/tree.txt"
check "handle and id labels stay English" grep -q '^    Handle: ' "$WORK/tree.txt"
LOG=$WORK/german_log.bin
DIALOG_TITLE="LOG-Datei abspeichern"
check "German save dialog saves the log" save_log_to "$LOG"
{ printf '%s' "$GERMAN_BANNER"; cat "$WORK/tree.txt"; } >"$WORK/expected_log.txt"
check "German log: German banner, then exactly the tree" cmp "$LOG" "$WORK/expected_log.txt"
driver close
check "closing the window ends with exit code 0" same "$(wait_program 20)" 0

# Unattended run: parameters "" and a log path.
BATCH_LOG=$WORK/batch_log.bin
LANG=en_US.UTF-8 start_program "" "$(windows_path "$BATCH_LOG")"
if driver find 20000; then
  check "unattended: the main window is hidden" same "$(info_field visible)" 0
  check "unattended: the main window has its controls" bash -c "[ \"\$(echo '$(info_field tree)' | cut -d, -f1-2)\" = 20,20 ]"
else
  check "unattended: the hidden main window exists" false
fi
import -window root "$WORK/unattended.png"
check "unattended: the program ends by itself with exit code 0" same "$(wait_program 120)" 0
printf '%s' "$ENGLISH_BANNER" >"$WORK/banner.txt"
check "unattended: the log starts with the banner" cmp -s <(head -c "$(stat -c %s "$WORK/banner.txt")" "$BATCH_LOG") "$WORK/banner.txt"
check "unattended: the log lists the program itself" grep -q '/ lurvik64.exe' "$BATCH_LOG"

finish
exit $?
