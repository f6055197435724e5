#!/usr/bin/env bash
# The test command: installs what is missing, builds and runs every test through CTest,
# under the C locale and again under a German one (de_DE.UTF-8, generated when missing),
# as the program must read and write the same under both; the tests on a Galera cluster
# (label "galera") in a step of their own.
# VARNOTHM_SANITIZE=1 builds into build-asan with AddressSanitizer and UBSan instead, and runs
# the tests once, under the C locale.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-packages.sh"
bash "$top/scripts/german-locale.sh"
if [ "${VARNOTHM_SANITIZE:-0}" = 1 ]; then
  build="$top/build-asan"; extra=(-DCMAKE_BUILD_TYPE=Debug -DVARNOTHM_SANITIZE=ON)
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  build="$top/build"; extra=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
fi
cmake -S "$top" -B "$build" -G Ninja "${extra[@]}"
cmake --build "$build"
export QT_QPA_PLATFORM=offscreen
cd "$build"
echo "== tests under the C locale"
LANG=C.UTF-8 LC_ALL=C.UTF-8 LANGUAGE= ctest --output-on-failure --timeout 600 -j"$(nproc)" -LE galera
if [ "${VARNOTHM_SANITIZE:-0}" != 1 ]; then
  echo "== tests under de_DE.UTF-8"
  LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 LANGUAGE=de ctest --output-on-failure --timeout 600 -j"$(nproc)" -LE galera
  # The returns to a Galera cluster start a cluster of their own and run one after another;
  # once, in the plain build.
  echo "== tests on a Galera cluster"
  LANG=C.UTF-8 LC_ALL=C.UTF-8 LANGUAGE= ctest --output-on-failure --timeout 1200 -L galera
fi
