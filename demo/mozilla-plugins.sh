# Sourced by build-prefix.sh: the np*.dll plugins of the Mozilla browsers
# and the shared plugin types, written by pewrite. The registered ones are
# named in registry/mozilla-plugins.reg; the rest lie in the user's
# Mozilla\Plugins folder, where Firefox takes the i386 and Waterfox the
# amd64 ones. One line per file:
#   path on C: | machine | version | CompanyName | FileDescription | ProductName | LegalCopyright
mozilla_plugin_files() {
  cat <<'TABLE'
Program Files (x86)\Cloudberry Viewer\npcloudberry.dll|i386|2.1.0.4|Cloudberry Documents|Cloudberry document viewer|Cloudberry Viewer|Copyright (C) 2013 Cloudberry Documents
Program Files\Cloudberry Viewer\npcloudberry64.dll|amd64|2.1.0.4|Cloudberry Documents|Cloudberry document viewer (64-bit)|Cloudberry Viewer|Copyright (C) 2013 Cloudberry Documents
users\demo\AppData\Local\Pinecone Player\nppinecone.dll|i386|3.0.2.0|Pinecone Media|Pinecone media player|Pinecone Player|(C) 2012-2013 Pinecone Media
users\demo\AppData\Local\Pinecone Player\nppinecone64.dll|amd64|3.0.2.0|Pinecone Media|Pinecone media player (64-bit)|Pinecone Player|(C) 2012-2013 Pinecone Media
users\demo\AppData\Roaming\Mozilla\Plugins\npwavelet.dll|i386|1.6.0.0|Wavelet Audio|Wavelet audio streams|Wavelet Streams|Copyright (C) 2013 Wavelet Audio
users\demo\AppData\Roaming\Mozilla\Plugins\npwavelet64.dll|amd64|1.6.0.0|Wavelet Audio|Wavelet audio streams (64-bit)|Wavelet Streams|Copyright (C) 2013 Wavelet Audio
TABLE
}
mozilla_plugin_files | while IFS='|' read -r path machine version company description product copyright; do
  "$pewrite" --out "$c/${path//\\//}" --machine "$machine" --file-version "$version" --product-version "$version" \
    --version-string "CompanyName=$company" --version-string "FileDescription=$description" \
    --version-string "FileVersion=$version" --version-string "ProductName=$product" \
    --version-string "ProductVersion=$version" --version-string "LegalCopyright=$copyright"
done
