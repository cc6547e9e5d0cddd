#!/usr/bin/env bash
# End-to-end cases of the Linux build, seen from outside as a user would: X11 windows through
# xdotool and xwininfo, the clipboard through xclip, the settings file in the private home.
# run-case.sh sets up the X server and the home and runs one case: cases.sh CASE.
set -u
export LC_ALL=C.UTF-8

FIND=http://files.example.com/u/12345678/
REPLACEMENT=https://mirror.example.net/d/12345678/
MAIN_CAPTION='Tidelock 網址轉換器'
APP_TITLE='TideLock 網址轉換器'
SETTINGS=$XDG_CONFIG_HOME/tllink/tllink.ini
failures=0
programs=()
helpers=()  # other programs a case started, ended after it

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The time in microseconds.
now_us() { echo "${EPOCHREALTIME/./}"; }

# Polls `$@` every $POLL seconds (default 0.05) until it succeeds; false after $WAIT seconds
# (default 5).
wait_until() {
  local deadline=$(($(now_us) + ${WAIT:-5} * 1000000))
  until "$@"; do
    (($(now_us) < deadline)) || return 1
    sleep "${POLL:-0.05}"
  done
}

# Milliseconds since the time $1 (from now_us).
ms_since() { echo $((($(now_us) - $1) / 1000)); }

# True when `$@` keeps succeeding for $HOLD seconds (default 1).
holds() {
  local deadline=$(($(now_us) + ${HOLD:-1} * 1000000))
  while (($(now_us) < deadline)); do
    "$@" || return 1
    sleep 0.1
  done
  "$@"
}

store_rule() {
  mkdir -p "$(dirname "$SETTINGS")"
  printf '[slink]\ntemp1=%s\n\n[elink]\ntemp2=%s\n\n[sup]\nvl=1\n' "$1" "$2" >"$SETTINGS"
}

start_tray() {
  trayer --edge bottom --align right --widthtype request --height 24 --transparent false \
    --SetDockType true >/dev/null 2>&1 &
  wait_until panel >/dev/null || fail "the tray host did not start"
}

# Starts the program; its pid goes to $pid.
launch() {
  "$TLLINK" >>"$TLLINK_E2E_WORK/tllink.log" 2>&1 &
  pid=$!
  programs+=("$pid")
}

running() { kill -0 "$1" 2>/dev/null; }

# ends_with_success PID WHAT: the process ends by itself, with status 0.
ends_with_success() {
  local pid=$1 what=$2 status
  wait_until eval '! running "$pid"' || { fail "$what did not end"; return; }
  wait "$pid"
  status=$?
  ((status == 0)) || fail "$what ended with status $status"
}

# trayer's panel window. A search can fail while some window goes away: the caller tries again.
# (xwininfo without a window id would wait for a click, so an empty id never reaches it.)
panel() {
  local id
  id=$(xdotool search --name '^panel$' 2>/dev/null | head -n 1)
  [[ -n $id ]] && echo "$id"
}

# The tray icon windows that the program docked into trayer's panel.
docked_icons() {
  local id
  id=$(panel) || { echo 0; return 1; }
  xwininfo -tree -id "$id" | grep -c '"tllink"'
}
icon_docked() { [[ $(docked_icons) -ge 1 ]]; }

# Screen coordinates of the docked icon's centre.
icon_centre() {
  local id line
  # Retried: a search can fail while some other window goes away.
  for _ in 1 2 3 4 5; do
    id=$(panel) && line=$(xwininfo -tree -id "$id" | grep '"tllink"' | head -n 1) &&
      [[ -n $line ]] && break
    sleep 0.1
  done
  # "... 22x22+0+0  +1001+745": size, then absolute position.
  awk '{ split($(NF-1), g, /[x+]/); split($NF, a, "+"); print a[2] + int(g[1] / 2), a[3] + int(g[2] / 2) }' \
    <<<"$line"
}

