#!/usr/bin/env bash
# The Windows release as a user gets it. Packs the program twice (the second time from a copy with
# another file date) and wants the same zip and msi byte for byte and no time stamp in the program;
# then, in a wine prefix of its own on a virtual X display: installs the msi for the user alone,
# reads the Start menu shortcut (the program, Documents\W20FW20 as its working folder), starts the
# program through it and runs a cycle against the demo quote service, whose export files must
# appear in that folder, and uninstalls: the program goes, the folder stays with its files.
# Arguments: the demo service, wine, the window program w20fw20.exe.
set -euo pipefail
service=$1 wine=$2 program=$3
root=$(cd "$(dirname "$0")/../../.." && pwd)
wineserver="$(dirname "$wine")/wineserver"

work=$(mktemp -d)
pids=()
stop() {
  local pid
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  WINEPREFIX=$work/prefix "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap stop EXIT
fail() {
  echo "check-release.sh: $*" >&2
  exit 1
}

mkdir "$work/copy"
cp "$program" "$work/copy/w20fw20.exe"
touch -d '2001-02-03 04:05:06' "$work/copy/w20fw20.exe"
"$root/tools/package-windows.sh" --from "$program" "$work/first" >/dev/null
"$root/tools/package-windows.sh" --from "$work/copy/w20fw20.exe" "$work/second" >/dev/null
for file in "$work"/first/*; do
  cmp "$file" "$work/second/${file##*/}" || fail "two packings of the same program differ: ${file##*/}"
done
msi=$(echo "$work"/first/*.msi)
unzip -p "$work"/first/*.zip '*/w20fw20.exe' >"$work/packed.exe"
header=$(x86_64-w64-mingw32-objdump -p "$work/packed.exe")
grep -q '^Time/Date[[:space:]]*Thu Jan  1 00:00:00 1970' <<<"$header" || fail "the packed program carries a time stamp"

# A prefix of its own with a home of its own: wine links the user's Documents to the home's.
export HOME=$work/home WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
mkdir "$HOME"
coproc SERVICE { exec "$service" --port 0; }
pids+=("$SERVICE_PID")
read -r -t 10 announcement <&"${SERVICE[0]}" || fail "the demo quote service did not start"

# shellcheck disable=SC2016 # the inner shell expands its own arguments
xvfb-run -a -s "-screen 0 800x600x24" bash -c '
  set -euo pipefail
  wine=$1 wineserver=$2 msi=$3 address=$4
  fail() { echo "check-release.sh: $*" >&2; exit 1; }
  "$wine" wineboot -i >/dev/null 2>&1
  "$wineserver" -w
  "$wine" msiexec /i "Z:${msi//\//\\}" /qn >/dev/null 2>&1 || fail "msiexec /i failed"
  "$wineserver" -w
  user=$(cd "$WINEPREFIX/drive_c/users" && ls | grep -vx Public | head -n 1)
  home="$WINEPREFIX/drive_c/users/$user"
  installed="$home/AppData/Local/Programs/W20FW20/w20fw20.exe"
  folder="$home/Documents/W20FW20"
  link="$home/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/W20FW20.lnk"
  [[ -f $installed ]] || fail "the program is not in the user'\''s programs folder"
  [[ -d $folder ]] || fail "the installer made no Documents\\W20FW20"
  [[ -f $link ]] || fail "no Start menu shortcut"
  strings -el "$link" >"$WINEPREFIX/link.txt"
  # Each text of the link follows its length, which may show as a character.
  grep -qi "^.\\?C:\\\\users\\\\$user\\\\Documents\\\\W20FW20\\\\\\?$" "$WINEPREFIX/link.txt" ||
    fail "the shortcut does not work in Documents\\W20FW20: $(cat "$WINEPREFIX/link.txt")"
  grep -qi "AppData\\\\Local\\\\Programs\\\\W20FW20\\\\w20fw20.exe" <(strings -el "$link"; strings -a "$link") ||
    fail "the shortcut does not start the installed program"

  # Through the shortcut, on a wine desktop of known size: Start lies at (6, 150) of the window'\''s
  # client area, which starts at (197, 107).
  printf "http://%s/quotes.php\r\nWIG20\r\nFWIG20\r\nFWIG20\r\nWIG20\r\nnormal\r\n\r\n" "$address" >"$folder/data.txt"
  "$wine" explorer /desktop=W20,640x400 start "C:\\users\\$user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\W20FW20.lnk" &
  for _ in $(seq 100); do
    [[ -s $folder/vor5.txt ]] && break
    sleep 0.3
    xdotool mousemove $((197 + 26)) $((107 + 166)) click 1 2>/dev/null || true
  done
  [[ -s $folder/vor5.txt ]] || fail "the installed program wrote no export file into Documents\\W20FW20"
  "$wineserver" -k
  "$wineserver" -w || true

  "$wine" msiexec /x "Z:${msi//\//\\}" /qn >/dev/null 2>&1 || fail "msiexec /x failed"
  "$wineserver" -w
  [[ ! -e $installed && ! -e $link ]] || fail "uninstalling left the program or its shortcut"
  [[ -s $folder/data.txt && -s $folder/vor5.txt ]] || fail "uninstalling removed the user'\''s files"
  echo "release: reproducible, installs, runs from its shortcut in Documents\\W20FW20, uninstalls"' \
  check-release "$wine" "$wineserver" "$msi" "${announcement#listening on }"
