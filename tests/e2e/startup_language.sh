#!/usr/bin/env bash
# The interface language follows the user's locale from the first moment: under Wine, LANG
# sets the locale that GetLocaleInfoA reports. Checked twice: in-process, by the start-up
# test of the Windows test program (CurrentLanguage after the start-up steps), and through
# the real program, whose unattended log opens with the banner in the chosen language.
source "$(dirname "$0")/e2e_lib.bash"
trap finish EXIT

in_process() {  # in_process LOCALE LANGUAGE: gtest's summary lines of the start-up test
  LANG=$1 LC_ALL=$1 LURVIK_EXPECT_LANGUAGE=$2 timeout 120 "$WINE" "$BUILD_DIR/lurvik_windows_tests.exe" \
    --gtest_filter=ShellStartup.LanguageFollowsTheUserLocale 2>&1 | grep -oE '^\[ +(PASSED|SKIPPED|FAILED) +\] [0-9]+ tests?'
}
banner_of_run() {  # banner_of_run LOCALE: the second line of the unattended log
  rm -f "$WORK/log.txt"
  LANG=$1 LC_ALL=$1 timeout 300 "$WINE" "$BUILD_DIR/lurvik64.exe" lurvik64.exe "$(windows_path "$WORK/log.txt")" >/dev/null 2>&1
  sed -n 2p "$WORK/log.txt" 2>/dev/null | tr -d '\r'
}

for case in de_DE.UTF-8:1 de_AT.UTF-8:1 fr_FR.UTF-8:0 en_US.UTF-8:0; do
  check "start-up language under ${case%:*} is ${case#*:}" "$(in_process "${case%:*}" "${case#*:}")" "[  PASSED  ] 1 test"
done
check "German locale: German banner" "$(banner_of_run de_DE.UTF-8)" "*  LOG-Datei von Lurvik  *"
check "French locale: English banner" "$(banner_of_run fr_FR.UTF-8)" "*  LOG-File of Lurvik  *"
