#!/usr/bin/env bash
# Runs the Windows TLS engine's tests under wine against Linux TLS servers on loopback. Makes the
# test certificates with the Linux build's tool (no key is ever kept) and starts openssl s_server
# once per certificate, plus one offering only TLS 1.0 and 1.1 and one that sends lines back
# reversed; hands the program their ports and the authority it trusts inside the tests' own wine
# prefix. The good server shows its good certificate only to a client that names localhost; the
# good-unnamed one refuses any other name, so that an address must go without one.
# Arguments: the certificate tool, wine, the test program.
set -euo pipefail
tool=$1 wine=$2 program=$3

if [[ ! -x $tool ]]; then
  echo "run-tls-engine-tests.sh: $tool is missing; build the Linux build first (./test.sh does)" >&2
  exit 1
fi

work=$(mktemp -d)
pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
      rm -rf "$work"' EXIT
"$tool" "$work" >/dev/null

servers=
# Arguments: the server's name, its certificate, more s_server options.
start() {
  local name=$1 certificate=$2 port=
  shift 2
  # Made here, so that the wait below never looks before the server's shell has made it.
  : >"$work/$name.log"
  openssl s_server -accept 127.0.0.1:0 -cert "$work/$certificate.pem" -key "$work/$certificate.key" "$@" \
    </dev/null >"$work/$name.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    port=$(sed -n 's/^ACCEPT .*:\([0-9]*\)$/\1/p' "$work/$name.log")
    [[ -n $port ]] && break
    sleep 0.1
  done
  if [[ -z $port ]]; then
    echo "run-tls-engine-tests.sh: the $name server did not start:" >&2
    cat "$work/$name.log" >&2
    exit 1
  fi
  servers+="$name=$port "
}
good=(-servername localhost -cert2 "$work/good.pem" -key2 "$work/good.key")
start good wrong-name -www "${good[@]}"
start good-unnamed good -www "${good[@]}" -servername_fatal
for name in expired not-yet-valid wrong-name self-signed unknown-authority; do
  start "$name" "$name" -www
done
start tls1.1 good -www -no_tls1_2 -no_tls1_3 -cipher DEFAULT:@SECLEVEL=0
start reversing good -rev

export W20_TLS_SERVERS=$servers
# Wine reaches the Linux file system through drive Z:.
export W20_TLS_AUTHORITY="Z:${work//\//\\}\\authority.pem"
# Wine's services inherit the first program's output: a file, so that no pipe stays open.
status=0
"$wine" "$program" --gtest_brief=1 >"$work/output.txt" 2>&1 || status=$?
cat "$work/output.txt"
exit $status
