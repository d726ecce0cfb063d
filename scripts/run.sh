#!/usr/bin/env bash
# Builds Vellumtrace and starts it. Arguments are passed to 'vellumtrace run'.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
if "$root/build/bin/vellumtrace" --help | grep -q '^  run '; then
  exec "$root/build/bin/vellumtrace" run "$@"
else
  exec "$root/build/bin/vellumtrace" --help
fi
