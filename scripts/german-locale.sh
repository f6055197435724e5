#!/usr/bin/env bash
# Makes the German locale de_DE.UTF-8 available, for the test pass under the settings of a
# German desktop. Does nothing when the locale is there; else (as root or through sudo)
# enables it in /etc/locale.gen, so that later runs of locale-gen keep it, and generates it.
set -euo pipefail
has_locale() { locale -a 2>/dev/null | grep -qiE '^de_DE\.utf-?8$'; }
has_locale && exit 0
sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
if ! command -v locale-gen >/dev/null; then
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends locales
fi
if ! grep -qE '^\s*de_DE\.UTF-8\s+UTF-8' /etc/locale.gen 2>/dev/null; then
  echo 'de_DE.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
fi
$sudo locale-gen
has_locale || { echo "de_DE.UTF-8 could not be generated" >&2; exit 1; }