# The tray menu of $pid: its shown window with room for five items (a one-line balloon is
# about 73 px tall, the tray icon 22 px).
menu_open() {
  local window
  for window in $(xdotool search --all --onlyvisible --pid "$pid" 2>/dev/null); do
    local height
    height=$(xwininfo -id "$window" 2>/dev/null | awk '/Height:/ { print $2 }')
    ((${height:-0} >= 90)) && return 0
  done
  return 1
}

# The first shown top-level window of `pid` named exactly `name` (xdotool's own name match
# ignores case, and the main window's caption differs from the title only in case).
window_of() {
  local window
  for window in $(xdotool search --all --onlyvisible --pid "$1" 2>/dev/null); do
    if [[ $(xdotool getwindowname "$window" 2>/dev/null) == "$2" ]]; then
      echo "$window"
      return 0
    fi
  done
}
shown() { [[ -n $(window_of "$1" "$2") ]]; }

copy_text() { printf '%s' "$1" | timeout 2 xclip -selection clipboard -i >/dev/null 2>&1; }
paste_text() { timeout 2 xclip -selection clipboard -o 2>/dev/null; }
clipboard_is() { [[ $(paste_text; echo x) == "$1"x ]]; }

expect_rewritten() {
  copy_text "$1"
  WAIT=3 wait_until clipboard_is "$2" || fail "'$1' was not rewritten to '$2' (clipboard: '$(paste_text)')"
}

expect_unchanged() {
  copy_text "$1"
  sleep 0.1
  holds clipboard_is "$1" || fail "'$1' changed to '$(paste_text)'"
}

# Clicks at a spot of a window given in twips, scaled by the window's real width for
# `width_twips` (its client width), as the program lays it out at the screen's DPI.
click_twips() {
  local window=$1 width_twips=$2 x_twips=$3 y_twips=$4 X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove $((X + (x_twips * WIDTH + width_twips / 2) / width_twips)) \
    $((Y + (y_twips * WIDTH + width_twips / 2) / width_twips)) click 1
}

# Sends keys to a window after giving it the keyboard (there is no window manager).
keys_to() {
  local window=$1
  shift
  timeout 5 xdotool windowfocus --sync "$window" && sleep 0.1 && xdotool key --clearmodifiers "$@"
}

# Saves the screen area $2 (WxH+X+Y) as linux-$1 in $TLLINK_SCREENSHOT_DIR, when that is set.
screenshot() {
  [[ -n ${TLLINK_SCREENSHOT_DIR:-} ]] || return 0
  import -window root png:- | convert - -crop "$2" +repage "$TLLINK_SCREENSHOT_DIR/linux-$1"
}

# A window's area as WxH+X+Y.
area_of() {
  local X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo "${WIDTH}x${HEIGHT}+$X+$Y"
}

# A silent owner (its output in file $2) took the clipboard at $1 (now_us): the user's copy 0.5 s
# later is rewritten at once, and once the owner wakes and answers what it was asked, its text
# (no longer the copy) never comes back.
newer_copy_wins() {
  local taken=$1 said=$2 start ms
  while (($(ms_since "$taken") < 500)); do sleep 0.01; done
  start=$(now_us)
  copy_text "${FIND}fresh"
  POLL=0.01 WAIT=2 wait_until clipboard_is "${REPLACEMENT}fresh"
  ms=$(ms_since "$start")
  echo "copy to rewritten, an older owner silent: $ms ms"
  ((ms <= 1000)) || fail "the newer copy took $ms ms (clipboard: '$(paste_text)')"
  WAIT=6 wait_until grep -q awake "$said" || fail "the silent owner did not wake"
  HOLD=3 holds clipboard_is "${REPLACEMENT}fresh" || fail "the clipboard became '$(paste_text)'"
  expect_rewritten "${FIND}later" "${REPLACEMENT}later"
}

# ---- Cases ----

