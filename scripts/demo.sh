#!/usr/bin/env bash
# Installs what is missing, builds the library and the demo host, and runs a
# short game session against a local HTTPS gateway (started by the demo
# itself): initialise, active, background, active again, shut down. It prints
# what the gateway received and what the library's database holds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target mvk-demo
exec build/default/examples/mvk-demo "$@"
