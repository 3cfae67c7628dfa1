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

# Installs the normal build into a temporary prefix and builds the example
# host against it twice, through the CMake package and through pkg-config,
# so a broken install fails here.
check_install() {
  echo "=== install: package and consumer (at ${SECONDS} s)"
  local tmp
  tmp=$(mktemp -d "${TMPDIR:-/tmp}/mvk-install.XXXXXX")
  cmake --install build/default --prefix "$tmp/prefix" >/dev/null
  local unexpected
  unexpected=$(cd "$tmp/prefix" && find . -type f ! -path './include/mvk/*.hpp' \
    ! -name 'libMVKAnalyticsUnreal.so.*' ! -path './lib*/cmake/MVKAnalyticsUnreal/*.cmake' \
    ! -name 'MVKAnalyticsUnreal.pc')
  if [ -n "$unexpected" ]; then
    echo "install puts more than the library and its headers: $unexpected" >&2
    return 1
  fi
  if ! readelf -d "$tmp"/prefix/lib*/libMVKAnalyticsUnreal.so | grep -q 'SONAME.*libMVKAnalyticsUnreal\.so\.[0-9]*\]'; then
    echo "the installed library has no versioned soname" >&2
    return 1
  fi
  cmake -S examples/consumer -B "$tmp/consumer" -G Ninja \
    -DCMAKE_PREFIX_PATH="$tmp/prefix" >/dev/null
  cmake --build "$tmp/consumer" -j "$jobs"
  "$tmp/consumer/mvk-consumer"
  local pc_dir
  pc_dir=$(dirname "$(find "$tmp/prefix" -name MVKAnalyticsUnreal.pc)")
  # shellcheck disable=SC2046
  c++ -std=c++20 -o "$tmp/consumer-pc" examples/consumer/main.cpp \
    -DMVK_PACKAGE_VERSION="\"$(PKG_CONFIG_PATH=$pc_dir pkg-config --modversion MVKAnalyticsUnreal)\"" \
    $(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags --libs MVKAnalyticsUnreal)
  LD_LIBRARY_PATH=$(dirname "$pc_dir") "$tmp/consumer-pc"
  rm -rf "$tmp"
}

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
