#!/usr/bin/env bash
# Runs the transfer benchmark against servers of its own: builds, starts the test servers,
# prints rows per second beside a plain SQLite bulk load, stops the servers. Then the dialog
# benchmark: forms of 1,000 to 8,000 fields filled and written back, a megabyte editor.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${VARNOTHM_BUILD:-$top/build}"
bash "$top/scripts/install-packages.sh"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target bench_transfers bench_dialogs
servers="$build/benchservers"
trap 'bash "$top/tests/support/servers.sh" stop "$servers" >/dev/null' EXIT
bash "$top/tests/support/servers.sh" start "$servers"
QT_QPA_PLATFORM=offscreen VARNOTHM_TEST_SERVERS="$servers" "$build/bench/bench_transfers"
QT_QPA_PLATFORM=offscreen "$build/bench/bench_dialogs"
