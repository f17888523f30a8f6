#!/usr/bin/env bash
# Reads a 256 MiB body from a server we did not write (nginx on 127.0.0.1, or python's http.server
# where nginx is missing) with curl and with our connection, and prints the figures: throughput
# by count and until close against curl's, peak memory beyond the body, and the line benchmarks.
# Usage: bench/net/run.sh [build folder, default build]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
size=$((256 * 1024 * 1024))
runs=5

cmake --build "$build" --target connection_bench >/dev/null

work=$(mktemp -d)
server=""
cleanup() {
  if [[ -n $server ]]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/www"
head -c "$size" /dev/urandom >"$work/www/body.bin"
chmod -R a+rX "$work"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

if command -v nginx >/dev/null; then
  peer="nginx $(nginx -v 2>&1 | sed 's/.*\///')"
  cat >"$work/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $work/tmp-body;
  proxy_temp_path $work/tmp-proxy;
  fastcgi_temp_path $work/tmp-fastcgi;
  uwsgi_temp_path $work/tmp-uwsgi;
  scgi_temp_path $work/tmp-scgi;
  server { listen 127.0.0.1:$port; root $work/www; }
}
CONF
  nginx -c "$work/nginx.conf" -p "$work" &
else
  peer="python3 http.server"
  python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/www" >/dev/null 2>&1 &
fi
server=$!
url="http://127.0.0.1:$port/body.bin"
for _ in $(seq 50); do curl -s -o /dev/null -r 0-0 "$url" && break; sleep 0.1; done

echo "peer: $peer, body $size bytes, median of $runs runs"
curl_times=()
for _ in $(seq $runs); do curl_times+=("$(curl -s -o /dev/null -w '%{time_total}' "$url")"); done

# The body reads run in a process of their own, so that the memory figures start clean.
for part in Body Line; do
  W20_BENCH_PORT=$port W20_BENCH_PATH=/body.bin "$build/bench/net/connection_bench" --benchmark_filter=$part \
    --benchmark_repetitions=$runs --benchmark_out="$work/$part.json" --benchmark_out_format=json >/dev/null 2>&1
done

python3 - "$work" "$size" "${curl_times[@]}" <<'PY'
import json, statistics, sys
size = int(sys.argv[2])
curl = size / statistics.median(float(t) for t in sys.argv[3:])
runs = {}
for part in ("Body", "Line"):
    for b in json.load(open(f"{sys.argv[1]}/{part}.json"))["benchmarks"]:
        if b.get("run_type") == "iteration":
            runs.setdefault(b["run_name"].replace("/real_time", ""), []).append(b)
mib = 1024 * 1024
print(f"curl -s -o /dev/null                      {curl / mib:6.0f} MiB/s")
labels = {"BodyByCount/32768": "by count, fresh stream",
          "BodyUntilClose/32768": "until close, fresh stream",
          "BodyByCountReused/32768": "by count, mapped stream",
          "BodyByCountReused/102400": "by count, mapped, 100 KiB"}
for name, label in labels.items():
    rows = runs.get(name, [])
    if not rows:
        print(f"ReadToStream {label}: no result"); continue
    speed = statistics.median(r["bytes_per_second"] for r in rows)
    extra = max(r["extra_KiB"] for r in rows)
    print(f"ReadToStream {label:<27} {speed / mib:6.0f} MiB/s  {speed / curl:4.2f} x curl"
          f"  peak memory beyond the body {extra:.0f} KiB")
for name, unit in (("ReadLines", "line"), ("LongLineByteByByte", "byte")):
    mine = [(run, rows) for run, rows in runs.items() if run.startswith(name + "/")]
    for run, rows in sorted(mine, key=lambda item: int(item[0].split("/")[1])):
        n = int(run.split("/")[1])
        t = statistics.median(r["real_time"] for r in rows)
        scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[rows[0]["time_unit"]]
        print(f"{run:<26} {t:10.3f} {rows[0]['time_unit']:<3} {t * scale / n:8.1f} ns per {unit}")
PY