case_IconDocksAndMatchingCopyIsRewritten() {
  store_rule "$FIND" "$REPLACEMENT"
  start_tray
  launch
  wait_until icon_docked || fail "no tray icon docked"
  expect_rewritten "see ${FIND}report.pdf" "see ${REPLACEMENT}report.pdf"
  local x y
  read -r x y <<<"$(icon_centre)"
  sleep 0.3
  screenshot balloon.png 220x100+$((x - 208))+$((y - 88))
  # Every occurrence at once, and text around it in several scripts kept exactly.
  expect_rewritten "報告 📄 ${FIND}a.zip café ${FIND}b.zip ✓" \
    "報告 📄 ${REPLACEMENT}a.zip café ${REPLACEMENT}b.zip ✓"
  [[ $(docked_icons) -eq 1 ]] || fail "$(docked_icons) tray icons instead of 1"
  # Larger than one X request: the owner hands it over in pieces (INCR).
  local big=$TLLINK_E2E_WORK/big.txt want=$TLLINK_E2E_WORK/big-rewritten.txt
  { printf '%s' "${FIND}a "; head -c 5000000 /dev/zero | tr '\0' x; printf '%s' " ${FIND}b"; } >"$big"
  sed "s|$FIND|$REPLACEMENT|g" "$big" >"$want"
  # Read back only once the program took the clipboard over, which ends this xclip: a read of
  # ours meanwhile competes with the program's own, and xclip, which hands such a text to one
  # reader at a time, then left the program's unanswered (Debian 13, 2 of 4 copies).
  timeout 20 xclip -selection clipboard -quiet -i "$big" >/dev/null 2>&1 &
  local big_owner=$!
  helpers+=("$big_owner")
  WAIT=10 wait_until eval '! running "$big_owner"' || fail "the 5 MB text was not taken over"
  cmp -s "$want" <(timeout 5 xclip -selection clipboard -o 2>/dev/null) ||
    fail "a 5 MB text was not rewritten exactly"
}

