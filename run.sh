#!/usr/bin/env bash
# Builds what is missing, starts the bundled demo quote service on a free local port, writes
# demo/data.txt pointing at it and starts the window in demo/. The service stops when the window
# closes.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-packages.sh cmake ninja-build g++ qt6-base-dev fonts-wine libgtest-dev libgmock-dev libbenchmark-dev \
  publicsuffix

if [[ ! -f build/build.ninja ]]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build --target w20fw20 demo-quote-server

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run.sh: there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set), and the tool is a" >&2
  echo "run.sh: desktop window. Run it on a desktop, or in a virtual one: xvfb-run ./run.sh" >&2
  exit 1
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

mkdir -p demo
# Index WIG20 and its future FWIG20, as the demo service names them in its answers.
printf 'http://%s/quotes.php\r\nWIG20\r\nFWIG20\r\nFWIG20\r\nWIG20\r\nnormal\r\n\r\n' "$address" > demo/data.txt
cd demo
../build/app/qt/w20fw20
