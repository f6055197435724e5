#!/usr/bin/env bash
# Runs the transfer benchmark against servers of its own: builds, starts the test servers,
# prints each transfer beside the raw C APIs doing the same work, stops the servers.
# Arguments go to the bench program, e.g. --gtest_filter=*Copies* for the copies alone.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${VARNOTHM_BUILD:-$top/build}"
bash "$top/scripts/install-packages.sh"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target bench_transfers
servers="$build/benchservers"
trap 'bash "$top/tests/support/servers.sh" stop "$servers" >/dev/null' EXIT
bash "$top/tests/support/servers.sh" start "$servers"
QT_QPA_PLATFORM=offscreen VARNOTHM_TEST_SERVERS="$servers" "$build/bench/bench_transfers" "$@"