case_OtherTextAndImageStayByteIdentical() {
  store_rule "$FIND" "$REPLACEMENT"
  start_tray
  launch
  wait_until icon_docked || fail "no tray icon docked"
  expect_unchanged "http://files.example.com/u/87654321/x HTTP://FILES.EXAMPLE.COM/U/12345678/x"
  # A link first: a program that rewrote stale text would write it over the image.
  expect_rewritten "${FIND}before" "${REPLACEMENT}before"
  local image=$TLLINK_E2E_WORK/image.png
  convert -size 16x12 gradient:red-blue "$image"
  timeout 2 xclip -selection clipboard -t image/png -i "$image" >/dev/null 2>&1
  image_unchanged() {
    cmp -s "$image" <(timeout 2 xclip -selection clipboard -t image/png -o 2>/dev/null)
  }
  HOLD=2 holds image_unchanged || fail "the image changed"
  timeout 2 xclip -selection clipboard -t TARGETS -o | grep -q UTF8_STRING &&
    fail "text was added to the image"
  # Offered by an owner that answers at once: a password manager's secret, files, and bytes
  # that are not UTF-8 (a rewrite would lose them).
  [[ -x ${TLLINK_SILENT_OWNER:-} ]] || fail "TLLINK_SILENT_OWNER names no program"
  local text said=$TLLINK_E2E_WORK/owner.out
  for offer in "see ${FIND}secret|x-kde-passwordManagerHint=secret" \
    "/home/u/${FIND}file|x-special/gnome-copied-files=copy" "see ${FIND}"$'\xff|'; do
    text=${offer%%|*}
    "$TLLINK_SILENT_OWNER" "$text" 0 3000 ${offer#*|} >"$said" 2>>"$TLLINK_E2E_WORK/tllink.log" &
    helpers+=($!)
    WAIT=2 wait_until grep -q owner "$said" || fail "the owner of '$text' took no clipboard"
    holds clipboard_is "$text" || fail "'$text' changed to '$(paste_text)'"
  done
  # Still polling all along.
  expect_rewritten "${FIND}after" "${REPLACEMENT}after"
}

case_TrayMenuStopEndsRewritingAndStartResumesIt() {
  store_rule "$FIND" "$REPLACEMENT"
  start_tray
  launch
  wait_until icon_docked || fail "no tray icon docked"
  expect_rewritten "${FIND}1" "${REPLACEMENT}1"
  local x y
  read -r x y <<<"$(icon_centre)"

  xdotool mousemove "$x" "$y" click 3
  wait_until menu_open || fail "no menu after a right-click on the tray icon"
  sleep 0.2
  screenshot tray-menu.png 140x140+$((x - 120))+$((y - 128))
  # 啟動 is disabled while running: the first item Down reaches is 停止.
  xdotool key Down Return
  WAIT=2 wait_until eval '! menu_open' || fail "the menu stayed open"
  expect_unchanged "${FIND}2"

  xdotool mousemove "$x" "$y" click 3
  wait_until menu_open || fail "no menu after the second right-click"
  xdotool key Down Return
  # Started again, it converts what was copied meanwhile. A copy made while it writes that
  # would race it for the clipboard (on a loaded machine the X server may take either), as no
  # user's copy a few milliseconds after choosing 啟動 does.
  WAIT=3 wait_until clipboard_is "${REPLACEMENT}2" ||
    fail "the copy made while stopped is '$(paste_text)' after the start"
  expect_rewritten "${FIND}3" "${REPLACEMENT}3"
}

case_TrayMenuExitEndsTheProgramAndItsIcon() {
  store_rule "$FIND" "$REPLACEMENT"
  start_tray
  launch
  wait_until icon_docked || fail "no tray icon docked"
  local x y
  read -r x y <<<"$(icon_centre)"
  xdotool mousemove "$x" "$y" click 3
  wait_until menu_open || fail "no menu after a right-click on the tray icon"
  # 啟動 is disabled: Down reaches 停止, then 離開.
  xdotool key Down Down Return
  ends_with_success "$pid" "the program"
  WAIT=2 wait_until eval '[[ $(docked_icons) -eq 0 ]]' || fail "the tray icon stayed"
}

case_SecondLaunchSaysAlreadyRunningAndEnds() {
  store_rule "$FIND" "$REPLACEMENT"
  start_tray
  launch
  local first=$pid box
  wait_until icon_docked || fail "no tray icon docked"
  launch
  local second=$pid
  box_shown() { box=$(window_of "$second" "$APP_TITLE"); [[ -n $box ]]; }
  wait_until box_shown || fail "the second instance showed no message box"
  keys_to "$box" ctrl+c
  WAIT=2 wait_until clipboard_is "程式以正在運行中囉~" ||
    fail "the message is '$(paste_text)'"
  running "$second" || fail "the second instance ended before its message was dismissed"
  keys_to "$box" Return
  ends_with_success "$second" "the second instance"
  running "$first" || fail "the first instance ended"
  [[ $(docked_icons) -eq 1 ]] || fail "$(docked_icons) tray icons instead of 1"
  expect_rewritten "${FIND}still" "${REPLACEMENT}still"
}

case_FirstRunConfiguresAndTheSavedRuleRewrites() {
  start_tray
  launch
  local main dialog
  main_shown() { main=$(window_of "$pid" "$MAIN_CAPTION"); [[ -n $main ]]; }
  wait_until main_shown || fail "the configure-first window is not shown"
  sleep 0.2
  screenshot main-window-first-run.png "$(area_of "$main")"
  wait_until icon_docked || fail "no tray icon docked"
  expect_unchanged "${FIND}not-yet"

  click_twips "$main" 1920 967 1027  # 環境設定
  dialog_shown() { dialog=$(window_of "$pid" "環境設定"); [[ -n $dialog ]]; }
  wait_until dialog_shown || fail "the settings dialog did not open"
  WAIT=2 wait_until eval '! shown "$pid" "$MAIN_CAPTION"' || fail "the main window stayed shown"
  sleep 0.2
  screenshot settings-dialog-first-run.png "$(area_of "$dialog")"
  click_twips "$dialog" 4095 1387 307  # 原始網址
  xdotool key ctrl+a && xdotool type --delay 5 "$FIND"
  # Copied from the program's own window: rewritten like any copy once the rule runs.
  xdotool key ctrl+a ctrl+c
  click_twips "$dialog" 4095 1387 787  # 取代成
  xdotool key ctrl+a && xdotool type --delay 5 "$REPLACEMENT"
  click_twips "$dialog" 4095 3487 367  # 設定

  WAIT=2 wait_until eval '! shown "$pid" "環境設定"' || fail "the dialog stayed open"
  grep -qxF "temp1=$FIND" "$SETTINGS" && grep -qxF "temp2=$REPLACEMENT" "$SETTINGS" &&
    grep -qxF "vl=1" "$SETTINGS" || fail "settings file: $(cat "$SETTINGS" 2>&1)"
  WAIT=3 wait_until clipboard_is "$REPLACEMENT" ||
    fail "the text copied from the dialog is '$(paste_text)'"
  expect_rewritten "${FIND}now" "${REPLACEMENT}now"
}

case_WithoutTrayTheMainWindowIsShownAndSaysSo() {
  store_rule "$FIND" "$REPLACEMENT"
  launch
  local box
  box_shown() { box=$(window_of "$pid" "$APP_TITLE"); [[ -n $box ]]; }
  wait_until box_shown || fail "no message box without a tray"
  shown "$pid" "$MAIN_CAPTION" || fail "the main window is not shown"
  keys_to "$box" ctrl+c
  WAIT=2 wait_until eval 'paste_text | grep -q 系統匣' || fail "the message is '$(paste_text)'"
  keys_to "$box" Return
  expect_rewritten "${FIND}x" "${REPLACEMENT}x"
}

case_SilentOwnerHoldsUpNeitherANewerCopyNorTheWindows() {
  [[ -x ${TLLINK_SILENT_OWNER:-} ]] || { fail "TLLINK_SILENT_OWNER names no program"; return; }
  store_rule "$FIND" "$REPLACEMENT"
  start_tray
  launch
  wait_until icon_docked || fail "no tray icon docked"
  local start ms x y taken said=$TLLINK_E2E_WORK/silent-owner.out
  read -r x y <<<"$(icon_centre)"
  start=$(now_us)
  copy_text "${FIND}answered"
  POLL=0.01 WAIT=1 wait_until clipboard_is "${REPLACEMENT}answered" || fail "no rewrite at all"
  echo "copy to rewritten, with owners that answer: $(ms_since "$start") ms"

  # Another program takes the clipboard, offering a link, and stops answering for 4 s.
  "$TLLINK_SILENT_OWNER" "see ${FIND}stale" 4000 3000 >"$said" \
    2>>"$TLLINK_E2E_WORK/tllink.log" &
  helpers+=($!)
  WAIT=2 POLL=0.01 wait_until grep -q owner "$said" || fail "the silent owner took no clipboard"
  taken=$(now_us)
  sleep 0.05  # time for the program to ask it for its text
  start=$(now_us)
  xdotool mousemove "$x" "$y" click 3
  POLL=0.01 WAIT=2 wait_until menu_open || fail "no menu while the clipboard's owner is silent"
  ms=$(ms_since "$start")
  echo "tray menu open while the owner is silent: $ms ms"
  ((ms <= 500)) || fail "the menu took $ms ms to open"
  xdotool key Escape
  WAIT=2 wait_until eval '! menu_open' || fail "the menu stayed open"

  newer_copy_wins "$taken" "$said"

  # 離開 while an owner is silent ends the program at once.
  "$TLLINK_SILENT_OWNER" "see ${FIND}stale" 4000 500 >"$said" 2>>"$TLLINK_E2E_WORK/tllink.log" &
  helpers+=($!)
  WAIT=2 POLL=0.01 wait_until grep -q owner "$said" || fail "the silent owner took no clipboard"
  sleep 0.05
  xdotool mousemove "$x" "$y" click 3
  WAIT=1 wait_until menu_open || fail "no menu while the clipboard's owner is silent"
  xdotool key Down Down Return
  WAIT=2 ends_with_success "$pid" "the program, while the clipboard's owner was silent,"
}

case_RichCopyIsRewrittenABalloonClickPutsItBackAndACopyAnewIsRewritten() {
  [[ -x ${TLLINK_SILENT_OWNER:-} ]] || { fail "TLLINK_SILENT_OWNER names no program"; return; }
  store_rule "$FIND" "$REPLACEMENT"
  start_tray
  launch
  wait_until icon_docked || fail "no tray icon docked"
  # A browser's copy of a link: text, and HTML with the link in an href ("&" escaped).
  local text="報告 ${FIND}a.zip?x=1&y=2" said=$TLLINK_E2E_WORK/owner.out
  local html="<a href=\"${FIND}a.zip?x=1&amp;y=2\">報告 ${FIND}a.zip</a>"
  "$TLLINK_SILENT_OWNER" "$text" 0 10000 "text/html=$html" >"$said" \
    2>>"$TLLINK_E2E_WORK/tllink.log" &
  helpers+=($!)
  WAIT=2 wait_until grep -q owner "$said" || fail "the owner took no clipboard"
  html_is() { [[ $(timeout 2 xclip -selection clipboard -t text/html -o 2>/dev/null; echo x) == "$1"x ]]; }
  WAIT=3 wait_until clipboard_is "${text//$FIND/$REPLACEMENT}" ||
    fail "the text was not rewritten: '$(paste_text)'"
  html_is "${html//$FIND/$REPLACEMENT}" ||
    fail "the HTML is '$(timeout 2 xclip -selection clipboard -t text/html -o 2>&1)'"

  # The balloon is Qt's own window above the icon, one line high.
  local balloon=
  balloon_shown() {
    local window height
    for window in $(xdotool search --all --onlyvisible --pid "$pid" 2>/dev/null); do
      height=$(xwininfo -id "$window" 2>/dev/null | awk '/Height:/ { print $2 }')
      if ((${height:-0} > 30 && ${height:-0} < 90)); then balloon=$window; return 0; fi
    done
    return 1
  }
  WAIT=4 wait_until balloon_shown || fail "no balloon after the conversion"
  local X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$balloon")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
  WAIT=2 wait_until clipboard_is "$text" || fail "the text is not back: '$(paste_text)'"
  html_is "$html" || fail "the HTML is not back"
  HOLD=1 holds clipboard_is "$text" || fail "converted again: '$(paste_text)'"
  # What was put back stays; the same link copied anew, after another copy, is converted.
  expect_unchanged "no link"
  expect_rewritten "$text" "${text//$FIND/$REPLACEMENT}"
}

# ---- Run ----
# Runs case $2 of script $1, then ends what it started and reports.
run_case() {
  local script=$1 name=$2
  if ! declare -F "case_$name" >/dev/null; then
    echo "$script: no case $name" >&2
    exit 2
  fi
  "case_$name"
  for helper in "${helpers[@]}"; do kill "$helper" 2>/dev/null; done
  for program in "${programs[@]}"; do
    if running "$program"; then
      kill "$program" 2>/dev/null
      # A program that ignores SIGTERM fails the case instead of hanging it.
      WAIT=5 wait_until eval '! running "$program"' || { fail "tllink did not end on SIGTERM"; kill -9 "$program"; }
    fi
  done
  if ((failures)); then
    echo "--- tllink output:" >&2
    cat "$TLLINK_E2E_WORK/tllink.log" >&2 2>/dev/null
    echo "$name: $failures failure(s)" >&2
    exit 1
  fi
  echo "$name: passed"
}

[[ ${BASH_SOURCE[0]} == "$0" ]] || return 0  # sourced for its helpers (wayland-cases.sh)
run_case cases.sh "${1:?usage: cases.sh CASE}"
