#!/usr/bin/env bash
# The soak: the agent judges N solutions of mixed verdicts, served by the
# bundled contest server, while its memory, descriptors, child processes and
# folder contents are sampled after every STEP verdicts. It prints one line
# per sample and fails when any of them grows from the first sample (taken
# once the agent is warm) to the last (the agent at rest after the last
# verdict), or when a verdict is not the expected one.
#
# Usage: tools/soak/soak.sh [--bin DIR] [N] [STEP]
#   --bin DIR  the probator and spawnlet to soak (default build/release/bin)
#   N          solutions to judge (default 300)
#   STEP       verdicts between samples (default N/6)
#
# Everything it writes lives in /tmp/probator-soak-PID/, removed at the end
# unless something failed.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"

bin="$root/build/release/bin"
if [ "${1:-}" = "--bin" ]; then bin="$(cd "$2" && pwd)"; shift 2; fi
count=${1:-300}
step=${2:-$(( count / 6 > 0 ? count / 6 : 1 ))}

# Memory may move by allocator noise, the folders by what the solution being
# judged has left in the work folder; descriptors and children may not move.
rss_slack_kib=4096
entries_slack=10

scratch="/tmp/probator-soak-$$"
for key in hostname port source work test name file options dir ext timeout; do
  case "$scratch" in *"$key"*) echo "soak: scratch path $scratch holds '$key'" >&2; exit 2 ;; esac
done
rm -rf "$scratch"
mkdir -p "$scratch/compilers" "$scratch/contest/submissions"
cp "$root"/compilers/probator-* "$scratch/compilers/"
cp -r "$root/contests/sample/tasks" "$scratch/contest/"
cp "$root"/contests/sample/submissions/* "$scratch/contest/submissions/"

# Python solutions compile and start fast, so most of the mix is Python; one
# in 25 is C, and one in 100 runs into the time limit.
sub="$scratch/contest/submissions"
printf 'a, b = map(int, open("input.txt").read().split())\nopen("output.txt", "w").write(str(a + b + 1))\n' >"$sub/sum_off.py"
printf 'raise SystemExit(3)\n' >"$sub/sum_exit.py"
printf 'def (:\n' >"$sub/sum_syntax.py"
printf 'pass\n' >"$sub/sum_silent.py"
mix=(
  "sum.py 1 python3 accepted"
  "sum_off.py 1 python3 wrong-answer 1"
  "factor.py 2 python3 accepted"
  "sum_exit.py 1 python3 run-time-error 1"
  "sum_syntax.py 1 python3 compile-error"
  "factor_words.py 2 python3 output-format 1"
  "sum_silent.py 1 python3 output-format 1"
  "sum.py 7 python3 error wrong task number"
  "sum.py 1 clang error wrong compiler line"
)
{
  for ((i = 0; i < count; i++)); do
    if ((i % 100 == 99)); then echo "sum_forever.c 1 gcc time-out 1"
    elif ((i % 25 == 24)); then echo "sum_negative.c 1 gcc run-time-error 2"
    else echo "${mix[i % ${#mix[@]}]}"; fi
  done
} >"$scratch/contest/submissions.txt"

server_pid=""
agent_pid=""
finish() {
  for pid in $agent_pid $server_pid; do kill -TERM "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap finish EXIT

python3 "$root/tools/contest_server/contest_server.py" --contest "$scratch/contest" \
        --port 0 --port-file "$scratch/port" --timeout 0 --on-finish close \
        >"$scratch/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do [ -s "$scratch/port" ] && break; sleep 0.1; done
[ -s "$scratch/port" ] || { cat "$scratch/server.log" >&2; echo "soak: no server" >&2; exit 1; }

compiler() {  # name, extension
  printf '[COMPILER]\nname=%s\noptions=?s\ndir=%s/\next=%s\ntimeout=30000\nfile=%s\n\n' \
         "$1" "$scratch" "$2" "$scratch/compilers/probator-$1"
}
{
  printf '[SOCKET]\nhostname=127.0.0.1\nport=%s\n\n' "$(cat "$scratch/port")"
  printf '[FOLDERS]\nsource=%s/\nwork=%s/\ntest=%s/\n\n' \
         "$scratch/source" "$scratch/work" "$scratch/tests"
  compiler gcc c
  compiler g++ cpp
  compiler python3 py
} >"$scratch/Probator.ini"

cd "$scratch"
"$bin/probator" </dev/null >"$scratch/probator.log" 2>&1 &
agent_pid=$!

# One sample: resident memory (KiB), open descriptors, child processes, and
# entries in the agent's three folders.
sample() {
  local rss fds children entries
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$agent_pid/status")
  fds=$(ls "/proc/$agent_pid/fd" | wc -l)
  children=$(cat /proc/"$agent_pid"/task/*/children | wc -w)
  entries=$(find "$scratch/source" "$scratch/work" "$scratch/tests" | wc -l)
  echo "$rss $fds $children $entries"
}

echo "soak: $count solutions, a sample every $step verdicts; log in $scratch"
printf '%9s %10s %5s %9s %8s\n' verdicts rss_kib fds children entries
samples=()
next=$step
while kill -0 "$server_pid" 2>/dev/null; do
  if ! kill -0 "$agent_pid" 2>/dev/null; then kill -TERM "$server_pid" 2>/dev/null || true; break; fi
  done_count=$(grep -c 'verdict:' "$scratch/server.log" || true)
  if ((done_count >= next)); then
    # Between two runs the agent holds no child: wait for such a moment.
    for _ in $(seq 50); do
      line=$(sample 2>/dev/null) || break
      [ "$(echo "$line" | cut -d' ' -f3)" = 0 ] && break
      sleep 0.02
    done
    samples+=("$line")
    printf '%9s %10s %5s %9s %8s\n' "$done_count" $line
    next=$(((done_count / step + 1) * step))
  fi
  sleep 0.2
done

status=0
wait "$server_pid" || status=$?
server_pid=""
grep -E 'verdicts matched|differ|without a verdict' "$scratch/server.log" | tail -2 || true

# The server has closed the connection; the agent, idle now, keeps running
# until it is stopped: the last sample is of the agent at rest.
if kill -0 "$agent_pid" 2>/dev/null; then
  sleep 1.5
  last=$(sample)
  printf '%9s %10s %5s %9s %8s\n' end $last
else
  echo "soak: the agent ended before the contest did" >&2
  status=1
fi
kill -TERM "$agent_pid" 2>/dev/null || true
wait "$agent_pid" || true
agent_pid=""

if [ "$status" -eq 0 ] && ((${#samples[@]} > 0)); then
  read -r rss0 fds0 child0 entries0 <<<"${samples[0]}"
  read -r rss1 fds1 child1 entries1 <<<"$last"
  echo "trend, first sample to rest: rss $((rss1 - rss0)) KiB, fds $((fds1 - fds0)),"\
       "children $child1 left, entries $((entries1 - entries0))"
  if ((rss1 - rss0 > rss_slack_kib || fds1 > fds0 || child1 > 0 ||
        entries1 - entries0 > entries_slack)); then
    echo "soak: the agent grew" >&2
    status=1
  fi
elif [ "$status" -eq 0 ]; then
  echo "soak: no sample was taken" >&2
  status=1
fi
if [ "$status" -eq 0 ]; then
  rm -rf "$scratch"
  echo "soak: no growth"
else
  echo "soak: failed; see $scratch" >&2
fi
exit "$status"
