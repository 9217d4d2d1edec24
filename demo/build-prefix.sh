#!/usr/bin/env bash
# Builds the demo Windows machine: a 64-bit prefix in Wine's layout with the
# registry texts of demo/registry imported, the files of demo/drive_c, the
# add-ons' DLLs (written by pewrite from the table below), the Opera
# extension packages (packed by zippack from demo/opera) and both component
# libraries registered.
#   demo/build-prefix.sh PREFIX BUILD_DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
prefix="${1:?usage: build-prefix.sh PREFIX BUILD_DIR}"
build="${2:?usage: build-prefix.sh PREFIX BUILD_DIR}"
regtool="$build/tools/regtool/regtool"
pewrite="$build/tools/pewrite/pewrite"
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
rm -f "$c/.keep"

for f in "$here"/registry/*.reg; do
  WINEPREFIX="$prefix" "$regtool" import "$f" >/dev/null
done

# Writes one resource-only DLL per line of its input:
#   path on C: | machine | version | CompanyName | FileDescription | ProductName | LegalCopyright
# A line without a version writes a DLL without a version resource.
write_dlls() {
  while IFS='|' read -r path machine version company description product copyright; do
    if [ -z "$version" ]; then
      "$pewrite" --out "$c/${path//\\//}" --machine "$machine"
      continue
    fi
    "$pewrite" --out "$c/${path//\\//}" --machine "$machine" --file-version "$version" --product-version "$version" \
      --version-string "CompanyName=$company" --version-string "FileDescription=$description" \
      --version-string "FileVersion=$version" --version-string "ProductName=$product" \
      --version-string "ProductVersion=$version" --version-string "LegalCopyright=$copyright"
  done
}

# The add-ons' files: small resource-only DLLs with a version resource.
# 32-bit ones are i386 in Program Files (x86); 64-bit ones amd64 in Program
# Files or the 64-bit system folder.
write_dlls <<'TABLE'
Program Files (x86)\Bluebird\bbtoolbar.dll|i386|3.2.0.114|Bluebird Labs|Bluebird Search Toolbar|Bluebird Search|Copyright (C) 2011-2013 Bluebird Labs
Program Files (x86)\PriceFinder\pfhelper.dll|i386|1.4.2.0|Pennyroyal Software|Price Finder shopping helper|Price Finder|(C) 2012 Pennyroyal Software
Program Files (x86)\Snip Notes\snipnotes.dll|i386|2.0.5.0|Snipwell Software|Snip Notes web clipper|Snip Notes|Copyright (C) 2013 Snipwell Software
Program Files (x86)\Tidewater\tidebar.dll|i386|5.1.0.0|Tidewater Media|Tidewater News Sidebar|Tidewater News|Copyright (C) 2010-2013 Tidewater Media
Program Files (x86)\Lexicon Lookup\lexbar.dll|i386|1.0.3.0|Quillby Reference|Lexicon Lookup dictionary bar|Lexicon Lookup|Copyright (C) 2012 Quillby Reference
Program Files (x86)\Marmot Mail\mmnotify.dll|i386|4.0.1.7|Marmot Mail Ltd|Marmot Mail Notifier|Marmot Mail|Copyright (C) 2013 Marmot Mail Ltd
Program Files\QuickTranslate\qtbho64.dll|amd64|2.3.0.0|Lingofox Ltd|Quick Translate page helper (64-bit)|Quick Translate|Copyright (C) 2013 Lingofox Ltd
Program Files\QuickTranslate\qtbutton64.dll|amd64|2.3.0.0|Lingofox Ltd|Quick Translate button (64-bit)|Quick Translate|Copyright (C) 2013 Lingofox Ltd
windows\system32\skylarkwx.dll|amd64|6.0.2.0|Skylark Weather Co.|Skylark Weather Toolbar (64-bit)|Skylark Weather|Copyright (C) 2013 Skylark Weather Co.
Program Files\Tidewater\tidebar64.dll|amd64|5.1.0.0|Tidewater Media|Tidewater News Sidebar (64-bit)|Tidewater News|Copyright (C) 2010-2013 Tidewater Media
Program Files\Harbor Radio\harborbar64.dll|amd64|1.2.0.9|Harborlight Audio|Internet radio bar (64-bit)|Harbor Radio|Copyright (C) 2013 Harborlight Audio
Program Files\Marmot Mail\mmnotify64.dll|amd64|4.0.1.7|Marmot Mail Ltd|Marmot Mail Notifier (64-bit)|Marmot Mail|Copyright (C) 2013 Marmot Mail Ltd
TABLE

# Safari's and Opera's plugins.
. "$here/safari-opera-plugins.sh"
# Opera's extensions, packed from demo/opera.
. "$here/opera.sh"

# Firefox's and Waterfox's extensions, packages made here.
. "$here/mozilla.sh"

# The Mozilla browsers' plugins.
. "$here/mozilla-plugins.sh"

# The program's two component libraries, registered as an installer would.
for lib in common/libhalvenlib.so components/libquarncust.so; do
  WINEPREFIX="$prefix" "$build/tools/regsvr/regsvr" "$build/$lib" >/dev/null
done

# Chrome: its program files, profiles, extensions and plugins.
. "$here/chrome.sh"
