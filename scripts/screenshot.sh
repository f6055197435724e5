#!/usr/bin/env bash
# The README's picture of the main window on the demo (docs/hauptfenster.png), taken on a
# virtual display with `import` from imagemagick, which only this documentation step needs.
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
