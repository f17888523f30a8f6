#!/usr/bin/env bash
# Builds what is missing, starts the bundled demo quote service on a free local port, writes
# demo/data.txt pointing at it and starts the window in demo/. The service stops when the window
# closes. With --windows: the Windows program w20fw20.exe instead, under wine in demo-windows/.
set -euo pipefail
cd "$(dirname "$0")"

windows=false
case "${1:-}" in
  "") ;;
  --windows) windows=true ;;
  *)
    echo "usage: ./run.sh [--windows]" >&2
    exit 2
    ;;
esac

tools/install-packages.sh cmake ninja-build g++ qt6-base-dev fonts-wine libgtest-dev libgmock-dev libbenchmark-dev \
  publicsuffix libssl-dev

if [[ ! -f build/build.ninja ]]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
if $windows; then
  cmake --build build --target demo-quote-server
  exe=$(tools/build-windows.sh | tee /dev/stderr | tail -n 1)
  if [[ $exe != *.exe ]]; then
    echo "run.sh: tools/build-windows.sh did not build the window program" >&2
    exit 1
  fi
  # Wine draws its windows on an X display.
  if [[ -z "${DISPLAY:-}" ]]; then
    echo "run.sh: there is no X display (DISPLAY is not set), and wine shows the window on one." >&2
    echo "run.sh: Run it on a desktop, or in a virtual one: xvfb-run ./run.sh --windows" >&2
    exit 1
  fi
else
  cmake --build build --target w20fw20 demo-quote-server
  if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "run.sh: there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set), and the tool is a" >&2
    echo "run.sh: desktop window. Run it on a desktop, or in a virtual one: xvfb-run ./run.sh" >&2
    exit 1
  fi
fi

coproc SERVICE { exec build/tools/demo-quote-server/demo-quote-server --port 0; }
service_pid=$SERVICE_PID
trap 'kill "$service_pid" 2>/dev/null || true; wait "$service_pid" 2>/dev/null || true' EXIT
if ! read -r -t 10 announcement <&"${SERVICE[0]}" || [[ $announcement != "listening on "* ]]; then
  echo "run.sh: the demo quote service did not start" >&2
  exit 1
fi
address=${announcement#listening on }
echo "run.sh: demo quote service at http://$address/quotes.php"

folder=demo
if $windows; then
  folder=demo-windows
fi
mkdir -p "$folder"
# Index WIG20 and its future FWIG20, as the demo service names them in its answers.
printf 'http://%s/quotes.php\r\nWIG20\r\nFWIG20\r\nFWIG20\r\nWIG20\r\nnormal\r\n\r\n' "$address" > "$folder/data.txt"
cd "$folder"
if $windows; then
  # The prefix that tools/build-windows.sh made, with Polish regional settings.
  env WINEPREFIX="$PWD/../build-windows/wine-prefix" WINEDEBUG=-all LANG=pl_PL.UTF-8 LC_ALL=pl_PL.UTF-8 /usr/lib/wine/wine64 "$exe"
else
  ../build/app/qt/w20fw20
fi
