#!/usr/bin/env bash
# Idle cost of the running program, under a private Xvfb (tests/support/with-xvfb) with openbox:
#   idle.sh PROGRAM [BASELINE] [ROUNDS]
# Each round starts PROGRAM (and BASELINE, another build to compare with, side by side on the
# same display) with every timer running (banner 20 ms, trigger 100 ms, poll 100 ms, hidden
# bird 500 ms), waits 2 s, then measures both over the same 30 s: CPU in % of one core and
# resident memory. Start-up (exec to the main window mapped) is the median of 5 starts each,
# the two builds taking turns. Limits: idle CPU 1 % and at most 0.4x the baseline's, resident
# memory 38 MiB, start-up 300 ms.
set -euo pipefail
program=$1
baseline=${2:-}
rounds=${3:-3}
work=$(mktemp -d /tmp/pelloway-bench.XXXXXX)
openbox >/dev/null 2>&1 &
wm=$!
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    kill "$wm" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
# A runtime folder of our own: the programs' single-instance locks stay in it.
mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run"

# A program folder of its own for each build, with settings so that no dialog opens: a server
# and an account are set, and an interval of 30 minutes arms the counting tick.
install_copy() { # NAME EXECUTABLE -> path of the copied executable
    local dir="$work/$1"
    mkdir -p "$dir/cwd"
    cp -r "$(dirname "$2")" "$dir/program"
    rm -f "$dir/program/per-user-folders" # the copy keeps its files in its own folder
    printf 'SMTP=\r\nPOP3=127.0.0.1:9\r\nMAIL=\r\nAPOP=0\r\n' >"$dir/cwd/vbmail.ini"
    printf '[EXEINI]\r\nNAME=a\r\nNAME2=b\r\nNAME3=1\r\n' >"$dir/program/★MailData/iniIdPass.ini"
    printf '[EXEINI]\r\nNUMBER=0\r\nNUMBER2=30\r\n' >"$dir/program/★MailData/ini.ini"
    echo "$dir/program/$(basename "$2")"
}
names=(new)
exes=("$(install_copy new "$program")")
if [ -n "$baseline" ]; then
    names+=(old)
    exes+=("$(install_copy old "$baseline")")
fi

ms() { echo $(($(date +%s%N) / 1000000)); }
start() { # INDEX -> pid, once its main window is mapped
    (cd "$work/${names[$1]}/cwd" && exec "${exes[$1]}" >/dev/null 2>&1) &
    local p=$!
    pids+=("$p")
    until xdotool search --onlyvisible --pid "$p" --name '^Pelloway$' >/dev/null 2>&1; do sleep 0.005; done
    echo "$p"
}
stop() { kill "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; }
# Nanoseconds on a CPU, all threads: exact, where the tick-sampled times of /proc/PID/stat
# charge whole 10 ms ticks to a program that wakes 50 times a second.
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ s += $1 } END { printf "%.0f", s }'; }
rss_mib() { awk '/^VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }

declare -A starts
for i in 1 2 3 4 5; do
    for k in "${!names[@]}"; do
        t0=$(ms)
        p=$(start "$k")
        starts[$k]+="$(($(ms) - t0)) "
        stop "$p"
    done
done
for k in "${!names[@]}"; do
    median=$(printf '%s\n' ${starts[$k]} | sort -n | sed -n 3p)
    echo "startup_ms ${names[$k]}=$median limit=300 runs=${starts[$k]}"
done

printf '%-6s %12s %12s %10s %10s %8s\n' round cpu_new_% cpu_old_% rss_new rss_old ratio
declare -a sums=(0 0)
for r in $(seq "$rounds"); do
    running=()
    for k in "${!names[@]}"; do running+=("$(start "$k")"); done
    sleep 2
    before=()
    for p in "${running[@]}"; do before+=("$(cpu_ns "$p")"); done
    sleep 30
    cpu=()
    rss=()
    for k in "${!running[@]}"; do
        p=${running[$k]}
        cpu+=("$(awk -v a="${before[k]}" -v b="$(cpu_ns "$p")" 'BEGIN { printf "%.2f", 100 * (b - a) / 30e9 }')")
        rss+=("$(rss_mib "$p")")
    done
    for p in "${running[@]}"; do stop "$p"; done
    ratio=-
    if [ -n "$baseline" ]; then
        ratio=$(awk -v a="${cpu[0]}" -v b="${cpu[1]}" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
    fi
    printf '%-6s %12s %12s %10s %10s %8s\n' "$r" "${cpu[0]}" "${cpu[1]:--}" "${rss[0]}" "${rss[1]:--}" "$ratio"
    sums[0]=$(awk -v s="${sums[0]}" -v c="${cpu[0]}" 'BEGIN { print s + c }')
    sums[1]=$(awk -v s="${sums[1]}" -v c="${cpu[1]:-0}" 'BEGIN { print s + c }')
done
mean_new=$(awk -v s="${sums[0]}" -v n="$rounds" 'BEGIN { printf "%.2f", s / n }')
echo "idle_cpu_percent new=$mean_new limit=1.0 (mean of $rounds rounds of 30 s)"
if [ -n "$baseline" ]; then
    mean_old=$(awk -v s="${sums[1]}" -v n="$rounds" 'BEGIN { printf "%.2f", s / n }')
    echo "idle_cpu_percent old=$mean_old ratio=$(awk -v a="$mean_new" -v b="$mean_old" 'BEGIN { printf "%.2f", a / b }') limit=0.40"
fi
echo "idle_rss_mib limit=38 (last column pair above; resident memory includes shared libraries and fonts)"
