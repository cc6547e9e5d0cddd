#!/usr/bin/env bash
# End-to-end cases of the Linux build on a Wayland desktop without X11 (a headless sway), seen
# from outside as a user would: the clipboard through wl-copy and wl-paste, the windows through
# swaymsg, the settings file in the private home. run-wayland-case.sh sets up the session and
# the home and runs one case as the session's user: wayland-cases.sh CASE.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# The helpers of the X11 cases: rule, launch, waits, expectations.
# shellcheck source=cases.sh
. "$here/cases.sh"

# The clipboard as Wayland programs see it. wl-copy leaves a child that serves the copy until
# the next one replaces it.
copy_text() { printf '%s' "$1" | timeout 2 wl-copy >/dev/null 2>&1; }
paste_text() { timeout 2 wl-paste --no-newline 2>/dev/null; }

# A shown window of the program named $1, and a Wayland one (XWayland's are "xwayland"; the
# KWin session has no X server).
window_shown() {
  if [[ -n ${TLLINK_KWIN_BUS:-} ]]; then
    # KWin's window search, as KRunner asks it, answers with the captions it matched.
    timeout 2 dbus-send --bus="$TLLINK_KWIN_BUS" --print-reply --dest=org.kde.KWin \
      /WindowsRunner org.kde.krunner1.Match "string:$1" 2>/dev/null | grep -qF "string \"$1\""
    return
  fi
  timeout 2 swaymsg -t get_tree -r 2>/dev/null | python3 -c '
import json, sys
def windows(node):
    yield node
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        yield from windows(child)
sys.exit(not any(w.get("name") == sys.argv[1] and w.get("app_id") == "tllink" and
                 w.get("shell") == "xdg_shell" for w in windows(json.load(sys.stdin))))
' "$1"
}

# Starts the program as a user of this desktop would, and waits for its main window: there is
# no tray here, so it shows that window. The program's Wayland messages go to its log, which
# shows the data control it bound: ext whenever the compositor offers it.
launch_without_tray() {
  local want=zwlr
  WAYLAND_DEBUG=client launch
  wait_until window_shown "$MAIN_CAPTION" || fail "the main window is not shown"
  wait_until bound_data_control || fail "the program bound no ${want}_data_control_manager_v1"
  echo "bound ${want}_data_control_manager_v1"
}
bound_data_control() {
  local log=$TLLINK_E2E_WORK/tllink.log
  want=zwlr
  grep -qF '"ext_data_control_manager_v1"' "$log" && want=ext
  grep -qE "bind\([0-9]+, \"${want}_data_control_manager_v1\"" "$log"
}

# Starts an owner that makes `text` the selection, with the types given, and is silent for
# `silent_ms`; its stdout goes to `said`.
slow_owner() {
  local said=$1 text=$2 silent_ms=$3 linger_ms=$4
  shift 4
  "$TLLINK_SLOW_OWNER" "$text" "$silent_ms" "$linger_ms" "$@" >"$said" \
    2>>"$TLLINK_E2E_WORK/tllink.log" &
  helpers+=($!)
  WAIT=2 POLL=0.01 wait_until grep -q owner "$said" || fail "the owner of '$text' took no clipboard"
}

# ---- Cases ----

case_WaylandCopiedLinkIsRewritten() {
  [[ -z ${DISPLAY:-} ]] || fail "an X server is set: $DISPLAY"
  store_rule "$FIND" "$REPLACEMENT"
  launch_without_tray
  expect_rewritten "see ${FIND}report.pdf" "see ${REPLACEMENT}report.pdf"
  # Every occurrence at once, and text around it in several scripts kept exactly.
  expect_rewritten "報告 📄 ${FIND}a.zip café ${FIND}b.zip ✓" \
    "報告 📄 ${REPLACEMENT}a.zip café ${REPLACEMENT}b.zip ✓"
  # A browser's copy of a link: its HTML (the link in an href, "&" escaped) and its list of
  # links are rewritten with the text, and pasted as such.
  local said=$TLLINK_E2E_WORK/owner.out text="報告 ${FIND}a.zip?x=1&y=2"
  local html="<a href=\"${FIND}a.zip?x=1&amp;y=2\">報告 ${FIND}a.zip</a>"
  slow_owner "$said" "$text" 0 5000 "text/html=$html" "text/uri-list=${FIND}a.zip?x=1&y=2"
  pasted_as() { [[ $(timeout 2 wl-paste --no-newline --type "$1" 2>/dev/null; echo x) == "$2"x ]]; }
  WAIT=3 wait_until clipboard_is "${text//$FIND/$REPLACEMENT}" ||
    fail "the text was not rewritten: '$(paste_text)'"
  pasted_as text/html "${html//$FIND/$REPLACEMENT}" ||
    fail "the HTML is '$(timeout 2 wl-paste --no-newline --type text/html 2>&1)'"
  pasted_as text/uri-list "${REPLACEMENT}a.zip?x=1&y=2" ||
    fail "the list of links is '$(timeout 2 wl-paste --no-newline --type text/uri-list 2>&1)'"
  # Far larger than a pipe holds: read and served in pieces.
  local big=$TLLINK_E2E_WORK/big.txt want=$TLLINK_E2E_WORK/big-rewritten.txt
  { printf '%s' "${FIND}a "; head -c 5000000 /dev/zero | tr '\0' x; printf '%s' " ${FIND}b"; } >"$big"
  sed "s|$FIND|$REPLACEMENT|g" "$big" >"$want"
  timeout 5 wl-copy <"$big" >/dev/null 2>&1
  big_rewritten() { cmp -s "$want" <(timeout 5 wl-paste --no-newline 2>/dev/null); }
  WAIT=10 wait_until big_rewritten || fail "a 5 MB text was not rewritten exactly"
}

