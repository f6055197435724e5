#!/usr/bin/env bash
# Runs the benchmarks: the transfers against servers of its own, each beside the raw C APIs
# doing the same work, then the transfers over a 50 ms link (a delaying relay), then the assistant's two screens beside one aggregate query, then the
# table browser's paging beside the raw page queries, then the dialogs: forms of 1,000 to 8,000
# fields filled and written back, a megabyte editor.
# Arguments go to the transfer bench, e.g. --gtest_filter=*Copies* for the copies alone.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${VARNOTHM_BUILD:-$top/build}"
bash "$top/scripts/install-packages.sh"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target bench_transfers bench_link bench_assistant bench_paging bench_dialogs
servers="$build/benchservers"
trap 'bash "$top/tests/support/servers.sh" stop "$servers" >/dev/null' EXIT
bash "$top/tests/support/servers.sh" start "$servers"
QT_QPA_PLATFORM=offscreen VARNOTHM_TEST_SERVERS="$servers" "$build/bench/bench_transfers" "$@"
# The same transfers through a relay that delays each direction by 25 ms (about a quarter of
# an hour, most of it the return; VARNOTHM_BENCH_LINK_RETURN=0 leaves the return out).
QT_QPA_PLATFORM=offscreen VARNOTHM_TEST_SERVERS="$servers" "$build/bench/bench_link"
# The assistant's screens and the dialogs work on the local file only.
QT_QPA_PLATFORM=offscreen "$build/bench/bench_assistant"
# The table browser pages through a local file only.
QT_QPA_PLATFORM=offscreen "$build/bench/bench_paging"
QT_QPA_PLATFORM=offscreen "$build/bench/bench_dialogs"
