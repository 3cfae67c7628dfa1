#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the normal
# build, the installed package with a host built against it, the library
# alone built with clang and libc++, the
# AddressSanitizer + UndefinedBehaviorSanitizer build, the concurrency tests
# under ThreadSanitizer, and a short run of every fuzz target. First of all,
# that includes under src/ point down the order of folders.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/check-layers.sh
scripts/install-deps.sh

jobs=$(nproc)
# Most tests wait on a gateway, a timeout or a child process rather than
# compute: even on two cores, eight at a time finish in a third of the time.
test_jobs=$(( jobs > 8 ? jobs : 8 ))
run_preset() {
  local preset=$1
  echo "=== ${preset}: configure and build (at ${SECONDS} s)"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== ${preset}: tests (at ${SECONDS} s)"
  ctest --preset "$preset" -j "$test_jobs"
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}

# Follows the README's install section word for word: a gateway to send to
# (the local one, standing in for the game's), the release preset built for
# it, installed stripped into a temporary prefix; then a host built against
# it twice, through the CMake package and through pkg-config, each playing a
# short session that must reach the gateway. A broken install, or a library
# that sends nothing, fails here.
check_install() {
  echo "=== install: the README's road, a game that sends (at ${SECONDS} s)"
  local tmp url
  tmp=$(mktemp -d "${TMPDIR:-/tmp}/mvk-install.XXXXXX")
  build/default/tools/gateway/mvk-gateway --ca-out "$tmp/ca.pem" --seconds 3600 \
    >"$tmp/gateway.out" 2>&1 &
  install_gateway=$!
  for _ in $(seq 100); do
    url=$(head -n 1 "$tmp/gateway.out" 2>/dev/null || true)
    [ -n "$url" ] && break
    sleep 0.1
  done
  if [ -z "$url" ]; then
    echo "the local gateway did not start" >&2
    return 1
  fi

  cmake --preset release -DMVK_DEFAULT_GATEWAY_URL="$url" >/dev/null
  cmake --build --preset release -j "$jobs"
  cmake --install build/release --prefix "$tmp/prefix" --strip >/dev/null

  local unexpected
  unexpected=$(cd "$tmp/prefix" && find . -type f ! -path './include/mvk/*.hpp' \
    ! -name 'libMVKAnalyticsUnreal.so.*' ! -path './lib/cmake/MVKAnalyticsUnreal/*.cmake' \
    ! -name 'MVKAnalyticsUnreal.pc')
  if [ -n "$unexpected" ]; then
    echo "install puts more than the library and its headers: $unexpected" >&2
    return 1
  fi
  local library
  library=$(find "$tmp/prefix/lib" -name 'libMVKAnalyticsUnreal.so.*.*')
  if ! readelf -d "$library" | grep -q 'SONAME.*libMVKAnalyticsUnreal\.so\.[0-9]*\]'; then
    echo "the installed library has no versioned soname" >&2
    return 1
  fi
  if readelf -S "$library" | grep -q '\.debug_info'; then
    echo "the installed library is not stripped" >&2
    return 1
  fi

  # The game's own data folder and the gateway's certificate, as a player's
  # machine would have them.
  export XDG_DATA_HOME="$tmp/data" CURL_CA_BUNDLE="$tmp/ca.pem"
  cmake -S examples/consumer -B "$tmp/consumer" -G Ninja \
    -DCMAKE_PREFIX_PATH="$tmp/prefix" >/dev/null
  cmake --build "$tmp/consumer" -j "$jobs"
  "$tmp/consumer/mvk-consumer"

  export PKG_CONFIG_PATH="$tmp/prefix/lib/pkgconfig"
  # shellcheck disable=SC2046
  c++ -std=c++20 -o "$tmp/consumer-pc" examples/consumer/main.cpp \
    -DMVK_PACKAGE_VERSION="\"$(pkg-config --modversion MVKAnalyticsUnreal)\"" \
    $(pkg-config --cflags --libs MVKAnalyticsUnreal) -Wl,-rpath,"$tmp/prefix/lib"
  "$tmp/consumer-pc"
  unset XDG_DATA_HOME CURL_CA_BUNDLE PKG_CONFIG_PATH

  kill "$install_gateway"
  wait "$install_gateway" 2>/dev/null || true
  install_gateway=""
  if [ "$(grep -c '^POST /v2/analytics/report' "$tmp/gateway.out" || true)" -lt 2 ]; then
    echo "the gateway did not receive a report from each host" >&2
    return 1
  fi
  rm -rf "$tmp"
}
install_gateway=""
trap '[ -z "$install_gateway" ] || kill "$install_gateway" 2>/dev/null || true' EXIT

# Engines on Linux often bring their own libc++: the library alone must build
# and link against it. Unoptimised and without tests, it is a check that
# costs a minute on two cores, not a second suite.
check_libcxx() {
  echo "=== libcxx: the library with clang and libc++ (at ${SECONDS} s)"
  cmake --preset libcxx >/dev/null
  cmake --build --preset libcxx -j "$jobs"
}

# The fuzz targets are built inside the asan build, with the library objects
# instrumented for coverage there.
run_fuzz() {
  echo "=== fuzz: a short run of every target (at ${SECONDS} s)"
  MVK_FUZZ_BUILD=build/asan scripts/fuzz.sh 3
}

run_preset default
check_install
check_libcxx
run_preset asan
run_preset tsan
run_fuzz
echo "All test suites passed in ${SECONDS} s."
