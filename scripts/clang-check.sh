#!/usr/bin/env bash
# Builds everything with Debian's clang and runs every test, as
# scripts/test.sh does with g++ (CI stays on g++). With --sanitize: the same
# under AddressSanitizer and UndefinedBehaviorSanitizer. Build folders
# build-clang/ and build-clang-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
if ! command -v clang++ >/dev/null; then
  if [ "$(id -u)" -eq 0 ]; then apt-get install -y clang; else sudo apt-get install -y clang; fi
fi

build=build-clang
flags=(-DCMAKE_CXX_COMPILER=clang++)
if [ "${1:-}" = "--sanitize" ]; then
  build=build-clang-asan
  flags+=(-DSORLIX_SANITIZE=ON)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp"
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
ninja -C "$build" ${JOBS:+-j "$JOBS"}
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "${JOBS:-$(nproc)}"
