#!/usr/bin/env bash
# Installs what is missing and builds the shared library alone
# (build/default). The test command builds the tests, tools and benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target MVKAnalyticsUnreal
echo "Built build/default/libMVKAnalyticsUnreal.so"
