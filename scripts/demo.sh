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
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "(no display: running off-screen)"
  export QT_QPA_PLATFORM=offscreen
fi
build/app/main/sorlix
log="$WINEPREFIX/drive_c/users/demo/AppData/Local/Vendrel Sorlix/short.log"
echo "The program started and ended (its window comes later); its log of the run:"
cat "$log"
echo
# The add-on registrations it will find.
regtool=build/tools/regtool/regtool
bho='HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects'
"$regtool" query 'HKLM\Software\Microsoft\Internet Explorer\Toolbar' /s /reg:32
"$regtool" query "$bho" /s /reg:32
"$regtool" query "$bho" /s /reg:64
