#!/usr/bin/env bash
# Configures and builds Vellumtrace into a build folder.
# Usage: scripts/build.sh [BUILD_DIR] [extra cmake arguments...]
# Where ccache and mold are installed, compiles go through ccache (paths taken relative to the
# checkout, so another checkout of the same sources hits the same cache) and links use mold.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
shift || true
speed=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
  export CCACHE_SLOPPINESS=${CCACHE_SLOPPINESS:-include_file_mtime,include_file_ctime}
  speed+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if command -v mold >/dev/null 2>&1; then
  speed+=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=mold -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=mold)
fi
cmake -S "$root" -B "$build" -G Ninja "${speed[@]}" "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
