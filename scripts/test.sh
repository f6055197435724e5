#!/usr/bin/env bash
# The test command: installs what is missing, builds and runs every test through CTest.
# VARNOTHM_SANITIZE=1 builds into build-asan with AddressSanitizer and UBSan instead.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-packages.sh"
if [ "${VARNOTHM_SANITIZE:-0}" = 1 ]; then
  build="$top/build-asan"; extra=(-DCMAKE_BUILD_TYPE=Debug -DVARNOTHM_SANITIZE=ON)
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  build="$top/build"; extra=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
fi
cmake -S "$top" -B "$build" -G Ninja "${extra[@]}"
cmake --build "$build"
export QT_QPA_PLATFORM=offscreen
cd "$build" && ctest --output-on-failure --timeout 600 -j"$(nproc)"
