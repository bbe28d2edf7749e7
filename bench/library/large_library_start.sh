#!/bin/bash
# A start of the whole program (headless, driver `idle` then `quit`) on a device whose books
# folder holds 10,000 and then 20,000 books (links to one 1 MB book, so the disk holds one),
# from the library's cache made by a first run; the runs of both sizes alternate, and the
# medians of their wall and CPU times are printed with their ratio (near 2 when linear). With a
# second program (a copy of an earlier build's), each start of this build is paired with one of
# that program on the same device, so that both see the same load.
#   bench/library/large_library_start.sh BUILD_DIR [RUNS] [EARLIER_PROGRAM]
set -euo pipefail
build=${1:?build folder}
runs=${2:-7}
earlier=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/shell/program_bench" --write-book "$work/book.prc" 1
printf 'idle\nquit\n' > "$work/steps.txt"
programs=("$build/folivant")
[ -n "$earlier" ] && programs+=("$earlier")
start() {  # start PROGRAM BOOKS
    FOLIVANT_DEVICE=$work/lib$2 FOLIVANT_DISPLAY=headless FOLIVANT_DRIVER=$work/steps.txt \
        /usr/bin/time -f "$1 $2 %e %U %S" "$1" 2>&1 >/dev/null | tail -1
}
for n in 10000 20000; do
    mkdir -p "$work/lib$n/storage/eBooks"
    for i in $(seq 1 $n); do ln "$work/book.prc" "$work/lib$n/storage/eBooks/book$i.prc"; done
    start "${programs[0]}" $n > /dev/null  # makes the cache
done
for _ in $(seq 1 "$runs"); do
    for n in 10000 20000; do for p in "${programs[@]}"; do start "$p" $n; done; done
done | python3 -c '
import sys, statistics as st
rows = [l.split() for l in sys.stdin if l.strip()]
for p in dict.fromkeys(r[0] for r in rows):
    def med(n, f): return st.median(f(r) for r in rows if r[0] == p and r[1] == n)
    wall = {n: med(n, lambda r: float(r[2])) for n in ("10000", "20000")}
    cpu = {n: med(n, lambda r: float(r[3]) + float(r[4])) for n in ("10000", "20000")}
    print(p)
    for n in ("10000", "20000"):
        print("  %s books: wall %.3f s, cpu %.3f s" % (n, wall[n], cpu[n]))
    print("  ratio: wall %.2f, cpu %.2f" % (wall["20000"] / wall["10000"], cpu["20000"] / cpu["10000"]))'
