#!/usr/bin/env bash
# Builds what is missing and starts the window in the demo working folder demo/.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-packages.sh cmake ninja-build g++ qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev

if [[ ! -f build/build.ninja ]]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build --target w20fw20

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); the window needs a desktop." >&2
  echo "run.sh: on a machine without one, try: xvfb-run ./run.sh" >&2
  exit 1
fi

mkdir -p demo
if [[ ! -f demo/data.txt ]]; then
  # No quote service runs yet: the address names a local port nothing listens on.
  printf 'http://127.0.0.1:9/quotes.php\r\nW20\r\nFW20\r\nFW20\r\nW20\r\nnormal\r\n\r\n' > demo/data.txt
fi
cd demo
exec ../build/app/w20fw20
