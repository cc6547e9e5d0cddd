#!/usr/bin/env bash
# Makes the documentation's screenshots under docs/ from the windows build, each on its own
# X server and prefix, the same way the end-to-end cases run:
#   docs/main-window-first-run.png  docs/settings-dialog-first-run.png (and -144dpi.png of both)
#   docs/settings-dialog-with-rule.png  docs/tray-menu.png  docs/balloon.png
#   docs/installer-options.png  docs/rich-paste.png
#
#   tests/e2e/screenshots.sh [BUILD_DIR]     (default build/windows; build it and, for the
#                                             installer, cpack --preset windows first)
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$repo/build/windows}" && pwd) || exit 1
driver=$build/tests/e2e/tllink_e2e_driver.exe
exe=$build/platform/win32/tllink.exe
template=$build/tests/e2e/wine-prefix-template
out=${TLLINK_SCREENSHOT_DIR:-$repo/docs}
setup=$(ls "$build"/tllink-*-win64-setup.exe 2>/dev/null | tail -n 1)
mkdir -p "$out"

status=0
for shot in MainWindowFirstRun SettingsDialogFirstRun MainWindowFirstRunAt144Dpi \
  SettingsDialogFirstRunAt144Dpi SettingsDialogWithRule TrayMenu Balloon \
  RichPaste InstallerOptions; do
  if ! TLLINK_SCREENSHOT_DIR=$out TLLINK_SETUP=$setup bash "$here/run-case.sh" "$driver" "$exe" "$template" \
    --gtest_filter="Screenshots.$shot" --gtest_brief=1; then
    echo "screenshots.sh: $shot failed" >&2
    status=1
  fi
done
ls -l "$out"/*.png
exit "$status"
