#!/usr/bin/env bash
# Builds and runs the HTTP client benchmarks against nginx on 127.0.0.1, next to curl on the same
# URLs, and prints the figures: Get of a 64 MiB body by Content-Length, chunked and up to the
# close (its time against curl -s -o /dev/null, the two taking turns; peak memory of the call
# over the body size), and
# 10,000 Get calls of a 200-byte file over one kept-alive connection against curl given all the
# URLs in one command line, with our cost per request also shown without the reuse check's wait.
# Usage: bench/http/run.sh [build folder, default build] [repetitions, default 5]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
runs=${2:-5}

cmake --build "$build" --target http_bench >/dev/null
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Each part in a process of its own, so that the memory figures start clean.
for part in Body Mapped Small; do
  "$build/bench/http/http_bench" --benchmark_filter="$part" --benchmark_repetitions="$runs" \
    --benchmark_out="$out/$part.json" --benchmark_out_format=json >/dev/null 2>&1
done

python3 - "$out" <<'PY'
import json, re, statistics, sys
runs = {}
for part in ("Body", "Mapped", "Small"):
    for b in json.load(open(f"{sys.argv[1]}/{part}.json"))["benchmarks"]:
        if b.get("run_type") == "iteration":
            name = re.sub(r"/(real_time|manual_time|iterations:\d+)", "", b["run_name"])
            runs.setdefault(name, []).append(b)
mib = 1024 * 1024
median = lambda name, key: statistics.median(r[key] for r in runs[name])
spread = lambda name, key: (min(r[key] for r in runs[name]), max(r[key] for r in runs[name]))
print(f"{len(runs['Body/0'])} runs, 64 MiB body, nginx on 127.0.0.1, curl and Get taking turns;")
print("the ratio is curl's time over Get's within each run: the median, then the lowest and highest")
for index, label in enumerate(("by Content-Length", "chunked", "until close")):
    name = f"Body/{index}"
    ours = median(name, "bytes_per_second")
    low, high = spread(name, "curl_ratio")
    peak = max(r["peak_ratio"] for r in runs[name])
    print(f"{label:<18} Get {ours / mib:6.0f} MiB/s  {median(name, 'curl_ratio'):4.2f} x curl ({low:4.2f}-{high:4.2f})"
          f"   peak memory {peak:4.2f} x body")
low, high = spread("Mapped", "curl_ratio")
print(f"{'by length, into a stream already mapped':<40} {median('Mapped', 'curl_ratio'):4.2f} x curl ({low:4.2f}-{high:4.2f})")

n = 10000
curl_ms = median("CurlSmall", "real_time")
startup = median("CurlSmall", "startup_ms")
ours_ms = median("GetSmall", "real_time")
poll_ms = median("GetSmall", "poll_ms")
connects = median("GetSmall", "connects")
print(f"{n} GETs of 200 bytes, one kept-alive connection")
print(f"curl, all URLs in one command line   {n / (curl_ms / 1000):8.0f} /s   {(curl_ms - startup) / n:6.3f} ms per request"
      f" (start-up {startup:.1f} ms taken out)")
print(f"Get, one client                      {n / (ours_ms / 1000):8.0f} /s   {ours_ms / n:6.3f} ms per request,"
      f" {connects:.0f} connection(s)")
print(f"Get without the reuse check's wait               {(ours_ms - poll_ms) / n:6.3f} ms per request"
      f" (the wait: {poll_ms / n:.3f} ms per request)")
PY
