#!/bin/bash
# The CPU an idle reader window takes: the program under a private Xvfb, a page of an HTML book
# shown, nothing happening; its user and system time over SECONDS (default 10) as a share of one
# core.   bench/shell/idle_window_cpu.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=${1:?build folder}
seconds=${2:-10}
work=$(mktemp -d)
cleanup() {
    [[ -n ${reader:-} ]] && kill "$reader" 2>/dev/null && wait "$reader" 2>/dev/null || true
    [[ -n ${xserver:-} ]] && kill "$xserver" 2>/dev/null && wait "$xserver" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/device/storage/eBooks"
{
    echo '<html><body><h1>Idle</h1>'
    for i in $(seq 1 200); do echo "<p>Paragraph $i of a page left open, <b>some</b> <i>words</i>.</p>"; done
    echo '</body></html>'
} > "$work/device/storage/eBooks/idle.html"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xserver=$!
for _ in $(seq 1 100); do [[ -s $work/display ]] && break; sleep 0.05; done
display=:$(head -1 "$work/display")
DISPLAY=$display FOLIVANT_DISPLAY=sdl SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy \
    FOLIVANT_DEVICE=$work/device "$build/folivant" '\storage\eBooks\idle.html' &
reader=$!
sleep 3
ticks() { awk '{print $14 + $15}' "/proc/$reader/stat"; }
hz=$(getconf CLK_TCK)
a=$(ticks)
sleep "$seconds"
b=$(ticks)
awk -v a="$a" -v b="$b" -v hz="$hz" -v s="$seconds" \
    'BEGIN { printf "idle window: %.2f%% of a core over %d s (%d ticks)\n", 100 * (b - a) / hz / s, s, b - a }'
