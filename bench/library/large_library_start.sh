#!/bin/bash
# A start of the whole program (headless, driver `idle` then `quit`) on a device whose books
# folder holds 10,000 and then 20,000 books (links to one 1 MB book, so the disk holds one),
# from the library's cache made by a first run; the runs of both sizes alternate, and the
# medians of their wall and CPU times are printed with their ratio (near 2 when linear).
#   bench/library/large_library_start.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:?build folder}
runs=${2:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/shell/program_bench" --write-book "$work/book.prc" 1
printf 'idle\nquit\n' > "$work/steps.txt"
start() {
    FOLIVANT_DEVICE=$work/lib$1 FOLIVANT_DISPLAY=headless FOLIVANT_DRIVER=$work/steps.txt \
        /usr/bin/time -f "$1 %e %U %S" "$build/folivant" 2>&1 >/dev/null | tail -1
}
for n in 10000 20000; do
    mkdir -p "$work/lib$n/storage/eBooks"
    for i in $(seq 1 $n); do ln "$work/book.prc" "$work/lib$n/storage/eBooks/book$i.prc"; done
    start $n > /dev/null  # makes the cache
done
for _ in $(seq 1 "$runs"); do start 10000; start 20000; done | python3 -c '
import sys, statistics as st
rows = [l.split() for l in sys.stdin if l.strip()]
def med(n, f): return st.median(f(r) for r in rows if r[0] == n)
for n in ("10000", "20000"):
    print("%s books: wall %.3f s, cpu %.3f s" % (n, med(n, lambda r: float(r[1])),
          med(n, lambda r: float(r[2]) + float(r[3]))))
print("ratio (wall): %.2f" % (med("20000", lambda r: float(r[1])) / med("10000", lambda r: float(r[1]))))'
