#!/usr/bin/env bash
# Builds and runs the HTTP client benchmarks against nginx on 127.0.0.1, plain and over TLS 1.3,
# and prints the figures:
# - Get of a 64 MiB body by Content-Length, chunked and up to the close (over TLS by length and
#   chunked, by the tool's client), against curl -s -o /dev/null and against libcurl receiving into
#   a string reserved by the Content-Length, the three taking turns; peak memory of the call over
#   the body size. Over TLS all three must have negotiated the same version and cipher.
# - 10,000 Get calls of a 200-byte file over one kept-alive connection, plain and over TLS, against
#   curl given all the URLs in one command line, with our cost per request also shown without the
#   reuse check's wait, and the connections (handshakes) made.
# - The two requests of a download cycle from a fresh client of the tool, plain and over TLS.
# libcurl is for this benchmark only; it is installed here when missing.
# Usage: bench/http/run.sh [build folder, default build] [repetitions, default 5]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
runs=${2:-5}

"$root/tools/install-packages.sh" libcurl4-openssl-dev
# A folder configured before libcurl was there has left the benchmark out.
targets=$(cmake --build "$build" --target help)
grep -qw http_bench <<<"$targets" || cmake "$build" >/dev/null
cmake --build "$build" --target http_bench >/dev/null
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Each part in a process of its own, so that the memory figures start clean.
for part in Body TlsBody Mapped Small QuoteCycle; do
  "$build/bench/http/http_bench" --benchmark_filter="^(Curl|Get)?$part" --benchmark_repetitions="$runs" \
    --benchmark_out="$out/$part.json" --benchmark_out_format=json >/dev/null 2>&1
done

python3 - "$out" <<'PY'
import json, re, statistics, sys
runs, labels = {}, {}
for part in ("Body", "TlsBody", "Mapped", "Small", "QuoteCycle"):
    for b in json.load(open(f"{sys.argv[1]}/{part}.json"))["benchmarks"]:
        if "error_message" in b:
            sys.exit(f"{b['run_name']}: {b['error_message']}")
        if b.get("run_type") == "iteration":
            name = re.sub(r"/(real_time|manual_time|iterations:\d+)", "", b["run_name"])
            runs.setdefault(name, []).append(b)
            labels[name] = b.get("label", "")
mib = 1024 * 1024
median = lambda name, key: statistics.median(r[key] for r in runs[name])
spread = lambda name, key: f"({min(r[key] for r in runs[name]):4.2f}-{max(r[key] for r in runs[name]):4.2f})"
ratio = lambda name, key: f"{median(name, key):4.2f} {spread(name, key)}"
print(f"{len(runs['Body/0'])} runs, 64 MiB body, nginx on 127.0.0.1; curl -o /dev/null, libcurl into a reserved")
print("string and Get taking turns; each ratio is the other's time over Get's within a run (above 1: Get")
print("is faster): the median, then the lowest and highest")
print(f"{'':<26}{'Get':>10}   {'x curl':<19}{'x libcurl':<19}peak memory")
rows = [("Body/0", "by Content-Length"), ("Body/1", "chunked"), ("Body/2", "until close"),
        ("TlsBody/0", "TLS, by Content-Length"), ("TlsBody/1", "TLS, chunked")]
for name, label in rows:
    peak = max(r["peak_ratio"] for r in runs[name])
    print(f"{label:<26}{median(name, 'bytes_per_second') / mib:5.0f} MiB/s   {ratio(name, 'curl_ratio'):<19}"
          f"{ratio(name, 'libcurl_ratio'):<19}{peak:4.2f} x body")
print(f"{'by length, into a stream already mapped':<40}{ratio('Mapped', 'curl_ratio')} x curl"
      f"   {ratio('Mapped', 'libcurl_ratio')} x libcurl")
print(f"over TLS all three negotiated: {labels['TlsBody/0']}")
print("(libcurl cannot reserve without a Content-Length: chunked and until close it grows its string)")

n = 10000
print(f"\n{n} GETs of 200 bytes, one kept-alive connection")
for kind in ("plain", "tls"):
    curl_ms = median(f"CurlSmall/{kind}", "real_time")
    startup = median(f"CurlSmall/{kind}", "startup_ms")
    ours_ms = median(f"GetSmall/{kind}", "real_time")
    poll_ms = median(f"GetSmall/{kind}", "poll_ms")
    connects = median(f"GetSmall/{kind}", "connects")
    print(f"{kind.upper() if kind == 'tls' else kind}:")
    print(f"  curl, all URLs in one command line   {n / (curl_ms / 1000):8.0f} /s   {(curl_ms - startup) / n:6.3f} ms per request"
          f" (start-up {startup:.1f} ms taken out)")
    print(f"  Get, one client                      {n / (ours_ms / 1000):8.0f} /s   {ours_ms / n:6.3f} ms per request,"
          f" {connects:.0f} connection(s)")
    print(f"  Get without the reuse check's wait               {(ours_ms - poll_ms) / n:6.3f} ms per request"
          f" (the wait: {poll_ms / n:.3f} ms per request)")

print("\nthe two requests of a download cycle (a few KB each) by a fresh client, median ms per cycle")
for arg, kind in ((0, "plain"), (1, "TLS, handshake included")):
    name = f"QuoteCycle/{arg}"
    print(f"  {kind:<26}{median(name, 'real_time'):7.2f} ms {spread(name, 'real_time')}, "
          f"{median(name, 'connects'):.0f} connection(s) per cycle")
PY
