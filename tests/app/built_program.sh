#!/usr/bin/env bash
# The built program, copied into a folder of its own and started on a virtual display,
# plays a script that clicks "Beenden" and leaves its transcript.
set -euo pipefail
program=$1
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$program" "$folder/VarnothM"
printf '# Beenden\nclick commandList 7\n' >"$folder/script.txt"
unset QT_QPA_PLATFORM
# The version check asks a closed loopback port, never the maker's server.
export VARNOTHM_VERSION_HOST=127.0.0.1 VARNOTHM_VERSION_PORT=1
VARNOTHM_SCRIPT="$folder/script.txt" VARNOTHM_TRANSCRIPT="$folder/transcript.txt" \
  timeout 60 xvfb-run -a "$folder/VarnothM"
cat "$folder/transcript.txt"
grep -qx 'title VarnothM Objekt NICHT AUSGEWÄHLT' "$folder/transcript.txt"
grep -qx 'status VarnothM 3.1.11123' "$folder/transcript.txt"
grep -qx 'item commandList | 7 | Beenden | - | -' "$folder/transcript.txt"
grep -qx 'end' "$folder/transcript.txt"
