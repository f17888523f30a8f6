#!/usr/bin/env bash
# Takes docs/window-windows-after-cycle.png: the Windows program under wine on a virtual X display
# (wine's own desktop, which draws the window's frame), after one cycle against the demo quote
# service started with the Start button. Installs what it uses, builds what is missing.
# With a number of dots per inch (120, 144, 192) the screen of the prefix has that scale for the
# picture, docs/window-windows-DPIdpi.png, and 96 again afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-packages.sh cmake ninja-build g++ qt6-base-dev fonts-wine libgtest-dev libgmock-dev libbenchmark-dev \
  publicsuffix xvfb xauth xdotool imagemagick

if [[ ! -f build/build.ninja ]]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build --target demo-quote-server
exe=$(tools/build-windows.sh | tail -n 1)

# Inside xvfb-run from here on.
if [[ -z "${W20_SCREENSHOT_DISPLAY:-}" ]]; then
  exec env W20_SCREENSHOT_DISPLAY=1 xvfb-run -a -s "-screen 0 1600x1200x24" "$0" "$@"
fi
dpi=${1:-96}
picture=docs/window-windows-after-cycle.png
if ((dpi != 96)); then
  picture=docs/window-windows-${dpi}dpi.png
fi
# A length of the 96-dpi design at the picture's scale.
at() { echo $((($1 * dpi + 48) / 96)); }

work=$(mktemp -d)
prefix="$PWD/build-windows/wine-prefix"
coproc SERVICE { exec build/tools/demo-quote-server/demo-quote-server --port 0; }
service_pid=$SERVICE_PID
wine_pid=
wine() { env WINEPREFIX="$prefix" WINEDEBUG=-all LANG=pl_PL.UTF-8 LC_ALL=pl_PL.UTF-8 /usr/lib/wine/wine64 "$@"; }
scale() { wine reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null; }
cleanup() {
  if [[ -n $wine_pid ]]; then
    kill "$wine_pid" 2>/dev/null || true
  fi
  scale 96
  env WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
  kill "$service_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
read -r -t 10 announcement <&"${SERVICE[0]}"
printf 'http://%s/quotes.php\r\nWIG20\r\nFWIG20\r\nFWIG20\r\nWIG20\r\nnormal\r\n\r\n' \
  "${announcement#listening on }" > "$work/data.txt"

scale "$dpi"
(cd "$work" && wine explorer /desktop=W20,"$(at 640)x$(at 400)" "$exe") &
wine_pid=$!

# The window's client area starts at (197, 107) of wine's desktop, which covers the screen from
# its top left corner; Start is at (6, 150) in it, 41 x 33 (all scaled).
for _ in $(seq 100); do
  [[ -f $work/vor5.txt ]] && break
  sleep 0.2
  xdotool mousemove "$(at $((197 + 26)))" "$(at $((107 + 166)))" click 1 2>/dev/null || true
  sleep 0.3
done
if [[ ! -s $work/vor5.txt ]]; then
  echo "windows-screenshot.sh: the cycle wrote no export file" >&2
  exit 1
fi
sleep 2
# The window with its frame (3 pixels at the sides and below, 21 above the client area at 96 dpi),
# the mouse moved away.
xdotool mousemove "$(at 630)" "$(at 390)"
sleep 0.5
frame=$(((21 * dpi + 95) / 96))
import -window root -crop "$(($(at 440) + 6))x$(($(at 233) + frame + 3))+$(($(at 197) - 3))+$(($(at 107) - frame))" \
  +repage "$picture"
echo "$picture"
