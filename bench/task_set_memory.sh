#!/usr/bin/env bash
# The agent's memory around a large task set: the bundled server sends a
# generated contest of TESTS tests of MIB MiB input and output each (the body
# is about 2.7 x TESTS x MIB MiB of base64), and the agent's peak (VmHWM) and
# resident size (VmRSS) are read once it has stored the set and idles.
# Usage: bench/task_set_memory.sh BIN-DIR [TESTS [MIB]]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$(cd "$1" && pwd)"
tests="${2:-40}"
mib="${3:-1}"
scratch="$(mktemp -d /tmp/pb-mem-XXXXXX)"
pids=""
trap 'for p in $pids; do kill -KILL "$p" 2>/dev/null || true; done; wait 2>/dev/null; rm -rf "$scratch"' EXIT

contest="$scratch/c"
mkdir -p "$contest/tasks/1-big/tests" "$contest/submissions"
printf 'name = Big\ntime-limit = 1\n' >"$contest/tasks/1-big/task.ini"
python3 - "$contest/tasks/1-big/tests" "$tests" "$mib" <<'PY'
import os, random, sys
folder, tests, mib = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for i in range(1, tests + 1):
    line = " ".join(str(random.randrange(10 ** 9)) for _ in range(100)) + "\n"
    text = (line * ((mib << 20) // len(line) + 1))[: mib << 20]
    for ext in ("in", "out"):
        with open(os.path.join(folder, f"{i}.{ext}"), "w") as f:
            f.write(text)
PY
printf 'ok.py 1 python3 accepted\n' >"$contest/submissions.txt"
printf 'pass\n' >"$contest/submissions/ok.py"

python3 "$root/tools/contest_server/contest_server.py" --contest "$contest" --port 0 \
        --port-file "$scratch/port" --on-finish wait --timeout 300 >"$scratch/server.log" 2>&1 &
pids="$!"
for _ in $(seq 300); do [ -s "$scratch/port" ] && break; sleep 0.1; done
mkdir -p "$scratch/a"
printf '[SOCKET]\nhostname=127.0.0.1\nport=%s\n\n[FOLDERS]\nsource=%s/s/\nwork=%s/w/\ntest=%s/t/\n\n[COMPILER]\nname=python3\noptions=?s\ndir=%s/\next=py\ntimeout=30000\nfile=%s\n\n' \
  "$(cat "$scratch/port")" "$scratch/a" "$scratch/a" "$scratch/a" "$scratch" \
  "$root/compilers/probator-python3" >"$scratch/a/Probator.ini"
(cd "$scratch/a" && exec "$bin/probator" </dev/null >/dev/null 2>"$scratch/agent.log") &
agent=$!
pids="$pids $agent"
for _ in $(seq 1200); do grep -q "task set sent" "$scratch/server.log" && break; sleep 0.1; done
body=$(sed -n 's/.*task set sent (\([0-9]*\) bytes).*/\1/p' "$scratch/server.log")
for _ in $(seq 1200); do grep -q "every submission has its verdict" "$scratch/server.log" && break; sleep 0.1; done
sleep 1
hwm=$(awk '/VmHWM/ {print $2}' "/proc/$agent/status")
rss=$(awk '/VmRSS/ {print $2}' "/proc/$agent/status")
awk -v body="$body" -v hwm="$hwm" -v rss="$rss" 'BEGIN {
  printf "task set body: %.1f MiB\npeak (VmHWM): %.1f MiB = %.2f x body\nidle (VmRSS): %.1f MiB\n",
         body / 1048576, hwm / 1024, hwm * 1024 / body, rss / 1024 }'
