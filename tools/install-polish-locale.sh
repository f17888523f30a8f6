#!/usr/bin/env bash
# Makes the Polish locale that the window tests run in (the Qt window's Polish run and wine's
# regional settings), when it is missing. As root it makes it; otherwise it prints the command.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-packages.sh locales
if ! locale -a 2>/dev/null | grep -qix 'pl_PL.utf8'; then
  if [[ $(id -u) -ne 0 ]]; then
    echo "The Polish locale is missing. Make it with: sudo localedef -i pl_PL -f UTF-8 pl_PL.UTF-8" >&2
    exit 1
  fi
  localedef -i pl_PL -f UTF-8 pl_PL.UTF-8
fi
