#!/usr/bin/env bash
# The run command: installs what is missing, builds, prepares the demo in build/demo afresh and
# starts VarnothM on it (VARNOTHM_BUILD names another build folder).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${VARNOTHM_BUILD:-$top/build}
bash "$top/scripts/install-packages.sh"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target demo
demo="$build/demo"

# The demo's own data-source file: the user's ODBC settings stay untouched.
export ODBCINI="$demo/odbc.ini"
echo "VarnothM startet auf dem Demo-Ordner $demo"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
  exec "$demo/VarnothM"
fi
if command -v xvfb-run >/dev/null; then
  echo "Keine Anzeige (DISPLAY und WAYLAND_DISPLAY sind leer): VarnothM läuft auf einer"
  echo "virtuellen Anzeige (xvfb-run) und ist nicht zu sehen; beenden mit Strg+C."
  echo "Um es zu sehen: auf einem Desktop starten oder per 'ssh -X' anmelden und erneut aufrufen."
  exec xvfb-run -a "$demo/VarnothM"
fi
echo "Keine Anzeige (DISPLAY und WAYLAND_DISPLAY sind leer) und kein xvfb-run gefunden." >&2
echo "Starten Sie den Befehl auf einem Desktop, per 'ssh -X', oder installieren Sie xvfb." >&2
exit 1
