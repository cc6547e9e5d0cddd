#!/usr/bin/env bash
# Runs one end-to-end case of the Linux build on a private X server with a private home, and
# takes everything down afterwards, also on failure, timeout or interruption.
#
#   run-case.sh TLLINK CASE
#
# Environment: TLLINK_E2E_TIMEOUT (seconds for the case, default 60); TLLINK_E2E_TRACE=1 traces
# every step of the case; TLLINK_SCREENSHOT_DIR,
# when set, receives screenshots (screenshots.sh sets it).
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# The X server helpers are shared with the Windows end-to-end tests.
# shellcheck source=../../scripts/wine-env
. "$here/../../scripts/wine-env"

if (($# != 2)); then
  echo "usage: $0 TLLINK CASE" >&2
  exit 2
fi
export TLLINK=$1
case_name=$2

missing=()
for tool in Xvfb trayer xclip xdotool xwininfo convert import timeout; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]})); then
  echo "run-case.sh: missing ${missing[*]} (scripts/deps installs them)" >&2
  exit 1
fi
[[ -x $TLLINK ]] || { echo "run-case.sh: $TLLINK does not exist; build the linux preset" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tllink-linux-e2e.XXXXXX") || exit 1
case_pid=
cleanup() {
  [[ -n $case_pid ]] && kill -- "-$case_pid" 2>/dev/null
  # The X server's end takes its remaining clients (the program, trayer, xclip) with it.
  tllink_stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

# A home of its own: settings file, runtime folder (the single-instance lock) and no session
# bus, so the tray is the X11 one that trayer hosts.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=xcb TLLINK_E2E_WORK=$work
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
tllink_start_xvfb || exit 1

limit=${TLLINK_E2E_TIMEOUT:-60}
# In a process group of its own, so that everything the case started can be ended together.
setsid timeout -k 5 "$limit" bash ${TLLINK_E2E_TRACE:+-x} "$here/cases.sh" "$case_name" &
case_pid=$!
wait "$case_pid"
rc=$?
case_pid=
if ((rc == 124 || rc == 137)); then
  echo "run-case.sh: the case did not finish within $limit s" >&2
fi
exit "$rc"
