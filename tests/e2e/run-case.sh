#!/usr/bin/env bash
# Runs the end-to-end driver under Wine in a private copy of the template prefix on a private
# X server, and takes both down afterwards, also on failure, timeout or interruption.
#
#   run-case.sh DRIVER.exe TLLINK.exe TEMPLATE_PREFIX [driver arguments, e.g. --gtest_filter=...]
#   run-case.sh --prepare TEMPLATE_PREFIX     only make the template prefix
#
# Environment: TLLINK_E2E_TIMEOUT (seconds for the driver, default 90);
# TLLINK_SCREENSHOT_DIR is passed on to the driver (screenshots.sh sets it).
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../scripts/wine-env
. "$here/../../scripts/wine-env"

if [[ ${1:-} == --prepare ]]; then
  tllink_prepare_prefix "$2"
  exit
fi
if (($# < 3)); then
  echo "usage: $0 DRIVER.exe TLLINK.exe TEMPLATE_PREFIX [driver arguments]" >&2
  exit 2
fi
driver=$1 exe=$2 template=$3
shift 3

missing=()
for tool in wine wineserver Xvfb xclip xdotool convert import flock timeout; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]})); then
  echo "run-case.sh: missing ${missing[*]} (scripts/deps installs them)" >&2
  exit 1
fi
for file in "$driver" "$exe"; do
  [[ -f $file ]] || { echo "run-case.sh: $file does not exist; build the windows preset" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tllink-e2e.XXXXXX") || exit 1
cleanup() {
  tllink_stop_wine
  tllink_stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

tllink_prepare_prefix "$template" || exit 1
tllink_copy_prefix "$template" "$work/prefix" || exit 1
export WINEPREFIX=$work/prefix
tllink_start_xvfb || exit 1
export TLLINK_EXE=$exe TLLINK_E2E_WORK=$work

limit=${TLLINK_E2E_TIMEOUT:-90}
timeout -k 5 "$limit" "$TLLINK_WINE_BIN" "$driver" "$@"
rc=$?
if ((rc == 124 || rc == 137)); then
  echo "run-case.sh: the driver did not finish within $limit s" >&2
fi
exit "$rc"
