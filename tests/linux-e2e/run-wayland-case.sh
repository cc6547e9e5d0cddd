#!/usr/bin/env bash
# Runs one Wayland end-to-end case of the Linux build on a private headless sway (or KWin), with
# no X server at all and a private home, as the session's user (scripts/sway-env: as root, a
# user of its own), and takes everything down afterwards, also on failure, timeout or
# interruption.
#
#   run-wayland-case.sh TLLINK SLOW_OWNER CASE
#
# Environment: TLLINK_E2E_COMPOSITOR (sway, the default, or kwin); TLLINK_E2E_TIMEOUT (seconds
# for the case, default 60); TLLINK_E2E_TRACE=1 traces every step of the case.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../scripts/sway-env
. "$here/../../scripts/sway-env"

if (($# != 3)); then
  echo "usage: $0 TLLINK SLOW_OWNER CASE" >&2
  exit 2
fi
case_name=$3
compositor=${TLLINK_E2E_COMPOSITOR:-sway}
case $compositor in
  sway) compositor_tools=(sway swaymsg) ;;
  kwin) compositor_tools=(kwin_wayland dbus-daemon dbus-send) ;;
  *) echo "run-wayland-case.sh: no compositor $compositor (sway or kwin)" >&2; exit 2 ;;
esac

missing=()
for tool in "${compositor_tools[@]}" wl-copy wl-paste setpriv convert timeout; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]})); then
  echo "run-wayland-case.sh: missing ${missing[*]} (scripts/deps installs them)" >&2
  exit 1
fi
for program in "$1" "$2"; do
  [[ -x $program ]] || { echo "run-wayland-case.sh: $program does not exist; build the linux preset" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tllink-wayland-e2e.XXXXXX") || exit 1
case_pid=
cleanup() {
  [[ -n $case_pid ]] && kill -- "-$case_pid" 2>/dev/null
  tllink_stop_sway
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

chmod 755 "$work"
tllink_sway_prepare "$work" || exit 1
# The programs and the cases where the session's user can reach them: the build may be in a
# folder it cannot enter.
as_user=("${TLLINK_AS_SESSION_USER[@]}")
"${as_user[@]}" mkdir "$work/bin" "$work/home" || exit 1
for file in "$1" "$2" "$here/cases.sh" "$here/wayland-cases.sh"; do
  "${as_user[@]}" cp "$file" "$work/bin/" 2>/dev/null || { cp "$file" "$work/bin/" &&
    chown "$TLLINK_SWAY_USER:" "$work/bin/$(basename "$file")"; } || exit 1
done

# A home of its own (settings file, runtime folder with the single-instance lock), no session
# bus (so no tray), and a session as a Wayland login makes it.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_SESSION_TYPE=wayland TLLINK_E2E_WORK=$work/home
export TLLINK=$work/bin/$(basename "$1") TLLINK_SLOW_OWNER=$work/bin/$(basename "$2")
unset DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM
if [[ $compositor == kwin ]]; then
  tllink_start_kwin "$work" || exit 1
else
  tllink_start_sway "$work" || exit 1
fi

limit=${TLLINK_E2E_TIMEOUT:-60}
# In a process group of its own, so that everything the case started can be ended together.
setsid timeout -k 5 "$limit" "${as_user[@]}" bash ${TLLINK_E2E_TRACE:+-x} \
  "$work/bin/wayland-cases.sh" "$case_name" &
case_pid=$!
wait "$case_pid"
rc=$?
case_pid=
if ((rc == 124 || rc == 137)); then
  echo "run-wayland-case.sh: the case did not finish within $limit s" >&2
fi
exit "$rc"
