#!/usr/bin/env bash
# Makes the Linux build's screenshots in docs/ (docs/linux-*.png) again, from the end-to-end
# cases that show each window:  tests/linux-e2e/screenshots.sh [build/linux/platform/qt/tllink]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
exe=${1:-$repo/build/linux/platform/qt/tllink}
export TLLINK_SCREENSHOT_DIR=$repo/docs
for case_name in FirstRunConfiguresAndTheSavedRuleRewrites IconDocksAndMatchingCopyIsRewritten \
  TrayMenuStopEndsRewritingAndStartResumesIt; do
  bash "$here/run-case.sh" "$exe" "$case_name"
done
ls -l "$TLLINK_SCREENSHOT_DIR"/linux-*.png
