#!/usr/bin/env bash
# Builds everything and the demo prefix (build/demo-prefix), then shows it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
ninja -C build
./demo/build-prefix.sh build/demo-prefix build
export WINEPREFIX="$PWD/build/demo-prefix"
echo "Demo prefix: $WINEPREFIX"
build/tools/regtool/regtool query 'HKLM\Software\Microsoft\Internet Explorer' /s /reg:64
build/tools/regtool/regtool query 'HKLM\Software\Microsoft\Internet Explorer' /s /reg:32
