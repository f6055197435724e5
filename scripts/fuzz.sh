#!/usr/bin/env bash
# Fuzzing: builds the fuzz targets of fuzz/ with clang (libFuzzer, AddressSanitizer, UBSan)
# into build-fuzz and runs each from its seed corpus for a bounded time. A crash, a sanitizer
# report, a hang (one input running longer than 30 s) or a broken round trip fails the run;
# the input that did it is kept as build-fuzz/findings/TARGET-crash-… (or timeout-…).
#   bash scripts/fuzz.sh                  every target, 60 s each (VARNOTHM_FUZZ_SECONDS)
#   bash scripts/fuzz.sh markup 3600      one target (escapes, markup, config, script), an hour
#   build-fuzz/fuzz/fuzz_markup FILE      replays one input
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-packages.sh"
build="$top/build-fuzz"
targets=(escapes markup config script)
[ $# -ge 1 ] && targets=("$1")
seconds=${2:-${VARNOTHM_FUZZ_SECONDS:-60}}
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVARNOTHM_FUZZ=ON >/dev/null
cmake --build "$build" --target "${targets[@]/#/fuzz_}"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:handle_abort=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
failed=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"   # what the run learns; the seeds stay as they are
  mkdir -p "$corpus" "$build/findings"
  dict=(); [ -f "$top/fuzz/$target.dict" ] && dict=(-dict="$top/fuzz/$target.dict")
  echo "== fuzz_$target: $seconds s"
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 "${dict[@]}" \
       -detect_leaks=0 -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
       "$corpus" "$top/fuzz/corpus/$target"; then
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found faults in: ${failed[*]} (inputs in $build/findings)" >&2
  exit 1
fi
echo "fuzzing: ${#targets[@]} targets ran ${seconds} s each without a finding"
