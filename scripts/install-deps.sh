#!/usr/bin/env bash
# Installs the Debian packages the library, its tests and its tools need,
# only those that are missing. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev libc++-dev libc++abi-dev
  libsqlite3-dev libcurl4-openssl-dev nlohmann-json3-dev libutf8proc-dev libplist-dev
  libcpp-httplib-dev libssl-dev libgtest-dev libgmock-dev libbenchmark-dev sqlite3 ccache
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=""
if [ "$(id -u)" -ne 0 ]; then sudo_cmd="sudo"; fi
$sudo_cmd apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
