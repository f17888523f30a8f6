#!/usr/bin/env bash
# Reads the window program's resources back from the file: the icon group with every size Windows
# uses, the manifest (visual styles, per-monitor scaling with its fallbacks, Windows 10 and 11, no
# UTF-8 code page: texts stay Windows-1250) and the version texts with the project's version.
# Arguments: the program, the project's version.
set -euo pipefail
program=$1 version=$2
fail() {
  echo "check-resources.sh: $program: $*" >&2
  exit 1
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

wrestool -x --type=14 --name=1 -o "$work/icon.ico" "$program" || fail "no icon group 1"
for size in 16 24 32 48 64 128 256; do
  icotool -l "$work/icon.ico" | grep -q -- "--width=$size --height=$size " || fail "the icon has no $size px image"
done

manifest=$(wrestool -x --raw --type=24 --name=1 "$program" | tr -s ' \r\n\t' ' ') || fail "no manifest"
for entry in 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' '>true/pm</dpiAware>' \
  '>PerMonitorV2, PerMonitor</dpiAwareness>' '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>'; do
  grep -qF -- "$entry" <<<"$manifest" || fail "the manifest lacks $entry"
done
if grep -q activeCodePage <<<"$manifest"; then
  fail "the manifest sets the active code page"
fi

# The version texts: each name followed by its value.
wrestool -x --raw --type=16 --name=1 "$program" | strings -el >"$work/version" || fail "no version information"
for pair in "ProductName=W20/FW20" "FileVersion=$version" "ProductVersion=$version" \
  "OriginalFilename=w20fw20.exe" "FileDescription=W20/FW20 intraday quotes for charting programs" \
  "LegalCopyright=Copyright (C) 2026 VOR"; do
  awk -v name="${pair%%=*}" -v value="${pair#*=}" 'previous == name && $0 == value { found = 1 } { previous = $0 }
    END { exit !found }' "$work/version" || fail "the version information lacks $pair"
done
echo "$program: icon, manifest and version $version"
