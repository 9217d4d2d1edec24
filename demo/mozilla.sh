# Sourced by build-prefix.sh: the Firefox and Waterfox extensions of
# demo/mozilla/drive_c (see demo/mozilla/SOURCES.txt), copied to the
# machine; every folder there whose name ends in ".xpi" becomes a package of
# that name, made with zippack. Uses $here, $c and $build of build-prefix.sh.
zippack="$build/tools/zippack/zippack"
cp -R "$here/mozilla/drive_c/." "$c/"
find "$c" -depth -type d -name '*.xpi' -print0 | while IFS= read -r -d '' package; do
  "$zippack" "$package.packing" "$package"
  rm -rf "$package"
  mv "$package.packing" "$package"
done
