#!/usr/bin/env bash
# Installs what is missing and builds the library and its tools (build/default).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
echo "Built build/default/libMVKAnalyticsUnreal.so"
