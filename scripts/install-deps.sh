#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Vellumtrace need.
# Only what is missing is installed; as root directly, otherwise through sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format ccache mold
  libgtest-dev libgmock-dev libbenchmark-dev
  libgumbo-dev libsqlite3-dev sqlite3 libcurl4-openssl-dev
  nlohmann-json3-dev libcpp-httplib-dev libfontconfig-dev
  chromium python3 python3-lxml xdg-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# Node.js and npm drive the display tests; any installation that provides both commands will do.
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  missing+=(nodejs npm)
fi

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
