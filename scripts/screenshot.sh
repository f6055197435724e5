#!/usr/bin/env bash
# Takes the README's picture of the main window (docs/hauptfenster.png): VarnothM on the demo
# building, on a virtual display of 1024 x 768. Needs a build with the demo (scripts/run.sh,
# or VARNOTHM_BUILD) and, besides xvfb-run, `import` from imagemagick (documentation only:
# apt-get install imagemagick).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${VARNOTHM_BUILD:-$top/build}
command -v import >/dev/null || { echo "import fehlt: apt-get install imagemagick" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "xvfb-run fehlt: apt-get install xvfb xauth" >&2; exit 1; }
cmake --build "$build" --target demo
export ODBCINI="$build/demo/odbc.ini"
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1/VarnothM" & program=$!
  sleep 5
  import -window root "$2"
  kill "$program"; wait "$program" || true
' picture "$build/demo" "$top/docs/hauptfenster.png"
echo "$top/docs/hauptfenster.png"
