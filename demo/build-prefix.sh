#!/usr/bin/env bash
# Builds the demo Windows machine: a 64-bit prefix in Wine's layout with the
# registry texts of demo/registry imported and the files of demo/drive_c.
#   demo/build-prefix.sh PREFIX BUILD_DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
prefix="${1:?usage: build-prefix.sh PREFIX BUILD_DIR}"
build="${2:?usage: build-prefix.sh PREFIX BUILD_DIR}"
regtool="$build/tools/regtool/regtool"
sid="S-1-5-21-1004336348-1177238915-682003330-1000"
user="demo"

rm -rf "$prefix"
mkdir -p "$prefix/dosdevices"
printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n' > "$prefix/system.reg"
printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\%s\n\n#arch=win64\n\n' "$sid" > "$prefix/user.reg"
printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\.Default\n\n#arch=win64\n\n' > "$prefix/userdef.reg"
c="$prefix/drive_c"
mkdir -p "$c/windows/system32" "$c/windows/syswow64" "$c/windows/temp" "$c/Program Files" \
         "$c/Program Files (x86)" "$c/ProgramData" "$c/users/Public" \
         "$c/users/$user/AppData/Roaming" "$c/users/$user/AppData/Local/Temp" "$c/users/$user/Desktop"
ln -s ../drive_c "$prefix/dosdevices/c:"
ln -s / "$prefix/dosdevices/z:"
cp -R "$here/drive_c/." "$c/"

for f in "$here"/registry/*.reg; do
  WINEPREFIX="$prefix" "$regtool" import "$f" >/dev/null
done

# The program's two component libraries, registered as an installer would.
for lib in common/libhalvenlib.so components/libquarncust.so; do
  WINEPREFIX="$prefix" "$build/tools/regsvr/regsvr" "$build/$lib" >/dev/null
done
