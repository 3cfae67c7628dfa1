#!/usr/bin/env bash
# Installs what is missing, builds the library and the demo host, and runs a
# short game session against a local HTTPS gateway (started by the demo
# itself): events from two threads, an experiment, push and a receipt check,
# background, shut down. It prints the reports the gateway received, the
# events by code and what the library's database holds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target mvk-demo
exec build/default/examples/mvk-demo "$@"
