#!/usr/bin/env bash
# Runs the Windows window tests under wine on a virtual X display. Starts the demo quote service
# (a Linux program) on a free local port, lets the Linux build write the export files of the demo
# cycles into a reference folder, then runs the test program with both at hand.
# Arguments: the demo service, the Linux reference program, wine, the test program.
set -euo pipefail
service=$1 reference=$2 wine=$3 program=$4

for built in "$service" "$reference"; do
  if [[ ! -x $built ]]; then
    echo "run-window-tests.sh: $built is missing; build the Linux build first (./test.sh does)" >&2
    exit 1
  fi
done

work=$(mktemp -d)
coproc SERVICE { exec "$service" --port 0; }
service_pid=$SERVICE_PID
trap 'kill "$service_pid" 2>/dev/null || true; wait "$service_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
if ! read -r -t 10 announcement <&"${SERVICE[0]}" || [[ $announcement != "listening on "* ]]; then
  echo "run-window-tests.sh: the demo quote service did not start" >&2
  exit 1
fi
url="http://${announcement#listening on }/quotes.php"

mkdir "$work/linux"
(cd "$work/linux" && "$reference" "$url")

# Wine reaches the Linux file system through drive Z:.
export W20_DEMO_SERVICE=$url
export W20_REFERENCE_FILES="Z:${work//\//\\}\\linux"
# The first wine program of a server starts the desktop process on its display: the window tests
# need a server of their own, started under the virtual display and gone again before other wine
# programs start without one (CTest runs this test alone).
wineserver="$(dirname "$wine")/wineserver"
"$wineserver" -w
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '"$1" "$2" --gtest_brief=1; status=$?; "$3" -w; exit $status' \
  run-window-tests "$wine" "$program" "$wineserver"
