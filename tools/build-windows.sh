#!/usr/bin/env bash
# Cross-builds the Windows programs into build-windows/ with mingw-w64 and prepares the wine prefix
# their tests run in (ctest --test-dir build-windows runs them; the window's tests run on a virtual
# X display and use the demo quote service of the Linux build in build/). Installs what is missing
# first. The last line printed is the path of the window program w20fw20.exe.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-packages.sh cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 fonts-wine googletest \
  xvfb xauth xdotool icoutils unzip wixl msitools faketime zip

build=build-windows

# Wine's windows take their texts from the Polish regional settings of the prefix.
tools/install-polish-locale.sh

cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DW20_WERROR=ON -DW20_BUILD_APP=ON -DW20_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"

# One prefix per build folder, made once: creating it takes a while.
prefix="$PWD/$build/wine-prefix"
if [[ ! -f "$prefix/system.reg" ]]; then
  echo "Creating the wine prefix $prefix ..."
  env WINEPREFIX="$prefix" WINEDEBUG=-all LANG=pl_PL.UTF-8 LC_ALL=pl_PL.UTF-8 /usr/lib/wine/wine64 wineboot --init 2>/dev/null
  env WINEPREFIX="$prefix" /usr/lib/wine/wineserver -w
  # Debian's wine does not find its own fonts by itself.
  cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
fi

echo "$PWD/$build/app/win32/w20fw20.exe"
