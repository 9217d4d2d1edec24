#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz/, and runs each for a given time
# with the real browser files of the shared fixtures as seeds.
#   scripts/fuzz.sh [seconds per target, default 60] [targets running at once, default 3] [target...]
# Findings (crash-*, leak-*, timeout-*, oom-*) land in build-fuzz/findings/<target>/,
# each run's log in build-fuzz/logs/<target>.log.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
parallel=${2:-3}
shift $(( $# > 2 ? 2 : $# ))
all=(json_fuzz xml_fuzz plist_fuzz rdf_fuzz widget_fuzz ignorelist_fuzz unzip_fuzz)
if [ $# -gt 0 ]; then targets=("$@"); else targets=("${all[@]}"); fi

command -v clang++ >/dev/null || { echo "clang++ is needed for libFuzzer" >&2; exit 1; }
fixtures=${SORLIX_FIXTURES:-$PWD/../shared/fixtures/real-browser-data}
[ -d "$fixtures" ] || { echo "no fixtures at $fixtures" >&2; exit 1; }

build=build-fuzz
CXX=clang++ cmake -S . -B "$build" -G Ninja -DSORLIX_FUZZ=ON -DSORLIX_SANITIZE=ON -DSORLIX_BENCH=OFF >/dev/null
ninja -C "$build" -j4 "${targets[@]}"

# Seeds: the fixtures' files by kind; widget configurations come packed.
seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds"/{json,xml,plist,rdf,widget,ignorelist,unzip}
copy() { # kind, find arguments...
  local kind=$1; shift
  find "$fixtures" -type f "$@" -print0 | while IFS= read -r -d '' f; do
    cp "$f" "$seeds/$kind/$(printf '%s' "$f" | md5sum | cut -c1-16)"
  done
}
copy json -name '*.json'
copy plist -name '*.plist'
copy rdf -name '*.rdf'
copy ignorelist -name '*.ini'
copy unzip \( -name '*.xpi' -o -name '*.oex' \)
find "$fixtures" -type f -name '*.oex' -print0 | while IFS= read -r -d '' f; do
  unzip -p "$f" config.xml > "$seeds/widget/$(printf '%s' "$f" | md5sum | cut -c1-16)" 2>/dev/null || true
done
find "$seeds/widget" -type f -empty -delete
cp "$seeds"/plist/* "$seeds"/rdf/* "$seeds"/widget/* "$seeds/xml/"

# The runtime is a shared library (see CMakeLists.txt), loaded after libc.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:verify_asan_link_order=0
export LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$build/logs"
run() {
  local t=$1 kind=${1%_fuzz}
  local corpus=$build/corpus/$kind findings=$build/findings/$t
  mkdir -p "$corpus" "$findings"
  # Each target runs on its own temporary prefix.
  "$build/fuzz/$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "$seeds/$kind" > "$build/logs/$t.log" 2>&1 || true
  local execs
  execs=$(grep -m1 'stat::number_of_executed_units' "$build/logs/$t.log" | awk '{print $2}')
  echo "$t: ${execs:-?} executions, $(find "$findings" -type f | wc -l) findings"
}
running=0
for t in "${targets[@]}"; do
  run "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$parallel" ]; then wait -n; running=$((running - 1)); fi
done
wait
