#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds without a warning and runs every test:
# first the normal build, then the core libraries again under AddressSanitizer +
# UndefinedBehaviorSanitizer (with clang), together with the bounded fuzz smoke runs, and last the
# Windows build with its tests under wine (the window's on a virtual X display, against the demo
# quote service of the first build).
set -euo pipefail
cd "$(dirname "$0")"

tools/install-packages.sh cmake ninja-build g++ clang clang-format libclang-rt-14-dev qt6-base-dev fonts-wine \
  libgtest-dev libgmock-dev libbenchmark-dev tzdata nginx curl python3 publicsuffix libssl-dev openssl tinyproxy
# The window tests run once more in Polish.
tools/install-polish-locale.sh

# Every tracked C++ file as clang-format writes it.
git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DW20_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 300

cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DW20_WERROR=ON -DW20_SANITIZE=ON -DW20_FUZZ=ON -DW20_BUILD_APP=OFF -DW20_BUILD_BENCH=OFF >/dev/null
cmake --build build-san -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-san --output-on-failure -j "$jobs" --timeout 600

tools/build-windows.sh
ctest --test-dir build-windows --output-on-failure -j "$jobs" --timeout 600
