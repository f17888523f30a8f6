#!/usr/bin/env bash
# Runs the Windows window tests under wine on a virtual X display. Starts the demo quote service
# (a Linux program) on a free local port and nginx in front of it over TLS, with a certificate for
# localhost from a test authority made for this run by the Linux build's tool, and plainly on [::1],
# and tinyproxy as the user's proxy; lets the Linux build write the export files of the demo
# cycles into a reference folder, then runs the test program with all of them at hand.
# Arguments: the demo service, the Linux reference program, the certificate tool, wine, the test
# program.
set -euo pipefail
service=$1 reference=$2 certificates=$3 wine=$4 program=$5
nginx=/usr/sbin/nginx
tinyproxy=/usr/bin/tinyproxy

for built in "$service" "$reference" "$certificates"; do
  if [[ ! -x $built ]]; then
    echo "run-window-tests.sh: $built is missing; build the Linux build first (./test.sh does)" >&2
    exit 1
  fi
done
if [[ ! -x $nginx ]]; then
  echo "run-window-tests.sh: $nginx is missing (install the Debian package nginx)" >&2
  exit 1
fi
if [[ ! -x $tinyproxy ]]; then
  echo "run-window-tests.sh: $tinyproxy is missing (install the Debian package tinyproxy)" >&2
  exit 1
fi

work=$(mktemp -d)
pids=()
stop() {
  local pid
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap stop EXIT
coproc SERVICE { exec "$service" --port 0; }
pids+=("$SERVICE_PID")
if ! read -r -t 10 announcement <&"${SERVICE[0]}" || [[ $announcement != "listening on "* ]]; then
  echo "run-window-tests.sh: the demo quote service did not start" >&2
  exit 1
fi
address=${announcement#listening on }
url="http://$address/quotes.php"

"$certificates" "$work" >/dev/null

# Starts a server on a free port of 127.0.0.1 and waits until it accepts. $2 is a function that
# writes the server's configuration for the port it is given and starts it in the background; the
# port is the server's to take, and should another program take it first, the server stops and
# the next port is tried. Sets started_port; the files after $2 are shown when it fails.
start_on_free_port() {
  local name=$1 launch=$2 candidate pid
  shift 2
  started_port=
  for _ in 1 2 3 4 5; do
    candidate=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    "$launch" "$candidate"
    pid=$!
    pids+=("$pid")
    for _ in $(seq 100); do
      kill -0 "$pid" 2>/dev/null || break
      if (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
        started_port=$candidate
        return 0
      fi
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  echo "run-window-tests.sh: $name did not start:" >&2
  cat "$@" >&2 2>/dev/null || true
  exit 1
}

# One nginx process, no workers: as root, workers would run as an account that cannot enter the
# temporary folder.
site=$work/nginx
mkdir "$site"
launch_nginx() {
  cat >"$site/nginx.conf" <<EOF
daemon off;
master_process off;
error_log $site/error.log;
pid $site/nginx.pid;
events {}
http {
    access_log off;
    log_format scheme '\$scheme \$arg_s';
    client_body_temp_path $site/client_body;
    proxy_temp_path $site/proxy;
    fastcgi_temp_path $site/fastcgi;
    uwsgi_temp_path $site/uwsgi;
    scgi_temp_path $site/scgi;
    server {
        listen 127.0.0.1:$1 ssl;
        ssl_certificate $work/good.pem;
        ssl_certificate_key $work/good.key;
        location / { proxy_pass http://$address; }
        # The same service, sending each request on by path first: "Location: /...?s=1&...".
        location = /redirecting/quotes.php {
            absolute_redirect off;
            access_log $site/redirecting.log scheme;
            if (\$arg_s = "") { return 302 /redirecting/quotes.php?s=1&\$args; }
            rewrite ^ /quotes.php break;
            proxy_pass http://$address;
        }
    }
    # The same service at an IPv6 address, plain.
    server {
        listen [::1]:$1;
        location / { proxy_pass http://$address; }
    }
}
EOF
  "$nginx" -p "$site/" -c "$site/nginx.conf" -e "$site/error.log" >"$site/output.log" 2>&1 &
}
start_on_free_port nginx launch_nginx "$site/output.log" "$site/error.log"
port=$started_port

# tinyproxy as the user's office proxy, tunnelling only to nginx's port.
office=$work/tinyproxy
mkdir "$office"
launch_tinyproxy() {
  cat >"$office/tinyproxy.conf" <<EOF
Port $1
Listen 127.0.0.1
Allow 127.0.0.1
Timeout 30
MaxClients 20
DisableViaHeader Yes
LogLevel Info
LogFile "$office/tinyproxy.log"
PidFile "$office/tinyproxy.pid"
ConnectPort $port
EOF
  "$tinyproxy" -d -c "$office/tinyproxy.conf" >"$office/output.log" 2>&1 &
}
start_on_free_port tinyproxy launch_tinyproxy "$office/output.log" "$office/tinyproxy.log"
proxy_port=$started_port

mkdir "$work/linux"
(cd "$work/linux" && "$reference" "$url")

# Wine reaches the Linux file system through drive Z:.
export W20_DEMO_SERVICE=$url
export W20_DEMO_SERVICE_TLS="https://localhost:$port/quotes.php"
export W20_DEMO_SERVICE_IPV6="http://[::1]:$port/quotes.php"
export W20_DEMO_SERVICE_TLS_REDIRECTING="https://localhost:$port/redirecting/quotes.php"
export W20_DEMO_SERVICE_TLS_LOG="Z:${site//\//\\}\\redirecting.log"
export W20_TEST_AUTHORITY="Z:${work//\//\\}\\authority.pem"
export W20_REFERENCE_FILES="Z:${work//\//\\}\\linux"
export W20_TEST_PROXY="127.0.0.1:$proxy_port"
export W20_TEST_PROXY_LOG="Z:${office//\//\\}\\tinyproxy.log"
# The first wine program of a server starts the desktop process on its display: the window tests
# need a server of their own, started under the virtual display and gone again before other wine
# programs start without one (CTest runs this test alone).
wineserver="$(dirname "$wine")/wineserver"
"$wineserver" -w
# Every test at 100 %, then the window's layout tests again with the screen at 125, 150 and 200 %
# (the prefix's LogPixels, read when a program starts), and the prefix back at 100 % whatever
# happened.
# shellcheck disable=SC2016 # the inner shell expands its own arguments
xvfb-run -a -s "-screen 0 1600x1200x24" bash -c '
  wine=$1 program=$2 wineserver=$3 status=0
  scale() { "$wine" reg add "HKCU\Control Panel\Desktop" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null; }
  scale 96
  "$wine" "$program" --gtest_brief=1 || status=$?
  for dpi in 120 144 192; do
    scale "$dpi"
    W20_TEST_DPI=$dpi "$wine" "$program" --gtest_brief=1 \
      --gtest_filter="Form1Window.TheWindow*:Form1Window.Every*:Form1Window.AMonitor*" || status=$?
  done
  scale 96
  "$wineserver" -w
  exit $status' run-window-tests "$wine" "$program" "$wineserver"
