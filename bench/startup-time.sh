#!/bin/bash
# Start-up to the first window shown: starts the program (an empty note) on a private X server
# several times and prints how long each took until a window of it was mapped, with the spread.
# Each run has a fresh home but shares the cache folder; the first run warms the caches (the
# media framework's plugin registry among them) and is not counted.
# Usage: bench/startup-time.sh build/test/src/app/lumaquill [runs]
set -euo pipefail
program=$(realpath "$1")
runs=${2:-10}
work=$(mktemp -d /tmp/lq-startup-XXXXXX)
# A free display: another server may take the one tried first.
server=
trap '[ -n "$server" ] && kill $server 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 20); do
    display=:$((300 + RANDOM % 600))
    Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
    server=$!
    for _ in $(seq 50); do
        kill -0 "$server" 2>/dev/null || break
        # Still ours a moment later: a server found there may have been another one's.
        xdpyinfo -display "$display" >/dev/null 2>&1 && sleep 0.5 && kill -0 "$server" 2>/dev/null &&
            break 2
        sleep 0.1
    done
    kill "$server" 2>/dev/null || true
    server=
done
[ -n "$server" ] || { echo "no X server could be started" >&2; exit 1; }

times=()
for run in $(seq 0 "$runs"); do
    home="$work/home-$run"
    mkdir -p "$home/run" && chmod 700 "$home/run"
    start=$(date +%s%N)
    DISPLAY=$display QT_QPA_PLATFORM=xcb HOME=$home XDG_CONFIG_HOME=$home/.config \
        XDG_DATA_HOME=$home/.local/share XDG_RUNTIME_DIR=$home/run XDG_CACHE_HOME=$work/cache LUMAQUILL_ALERTS=log \
        "$program" >"$work/log-$run" 2>&1 &
    pid=$!
    until DISPLAY=$display xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; do
        kill -0 "$pid" 2>/dev/null || { echo "the program ended before showing a window" >&2; cat "$work/log-$run" >&2; exit 1; }
        sleep 0.005
    done
    shown=$(date +%s%N)
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    [ "$run" -gt 0 ] && times+=($(((shown - start) / 1000000)))
done
printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END {
    printf "first window shown, ms over %d runs: min %d, median %d, max %d\n",
        NR, t[1], t[int((NR + 1) / 2)], t[NR] }'
