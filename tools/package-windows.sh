#!/usr/bin/env bash
# Makes the Windows release in dist/: w20fw20-VERSION-windows-x64.zip (the program, README.txt and
# CZYTAJ.txt) and w20fw20-VERSION-x64.msi (a per-user installation). The same sources give the
# same files byte for byte: every date in them is the last commit's (SOURCE_DATE_EPOCH), the
# program carries no time stamp and the package code is fixed per version.
# Usage: tools/package-windows.sh [--from PROGRAM] [OUTPUT-FOLDER]
#   --from PROGRAM  packs that w20fw20.exe instead of building it with tools/build-windows.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-packages.sh wixl msitools faketime zip binutils-mingw-w64-x86-64 python3 git

program=
if [[ ${1:-} == --from ]]; then
  program=$(realpath "$2")
  shift 2
fi
out=$(realpath -m "${1:-dist}")
if [[ -z $program ]]; then
  program=$(tools/build-windows.sh | tail -n 1)
fi

version=$(sed -n 's/^project(w20fw20 VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[[ -n $version ]] || { echo "package-windows.sh: no version in CMakeLists.txt" >&2; exit 1; }
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
# wixl and msibuild read the clock: both see it stopped at the last commit's time (-f; without it
# the clock runs on from there, and a packing that crosses a second writes another time).
fixed_time=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')
export TZ=UTC

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
name=w20fw20-$version
mkdir "$stage/$name"
# Without its debugging information. strip writes the time of SOURCE_DATE_EPOCH into the file:
# none, as the linker does.
SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip -o "$stage/$name/w20fw20.exe" "$program"
# Notepad shows UTF-8 with a byte order mark right on every Windows; lines end in CR LF.
for text in README.txt CZYTAJ.txt; do
  { printf '\xEF\xBB\xBF'; sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "app/win32/release/$text"; } \
    >"$stage/$name/$text"
done
touch -d "@$SOURCE_DATE_EPOCH" "$stage/$name" "$stage/$name"/*

mkdir -p "$out"
zip_file=$out/$name-windows-x64.zip
rm -f "$zip_file"
(cd "$stage" && zip -q -X "$zip_file" "$name/" "$name/w20fw20.exe" "$name/README.txt" "$name/CZYTAJ.txt")

# The product code follows the version (a new version is a new product); the package code
# follows the version and the packaged bytes.
guid() { python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.NAMESPACE_URL, sys.argv[1])).upper())' "$1"; }
product_code=$(guid "w20fw20/product/$version")
package_code=$(guid "w20fw20/package/$version/$(cat "$stage/$name"/* | sha256sum | cut -d' ' -f1)")
msi=$out/w20fw20-$version-x64.msi
rm -f "$msi"
# wixl takes only relative sources: it runs in the staging folder, the icon beside the files.
cp app/icon/w20fw20.ico app/win32/release/w20fw20.wxs "$stage/"
touch -d "@$SOURCE_DATE_EPOCH" "$stage/w20fw20.ico"
(cd "$stage" && faketime -f "$fixed_time" wixl -a x64 -o "$msi" -D Version="$version" -D ProductCode="$product_code" \
  -D Stage="$name" -D Icon=w20fw20.ico w20fw20.wxs)
faketime -f "$fixed_time" msibuild "$msi" -s "W20/FW20 $version" VOR 'x64;1033' "{$package_code}"
echo "$zip_file"
echo "$msi"
