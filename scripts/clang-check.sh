#!/usr/bin/env bash
# Builds everything with Debian's clang and runs every test, as
# scripts/test.sh does with g++ (CI stays on g++); --sanitize as there.
# Build folders build-clang/ and build-clang-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang++ >/dev/null; then
  if [ "$(id -u)" -eq 0 ]; then apt-get install -y clang; else sudo apt-get install -y clang; fi
fi
SORLIX_CXX=clang++ exec ./scripts/test.sh "$@"
