#!/usr/bin/env bash
# Builds and runs the connection benchmarks and prints the figures: a 256 MiB body from a server
# we did not write (nginx, or python's http.server where nginx is missing) read by count and
# until close with ReadToStream against curl -s -o /dev/null, the peak memory beyond the body,
# and the line reads.
# Usage: bench/net/run.sh [build folder, default build] [repetitions, default 5]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
runs=${2:-5}

cmake --build "$build" --target connection_bench >/dev/null
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# The body reads run in a process of their own, so that the memory figures start clean.
for part in Body Line; do
  "$build/bench/net/connection_bench" --benchmark_filter="$part" --benchmark_repetitions="$runs" \
    --benchmark_out="$out/$part.json" --benchmark_out_format=json >/dev/null 2>&1
done

python3 - "$out" <<'PY'
import json, statistics, sys
runs = {}
for part in ("Body", "Line"):
    for b in json.load(open(f"{sys.argv[1]}/{part}.json"))["benchmarks"]:
        if b.get("run_type") == "iteration":
            name = b["run_name"].replace("/real_time", "").replace("/manual_time", "")
            runs.setdefault(name, []).append(b)
mib = 1024 * 1024
speed = lambda name: statistics.median(r["bytes_per_second"] for r in runs[name])
curl = speed("CurlBody")
print(f"median of {len(runs['CurlBody'])} runs, 256 MiB body")
print(f"curl -s -o /dev/null                     {curl / mib:6.0f} MiB/s")
labels = {"BodyByCount/32768": "by count, fresh stream",
          "BodyUntilClose/32768": "until close, fresh stream",
          "BodyByCountMapped/32768": "by count, mapped stream",
          "BodyByCountMapped/102400": "by count, mapped, 100 KiB"}
for name, label in labels.items():
    extra = max(r["extra_KiB"] for r in runs[name])
    print(f"ReadToStream {label:<27} {speed(name) / mib:6.0f} MiB/s  {speed(name) / curl:4.2f} x curl"
          f"  peak memory beyond the body {extra:.0f} KiB")
alone = speed("BodyIntoFreshStreamAlone")
print(f"storing 256 MiB in a fresh stream alone {alone / mib:6.0f} MiB/s  ({256 * mib / alone * 1000:.0f} ms, no network)")
for name, unit in (("ReadLines", "line"), ("LongLineByteByByte", "byte")):
    mine = [(run, rows) for run, rows in runs.items() if run.startswith(name + "/")]
    for run, rows in sorted(mine, key=lambda item: int(item[0].split("/")[1])):
        n = int(run.split("/")[1])
        t = statistics.median(r["real_time"] for r in rows)
        scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[rows[0]["time_unit"]]
        print(f"{run:<26} {t:10.3f} {rows[0]['time_unit']:<3} {t * scale / n:8.1f} ns per {unit}")
PY
