#!/usr/bin/env bash
# The Windows release as users get it: two packings (one from a copy of the program with another
# date) give the same zip and msi; the packed program has no time stamp, every icon size, its
# manifest and version texts; in a wine prefix of its own the msi installs, its shortcut runs a
# download in Documents\W20FW20, and uninstalling removes the program, not the user's files.
# Arguments: the demo service, wine, the window program w20fw20.exe, the project's version.
set -euo pipefail
service=$1 wine=$2 program=$3 version=$4
work=$(mktemp -d)
trap 'kill "${SERVICE_PID:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "check-release.sh: $*" >&2; exit 1; }

cp "$program" "$work/copy.exe" && touch -d '2001-02-03 04:05:06' "$work/copy.exe"
for copy in "$program" "$work/copy.exe"; do
  "$(dirname "$0")/../../../tools/package-windows.sh" --from "$copy" "$work/${copy##*/}.out" >/dev/null
done
diff -r "$work/${program##*/}.out" "$work/copy.exe.out" || fail "two packings differ"

packed=$work/w20fw20.exe
unzip -p "$work/copy.exe.out/w20fw20-$version-windows-x64.zip" "w20fw20-$version/w20fw20.exe" >"$packed"
grep -q 'Time/Date[[:space:]]*Thu Jan  1 00:00:00 1970' <<<"$(x86_64-w64-mingw32-objdump -p "$packed")" ||
  fail "the program carries a time stamp"
wrestool -x --type=14 --name=1 -o "$work/icon.ico" "$packed"
icons=$(icotool -l "$work/icon.ico" | grep -o -- '--width=[0-9]*' | paste -sd ' ')
[[ $icons == "--width=16 --width=24 --width=32 --width=48 --width=64 --width=128 --width=256" ]] || fail "icons: $icons"
# The manifest's entries; texts stay Windows-1250 (no UTF-8 code page).
manifest=$(wrestool -x --raw --type=24 --name=1 "$packed" | tr -s ' \r\n\t' ' ')
for entry in 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' '>true/pm</dpiAware>' \
  '>PerMonitorV2, PerMonitor</dpiAwareness>' '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>'; do
  grep -qF -- "$entry" <<<"$manifest" || fail "the manifest lacks $entry"
done
! grep -q activeCodePage <<<"$manifest" || fail "the manifest sets the code page"
texts=$(wrestool -x --raw --type=16 --name=1 "$packed" | strings -el | paste -sd '|')
for pair in "ProductName|W20/FW20" "FileVersion|$version" "ProductVersion|$version" "OriginalFilename|w20fw20.exe" \
  "FileDescription|W20/FW20 intraday quotes for charting programs" "LegalCopyright|Copyright (C) 2026 VOR"; do
  grep -qF "|$pair|" <<<"|$texts|" || fail "the version texts lack $pair"
done

# A home of its own: wine links the prefix's Documents to the home's.
export HOME=$work/home WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
mkdir "$HOME"
coproc SERVICE { exec "$service" --port 0; }
read -r -t 10 announcement <&"${SERVICE[0]}" || fail "the demo quote service did not start"
# shellcheck disable=SC2016 # the inner shell expands its own arguments
xvfb-run -a -s "-screen 0 800x600x24" bash -c '
  set -euo pipefail
  wine=$1 msi="Z:${2//\//\\}" address=$3 wineserver="$(dirname "$1")/wineserver"
  trap "\"$wineserver\" -k 2>/dev/null || true" EXIT
  fail() { echo "check-release.sh: $*" >&2; exit 1; }
  "$wine" wineboot -i >/dev/null 2>&1 && "$wineserver" -w
  "$wine" msiexec /i "$msi" /qn >/dev/null 2>&1 && "$wineserver" -w || fail "msiexec /i failed"
  user=$(cd "$WINEPREFIX/drive_c/users" && ls | grep -vx Public | head -n 1)
  home="$WINEPREFIX/drive_c/users/$user" menu="AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"
  installed="$home/AppData/Local/Programs/W20FW20/w20fw20.exe" folder="$home/Documents/W20FW20"
  link="$home/${menu//\\//}/W20FW20.lnk"
  [[ -f $installed && -d $folder && -f $link ]] || fail "no program, Documents\\W20FW20 or shortcut"
  "$wine" uninstaller --list 2>/dev/null | grep -q "|||W20/FW20" || fail "no uninstall entry"
  # A text of the link follows its length, which may show as a character.
  strings -el "$link" | grep -qi "^.\\?C:\\\\users\\\\$user\\\\Documents\\\\W20FW20\\\\\\?$" || fail "working folder"
  strings -a "$link" | grep -qix "C:\\\\users\\\\$user\\\\AppData\\\\Local\\\\Programs\\\\W20FW20\\\\w20fw20.exe" ||
    fail "the shortcut does not start the installed program"
  # Start lies at (6, 150) of the client area, which starts at (197, 107) of wine'\''s desktop.
  printf "http://%s/quotes.php\r\nWIG20\r\nFWIG20\r\nFWIG20\r\nWIG20\r\nnormal\r\n\r\n" "$address" >"$folder/data.txt"
  "$wine" explorer /desktop=W20,640x400 start "C:\\users\\$user\\$menu\\W20FW20.lnk" &
  for _ in $(seq 100); do
    [[ -s $folder/vor5.txt ]] && break
    sleep 0.3 && xdotool mousemove 223 273 click 1 2>/dev/null || true
  done
  [[ -s $folder/vor5.txt ]] || fail "the installed program wrote no export file into Documents\\W20FW20"
  "$wineserver" -k && "$wineserver" -w
  "$wine" msiexec /x "$msi" /qn >/dev/null 2>&1 && "$wineserver" -w || fail "msiexec /x failed"
  [[ ! -e $installed && ! -e $link ]] || fail "uninstalling left the program or its shortcut"
  [[ -s $folder/data.txt && -s $folder/vor5.txt ]] || fail "uninstalling removed the user'\''s files"
  echo "release: reproducible, resources, installs, runs from its shortcut, uninstalls"' \
  check-release "$wine" "$(echo "$work"/copy.exe.out/*.msi)" "${announcement#listening on }"