case_WaylandOtherTextImageAndMarkedContentStayByteIdentical() {
  store_rule "$FIND" "$REPLACEMENT"
  launch_without_tray
  local text="http://files.example.com/u/87654321/x HTTP://FILES.EXAMPLE.COM/U/12345678/x"
  copy_text "$text"
  wait_until clipboard_is "$text" || fail "'$text' was not copied"
  holds clipboard_is "$text" || fail "'$text' changed to '$(paste_text)'"
  # A link first: a program that rewrote stale text would write it over the image.
  expect_rewritten "${FIND}before" "${REPLACEMENT}before"
  local image=$TLLINK_E2E_WORK/image.png
  convert -size 16x12 gradient:red-blue "$image"
  timeout 2 wl-copy --type image/png <"$image" >/dev/null 2>&1
  image_unchanged() {
    cmp -s "$image" <(timeout 2 wl-paste --type image/png 2>/dev/null)
  }
  wait_until image_unchanged || fail "the image was not copied"
  HOLD=2 holds image_unchanged || fail "the image changed"
  [[ $(timeout 2 wl-paste --list-types) == image/png ]] ||
    fail "the image is offered as $(timeout 2 wl-paste --list-types | tr '\n' ' ')"
  # Offered by an owner that answers at once: a password manager's secret, files, and bytes
  # that are not UTF-8 (a rewrite would lose them).
  local said=$TLLINK_E2E_WORK/owner.out
  for offer in "see ${FIND}secret|x-kde-passwordManagerHint=secret" \
    "/home/u/${FIND}file|x-special/gnome-copied-files=copy" "see ${FIND}"$'\xff|'; do
    text=${offer%%|*}
    slow_owner "$said" "$text" 0 3000 ${offer#*|}
    holds clipboard_is "$text" || fail "'$text' changed to '$(paste_text)'"
  done
  # Still watching all along.
  expect_rewritten "${FIND}after" "${REPLACEMENT}after"
}

case_WaylandOwnRewriteIsNotRewrittenAgain() {
  # The replacement holds the find text: converting the program's own text again would add a
  # second "mirror/".
  local replacement=${FIND}mirror/
  store_rule "$FIND" "$replacement"
  launch_without_tray
  expect_rewritten "see ${FIND}a" "see ${replacement}a"
  HOLD=2 holds clipboard_is "see ${replacement}a" || fail "rewritten again: '$(paste_text)'"
  # Put back by another program, as a clipboard manager does: still the program's own text.
  copy_text "see ${replacement}a"
  wait_until clipboard_is "see ${replacement}a" || fail "the rewritten text was not copied again"
  HOLD=2 holds clipboard_is "see ${replacement}a" || fail "rewritten again: '$(paste_text)'"
  expect_rewritten "see ${FIND}b" "see ${replacement}b"
}

case_WaylandSlowOwnerHoldsUpNoNewerCopy() {
  [[ -x ${TLLINK_SLOW_OWNER:-} ]] || { fail "TLLINK_SLOW_OWNER names no program"; return; }
  store_rule "$FIND" "$REPLACEMENT"
  launch_without_tray
  local start ms taken said=$TLLINK_E2E_WORK/slow-owner.out
  start=$(now_us)
  copy_text "${FIND}answered"
  POLL=0.01 WAIT=1 wait_until clipboard_is "${REPLACEMENT}answered" || fail "no rewrite at all"
  echo "copy to rewritten, with owners that answer: $(ms_since "$start") ms"

  # Another program takes the clipboard, offering a link, and does not answer for 4 s.
  slow_owner "$said" "see ${FIND}stale" 4000 3000
  taken=$(now_us)
  newer_copy_wins "$taken" "$said"

  # Ending while an owner is silent ends the program at once.
  slow_owner "$said" "see ${FIND}stale" 4000 500
  sleep 0.05
  kill "$pid"
  WAIT=2 ends_with_success "$pid" "the program, while the clipboard's owner was silent,"
}

# ---- Run ----
run_case wayland-cases.sh "${1:?usage: wayland-cases.sh CASE}"
