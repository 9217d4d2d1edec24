# Sourced by build-prefix.sh: the Opera extensions of user "demo", one widget
# package (.oex) per folder of demo/opera/widgets (the 32-bit Opera's) and
# demo/opera/widgets-x64 (the 64-bit Opera's), packed with zippack from the
# real extension files there (demo/opera/SOURCES.txt says where each comes
# from). Uses $here, $c, $user and $build of build-prefix.sh.
zippack="$build/tools/zippack/zippack"
opera_local="$c/users/$user/AppData/Local/Opera"
for pair in "widgets:Opera" "widgets-x64:Opera x64"; do
  source_dir="$here/opera/${pair%%:*}"
  target="$opera_local/${pair#*:}/widgets"
  mkdir -p "$target"
  for folder in "$source_dir"/*/; do
    name="$(basename "$folder")"
    "$zippack" "$target/$name.oex" "$folder"
  done
done
