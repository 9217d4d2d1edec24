# Sourced by build-prefix.sh: the plugin DLLs of Safari and of both Opera
# builds, and each Opera build's plugin ignore list, which names one plugin
# that lies in its plugin folder (so that one is not shown). Uses $c and
# write_dlls of build-prefix.sh. One line per file:
#   path on C: | machine | version | CompanyName | FileDescription | ProductName | LegalCopyright
write_dlls <<'TABLE'
Program Files (x86)\Safari\Plugins\npPinwheel.dll|i386|7.4.0.12|Pinwheel Media|Pinwheel media player plugin|Pinwheel Player|Copyright (C) 2012 Pinwheel Media
Program Files (x86)\Safari\Plugins\npCalico.dll|i386|1.1.0.3|Calico Docs|Calico document viewer|Calico Viewer|Copyright (C) 2013 Calico Docs
Program Files (x86)\Opera\program\plugins\npFernReader.dll|i386|3.0.2.0|Fernleaf Software|Fern e-book reader plugin|Fern Reader|Copyright (C) 2013 Fernleaf Software
Program Files (x86)\Opera\program\plugins\npDrumroll.dll|i386|0.9.1.0|Drumroll Audio|Drumroll audio streamer|Drumroll|Copyright (C) 2011 Drumroll Audio
Program Files\Opera\program\plugins\npFernReader64.dll|amd64|3.0.2.0|Fernleaf Software|Fern e-book reader plugin (64-bit)|Fern Reader|Copyright (C) 2013 Fernleaf Software
Program Files\Opera\program\plugins\npOldPlayer64.dll|amd64|2.0.0.1|Oldfield Media|Oldfield video player (64-bit)|Oldfield Player|Copyright (C) 2010 Oldfield Media
TABLE
mkdir -p "$c/Program Files (x86)/Opera/defaults" "$c/Program Files/Opera/defaults"
printf '; Plugins Opera does not load\r\n[Plugins To Ignore]\r\nnpDrumroll.dll=1\r\n' \
  > "$c/Program Files (x86)/Opera/defaults/plugin-ignore.ini"
printf '[Plugins To Ignore]\r\nnpOldPlayer64.dll=1\r\n' > "$c/Program Files/Opera/defaults/plugin-ignore.ini"
