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
for tool in wine wineserver Xvfb trayer xclip xdotool xprop convert import flock timeout; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]})); then
  echo "run-case.sh: missing ${missing[*]} (scripts/deps installs them)" >&2
  exit 1
fi
for file in "$driver" "$exe"; do
  [[ -f $file ]] || { echo "run-case.sh: $file does not exist; build the windows preset" >&2; exit 1; }
done

# Next to the template, whose copy is then made of hard links: /tmp may be another file system.
work=$(mktemp -d "$(dirname "$template")/case.XXXXXX") || exit 1
tray_pid=
cleanup() {
  tllink_stop_wine
  [[ -n $tray_pid ]] && kill "$tray_pid" 2>/dev/null && wait "$tray_pid" 2>/dev/null
  tllink_stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

tllink_prepare_prefix "$template" || exit 1
tllink_copy_prefix "$template" "$work/prefix" || exit 1
# A case named ...At<N>Dpi runs on a display at N dpi from the start of its Wine session.
for arg in "$@"; do
  if [[ $arg =~ ^--gtest_filter=.*At([0-9]+)Dpi$ ]]; then
    tllink_set_prefix_dpi "$work/prefix" "${BASH_REMATCH[1]}" || exit 1
  fi
done
export WINEPREFIX=$work/prefix
tllink_start_xvfb || exit 1
# An X11 tray for the icons where Wine shows them in nothing else (Wine 10). Wine 8 shows them in
# a window of its own, where they stay put; in an X11 tray it re-docks an icon now and then, and
# cases saw none for a moment. Up before the program, so that its icon goes straight into it.
# The tray is up once trayer's unmapped manager window has asked the server for the time, which
# it does to take the tray's selection.
wine_major=$("$TLLINK_WINE_BIN" --version 2>/dev/null | sed -nE 's/^wine-([0-9]+).*/\1/p')
if ((${wine_major:-0} >= 9)); then
  trayer --edge bottom --align right --widthtype request --height 24 --transparent false \
    --SetDockType true >/dev/null 2>&1 &
  tray_pid=$!
  tray_managed() {
    local window
    for window in $(xdotool search --name '^trayer$' 2>/dev/null); do
      xprop -id "$window" GDK_TIMESTAMP_PROP 2>/dev/null | grep -q ' = ' && return 0
    done
    return 1
  }
  for _ in $(seq 200); do
    tray_managed && break
    sleep 0.05
  done
  sleep 0.1
fi
export TLLINK_EXE=$exe TLLINK_E2E_WORK=$work

limit=${TLLINK_E2E_TIMEOUT:-90}
timeout -k 5 "$limit" "$TLLINK_WINE_BIN" "$driver" "$@"
rc=$?
if ((rc == 124 || rc == 137)); then
  echo "run-case.sh: the driver did not finish within $limit s" >&2
fi
exit "$rc"
