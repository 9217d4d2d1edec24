#!/usr/bin/env bash
# The file-system calls one iteration of a benchmark makes, counted by
# strace: the benchmark runs twice, for a short and a longer time, and the
# difference of the counts is divided by the difference of the iterations,
# so that the machine's set-up drops out.
#   [FS_CALLS_TIME=seconds] bench/fs_calls.sh build-rel/bench/full_collection_bench BM_CollectAllAddonInfo1000 [per]
# With `per`, the counts are also given divided by it (calls per add-on).
set -euo pipefail
bench=$1 filter=$2 per=${3:-}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
calls='newfstatat,statx,lstat,stat,fstat,readlink,readlinkat,openat,open,getdents64,close,read,pread64,mmap,access,faccessat2,mkdir,unlink,rename,renameat2'
run() { # name min-time
  strace -f -qq -c -U name,calls -e trace="$calls" -o "$out/$1.strace" \
    "$bench" --benchmark_filter="$filter" --benchmark_min_time="$2" --benchmark_format=json >"$out/$1.json"
  jq '.benchmarks[0].iterations' "$out/$1.json" >"$out/$1.iterations"
}
run short 0.01
run long "${FS_CALLS_TIME:-4}"
python3 - "$out" "$per" <<'PY'
import sys, re
out, per = sys.argv[1], sys.argv[2]
def counts(name):
    c = {}
    for line in open(f"{out}/{name}.strace"):
        m = re.match(r"\s*(\w+)\s+(\d+)\s*$", line)
        if m: c[m.group(1)] = int(m.group(2))
    return c, int(open(f"{out}/{name}.iterations").read())
(a, ia), (b, ib) = counts("short"), counts("long")
runs = ib - ia
print(f"iterations {ia} and {ib}; calls per iteration" + (f" (and per {per})" if per else ""))
total = 0
for k in sorted((set(a) | set(b)) - {"total"}, key=lambda k: -(b.get(k, 0) - a.get(k, 0))):
    n = (b.get(k, 0) - a.get(k, 0)) / runs
    if n < 0.5: continue
    total += n
    print(f"  {k:12} {n:10.0f}" + (f" {n / float(per):8.2f}" if per else ""))
print(f"  {'all':12} {total:10.0f}" + (f" {total / float(per):8.2f}" if per else ""))
PY
