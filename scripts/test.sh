#!/usr/bin/env bash
# Builds everything and runs every test. With --sanitize: the same under
# AddressSanitizer and UndefinedBehaviorSanitizer, in build-asan/. JOBS=n
# limits the build and the test run to n jobs at a time. SORLIX_CXX=clang++
# builds with that compiler instead, in build-clang/ (build-clang-asan/).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

build=build
flags=()
if [ -n "${SORLIX_CXX:-}" ]; then
  build="build-$(basename "$SORLIX_CXX" | sed 's/++$//')"
  flags+=(-DCMAKE_CXX_COMPILER="$SORLIX_CXX")
fi
if [ "${1:-}" = "--sanitize" ]; then
  build="$build-asan"
  flags+=(-DSORLIX_SANITIZE=ON)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp"
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
ninja -C "$build" ${JOBS:+-j "$JOBS"}
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "${JOBS:-$(nproc)}"
