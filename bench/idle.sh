#!/usr/bin/env bash
# Runs under a private Xvfb (tests/support/with-xvfb) with openbox:
#  - start-up: from exec to the main window being mapped, median of 5 starts (limit 300 ms);
#  - idle: CPU over 30 s with every timer running (banner 20 ms, trigger 100 ms, poll 100 ms,
#    hidden bird 500 ms), limit 1 % of a core; resident memory, limit 40 MiB.
set -euo pipefail
program=$1
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
cd "$work"
# Settings so that no dialog opens: a server and an account are set; interval 1 arms the tick.
printf 'SMTP=\r\nPOP3=127.0.0.1:9\r\nMAIL=\r\nAPOP=0\r\n' > vbmail.ini
appdir=$(dirname "$program")
cp -r "$appdir" "$work/program"
rm -f "$work/program/per-user-folders" # the copy keeps its files in its own folder
mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run"
printf '[EXEINI]\r\nNAME=a\r\nNAME2=b\r\nNAME3=1\r\n' > "$work/program/★MailData/iniIdPass.ini"
printf '[EXEINI]\r\nNUMBER=0\r\nNUMBER2=30\r\n' > "$work/program/★MailData/ini.ini"
exe="$work/program/$(basename "$program")"

ms() { echo $(( $(date +%s%N) / 1000000 )); }
starts=()
for i in 1 2 3 4 5; do
    t0=$(ms)
    "$exe" >/dev/null 2>&1 &
    p=$!
    pids+=("$p")
    until xdotool search --onlyvisible --name '^Pelloway$' >/dev/null 2>&1; do sleep 0.005; done
    t1=$(ms)
    starts+=($((t1 - t0)))
    kill "$p"; wait "$p" 2>/dev/null || true
done
median=$(printf '%s\n' "${starts[@]}" | sort -n | sed -n 3p)
echo "startup_ms=$median limit=300 runs=${starts[*]}"

"$exe" >/dev/null 2>&1 &
p=$!
pids+=("$p")
xdotool search --sync --onlyvisible --name '^Pelloway$' >/dev/null
sleep 2
ticks=$(getconf CLK_TCK)
read -r u0 s0 < <(awk '{ print $14, $15 }' "/proc/$p/stat")
sleep 30
read -r u1 s1 < <(awk '{ print $14, $15 }' "/proc/$p/stat")
rss_kb=$(awk '/^VmRSS/ { print $2 }' "/proc/$p/status")
anon_kb=$(awk '/^RssAnon/ { print $2 }' "/proc/$p/status")
cpu=$(awk -v d=$(( (u1 + s1) - (u0 + s0) )) -v t="$ticks" 'BEGIN { printf "%.2f", 100 * d / t / 30 }')
echo "idle_cpu_percent=$cpu limit=1.0"
echo "idle_rss_mib=$(awk -v k="$rss_kb" 'BEGIN { printf "%.1f", k / 1024 }') limit=40 (of it anonymous: $(awk -v k="$anon_kb" 'BEGIN { printf "%.1f", k / 1024 }') MiB; the rest is shared libraries and fonts)"
