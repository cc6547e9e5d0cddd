#!/usr/bin/env bash
# Makes the Debian package and checks it as a user's system would take it: its files, its
# control data, lintian, the desktop entries and AppStream validators, the icon sizes, and the
# program it installs, started as its menu entry says, docking in a tray and rewriting a copy.
#
#   check_deb.sh CPACK BUILD_DIR DEB_NAME RUN_CASE
#
# RUN_CASE is tests/linux-e2e/run-case.sh.
set -u
if (($# != 4)); then
  echo "usage: $0 CPACK BUILD_DIR DEB_NAME RUN_CASE" >&2
  exit 2
fi
cpack=$1 build=$2 deb=$2/$3 run_case=$4
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

missing=()
for tool in dpkg-deb lintian desktop-file-validate appstreamcli identify; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]})); then
  echo "check_deb.sh: missing ${missing[*]} (scripts/deps installs them)" >&2
  exit 1
fi

rm -f "$deb"
# File names in the package are UTF-8 (the guide's): cpack needs a UTF-8 locale.
(cd "$build" && LC_ALL=C.UTF-8 "$cpack" --config CPackConfig.cmake >/dev/null) ||
  { echo "FAIL: cpack could not make the package" >&2; exit 1; }
[[ -f $deb ]] || { echo "FAIL: cpack made no $deb" >&2; exit 1; }
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"

work=$(mktemp -d "${TMPDIR:-/tmp}/tllink-deb.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT

# Exactly these files, nothing else.
expected=(
  ./etc/xdg/autostart/tllink.desktop
  ./usr/bin/tllink
  ./usr/share/applications/tllink.desktop
  ./usr/share/doc/tllink/changelog.gz
  ./usr/share/doc/tllink/copyright
  ./usr/share/doc/tllink/使用說明.html
  ./usr/share/man/man1/tllink.1.gz
  ./usr/share/metainfo/com.tidelock.tllink.metainfo.xml
)
for size in 16 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/tllink.png")
done
LC_ALL=C.UTF-8 dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | LC_ALL=C sort >"$work/files"
printf '%s\n' "${expected[@]}" | LC_ALL=C sort >"$work/expected"
diff -u "$work/expected" "$work/files" >&2 || fail "the package's files differ from the list above"

# Its libraries found by dpkg-shlibdeps, and the autostart entry kept as configuration.
[[ $(dpkg-deb -f "$deb" Depends) == *libqt6widgets6* ]] ||
  fail "Depends lacks the Qt libraries: $(dpkg-deb -f "$deb" Depends)"
dpkg-deb --ctrl-tarfile "$deb" | tar -xOf - ./conffiles 2>/dev/null |
  grep -qx /etc/xdg/autostart/tllink.desktop || fail "the autostart entry is no conffile"

lintian --fail-on error "$deb" 2>&1 | grep -v 'root privileges' >&2
((PIPESTATUS[0] == 0)) || fail "lintian reports errors"

tree=$work/tree
dpkg-deb -x "$deb" "$tree"
for entry in usr/share/applications/tllink.desktop etc/xdg/autostart/tllink.desktop; do
  desktop-file-validate "$tree/$entry" >&2 || fail "$entry does not validate"
done
appstreamcli validate --no-net "$tree/usr/share/metainfo/com.tidelock.tllink.metainfo.xml" >&2 ||
  fail "the AppStream metadata does not validate"
for size in 16 24 32 48 64 128 256; do
  png=$tree/usr/share/icons/hicolor/${size}x${size}/apps/tllink.png
  [[ $(identify -format '%wx%h' "$png" 2>/dev/null) == "${size}x${size}" ]] ||
    fail "the ${size}x${size} icon is $(identify -format '%wx%h' "$png" 2>&1)"
done

# The program the menu and autostart entries start.
for entry in etc/xdg/autostart/tllink.desktop usr/share/applications/tllink.desktop; do
  exec_line=$(sed -n 's/^Exec=//p' "$tree/$entry")
  program=$tree/usr/bin/${exec_line%% *}
  [[ -x $program ]] || fail "$entry starts '$exec_line', which the package does not hold in /usr/bin"
done
if [[ -x $program ]]; then
  bash "$run_case" "$program" IconDocksAndMatchingCopyIsRewritten ||
    fail "the packaged program did not dock and rewrite"
fi

if ((failures)); then
  echo "package: $failures failure(s)" >&2
  exit 1
fi
echo "package: passed"
