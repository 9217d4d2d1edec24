# Sourced by build-prefix.sh: Chrome for user "demo". The program files
# (chrome.exe, the plugins it ships in its version folder and one in its
# "plugins" folder), the user data with the profiles "Default" and
# "Profile 1" holding real extensions (demo/chrome/SOURCES.txt), "Local
# State" and an empty "Extensions\Temp". Its registry lies in
# demo/registry/chrome.reg. Uses $here, $c, $user and write_dlls of
# build-prefix.sh. One line per file; a file without a version resource
# leaves the last five columns empty:
#   path on C: | machine | version | CompanyName | FileDescription | ProductName | LegalCopyright
write_dlls <<'TABLE'
Program Files\Google\Chrome\Application\chrome.exe|amd64|31.0.1650.57|Google Inc.|Google Chrome|Google Chrome|Copyright 2013 Google Inc. All rights reserved.
Program Files\Google\Chrome\Application\31.0.1650.57\pdf.dll|amd64|31.0.1650.57|Google Inc.|Chrome PDF Viewer|Chrome PDF Viewer|Copyright 2013 Google Inc. All rights reserved.
Program Files\Google\Chrome\Application\31.0.1650.57\gcswf32.dll|amd64|||||
Program Files\Google\Chrome\Application\31.0.1650.57\PepperFlash\pepflashplayer.dll|amd64|||||
Program Files\Google\Chrome\Application\plugins\npGlimmer.dll|amd64|2.1.0.4|Glimmer Slides Ltd|Glimmer slide show viewer|Glimmer Slides|Copyright (C) 2013 Glimmer Slides Ltd
TABLE
chrome_user_data="$c/users/$user/AppData/Local/Google/Chrome/User Data"
mkdir -p "$chrome_user_data/Default/Extensions/Temp"
cp -R "$here/chrome/User Data/." "$chrome_user_data/"
printf '{"profile":{"info_cache":{"Default":{"name":"Person 1"},"Profile 1":{"name":"Work"}}}}' \
  > "$chrome_user_data/Local State"
