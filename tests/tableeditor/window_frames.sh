#!/usr/bin/env bash
# The record dialog of the measures on a virtual 1024×768 display under a real window manager
# (openbox), which frames each window only after the program has placed it: the test program
# checks the dialog and its frame lie within the screen, and leaves a screenshot.
set -euo pipefail
program=$1
picture=${2:-$PWD/window-frames.png}
folder=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$folder"
}
trap cleanup EXIT
# The server picks a free display number itself and tells it.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$folder/display" 2>"$folder/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$folder/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$folder/display")"
openbox --sm-disable >"$folder/openbox.log" 2>&1 &
pids+=($!)
# The window manager is running once it has claimed the root window.
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || { cat "$folder/openbox.log"; exit 1; }
QT_QPA_PLATFORM=xcb VARNOTHM_FRAME_PICTURE="$picture" \
  "$program" --gtest_filter='TableEditorTest.TheRecordDialogOfTheMeasuresWithItsFrameLiesWithinTheScreen' \
  | tee "$folder/run.log"
echo "screenshot: $picture"
# Played, not skipped.
grep -q '^\[  PASSED  \] 1 test' "$folder/run.log"
