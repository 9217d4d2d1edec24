# Sourced by build-prefix.sh: the np*.dll plugins of the Mozilla browsers
# and the shared plugins, written by write_dlls of build-prefix.sh. The
# registered ones are named in registry/mozilla-plugins.reg; Firefox's
# install folder holds a shared plugin, Waterfox's a 64-bit one, the user's
# Mozilla\Plugins folder one for each browser (Firefox takes the i386 and
# Waterfox the amd64 one), and Adobe Reader's browser folder its own.
# One line per file:
#   path on C: | machine | version | CompanyName | FileDescription | ProductName | LegalCopyright
write_dlls <<'TABLE'
Program Files (x86)\Cloudberry Viewer\npcloudberry.dll|i386|2.1.0.4|Cloudberry Documents|Cloudberry document viewer|Cloudberry Viewer|Copyright (C) 2013 Cloudberry Documents
Program Files\Cloudberry Viewer\npcloudberry64.dll|amd64|2.1.0.4|Cloudberry Documents|Cloudberry document viewer (64-bit)|Cloudberry Viewer|Copyright (C) 2013 Cloudberry Documents
users\demo\AppData\Local\Pinecone Player\nppinecone.dll|i386|3.0.2.0|Pinecone Media|Pinecone media player|Pinecone Player|(C) 2012-2013 Pinecone Media
users\demo\AppData\Local\Pinecone Player\nppinecone64.dll|amd64|3.0.2.0|Pinecone Media|Pinecone media player (64-bit)|Pinecone Player x64|(C) 2012-2013 Pinecone Media
users\demo\AppData\Roaming\Mozilla\Plugins\npwavelet.dll|i386|1.6.0.0|Wavelet Audio|Wavelet audio streams|Wavelet Streams|Copyright (C) 2013 Wavelet Audio
users\demo\AppData\Roaming\Mozilla\Plugins\npwavelet64.dll|amd64|1.6.0.0|Wavelet Audio|Wavelet audio streams (64-bit)|Wavelet Streams|Copyright (C) 2013 Wavelet Audio
Program Files (x86)\Mozilla Firefox\plugins\npcobaltmaps.dll|i386|4.2.1.0|Cobalt Cartography|Cobalt street maps|Cobalt Maps|Copyright (C) 2012 Cobalt Cartography
Program Files\Waterfox\Plugins\npmarlin64.dll|amd64|1.0.7.0|Marlin Analytics|Marlin live charts (64-bit)|Marlin Charts|Copyright (C) 2013 Marlin Analytics
Program Files (x86)\Adobe\Reader 11.0\Reader\browser\nppdf32.dll|i386|11.0.0.379|Adobe Systems Incorporated|Adobe Reader browser plugin|Adobe Reader|Copyright (C) 1984-2012 Adobe Systems Incorporated
TABLE
