#!/usr/bin/env bash
# The operator's side, end to end with the bundled contest server and two real
# agents on separate folders of one machine:
#   stop:  the agent judging a submission gets SIGTERM; it sends no verdict,
#          closes the connection, and the server gives the submission to the
#          other agent, which judges it right;
#   lock:  a third agent given the first one's folders refuses to start and
#          names the agent that holds them;
#   reconnect: an agent with [OPERATOR] reconnect=1 outlives a server that
#          dies mid-judging, and judges the submission again for the server
#          started anew on the same port.
# Usage: tests/operator/stop_and_reconnect.sh --bin DIR
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
bin="$(cd "$2" && pwd)"

scratch="$(mktemp -d /tmp/pb-op-XXXXXX)"
pids=""
finish() {
  for pid in $pids; do kill -KILL "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap finish EXIT
fail() {
  echo "FAILED: $*" >&2
  for log in "$scratch"/*.log; do echo "--- $log" >&2; cat "$log" >&2; done
  exit 1
}
# Waits up to 30 s for FILE to hold TEXT.
wait_for() {
  for _ in $(seq 300); do grep -qF -- "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  fail "no '$2' in $1"
}

# One task; the one submission takes two seconds before it answers right.
contest="$scratch/c"
mkdir -p "$contest/tasks/1-sum/tests" "$contest/submissions"
printf 'name = Sum\ntime-limit = 20\n' >"$contest/tasks/1-sum/task.ini"
printf '1 2\n' >"$contest/tasks/1-sum/tests/1.in"
printf '3\n' >"$contest/tasks/1-sum/tests/1.out"
printf 'slow.py 1 python3 accepted\n' >"$contest/submissions.txt"
printf 'import time\ntime.sleep(2)\na, b = map(int, open("input.txt").read().split())\nopen("output.txt", "w").write(f"{a + b}\\n")\n' \
  >"$contest/submissions/slow.py"

python3 "$root/tools/contest_server/contest_server.py" --contest "$contest" --testers 2 \
        --port 0 --port-file "$scratch/port" --timeout 120 >"$scratch/server.log" 2>&1 &
server=$!
pids="$server"
for _ in $(seq 100); do [ -s "$scratch/port" ] && break; sleep 0.1; done

# Agent N's configuration and folders: a/N/.
configure() {
  mkdir -p "$scratch/a$1"
  {
    [ "${3:-}" = reconnect ] &&
      printf '[OPERATOR]\nreconnect=1\nreconnect_max_delay_s=1\n\n' >"$scratch/a$1/operator"
    printf '[SOCKET]\nhostname=127.0.0.1\nport=%s\n\n' "$(cat "$scratch/port")"
    printf '[FOLDERS]\nsource=%s/s/\nwork=%s/w/\ntest=%s/t/\n\n' "$2" "$2" "$2"
    printf '[COMPILER]\nname=python3\noptions=?s\ndir=%s/\next=py\ntimeout=30000\nfile=%s\n\n' \
           "$scratch" "$root/compilers/probator-python3"
    cat "$scratch/a$1/operator" 2>/dev/null || true
  } >"$scratch/a$1/Probator.ini"
}
start_agent() {
  (cd "$scratch/a$1" && exec "$bin/probator" </dev/null >"$scratch/agent$1.out" 2>"$scratch/agent$1.log") &
  eval "agent$1=$!"
  pids="$pids $!"
}

configure 1 "$scratch/a1"
configure 2 "$scratch/a2"
start_agent 1
wait_for "$scratch/server.log" "tester 1: ready"

# lock: a third agent on agent 1's folders.
configure 3 "$scratch/a1"
(cd "$scratch/a3" && "$bin/probator" </dev/null >"$scratch/agent3.out" 2>"$scratch/agent3.log") ||
  true
grep -q 'failed="held by another agent" holder=' "$scratch/agent3.log" ||
  fail "a second agent on the same folders was not refused"
[ -d "$scratch/a1/s" ] || fail "the refused agent removed the folders of another"

start_agent 2
wait_for "$scratch/server.log" "tester 1: submission 1 sent"
wait_for "$scratch/agent1.log" "submission: task=1"
sleep 0.5
kill -TERM "$agent1"
wait "$agent1" || true
grep -q "verdict: none: stopped while judging" "$scratch/agent1.log" ||
  fail "the stopped agent did not say it sent no verdict"
grep -q "tester 1: submission 1 verdict" "$scratch/server.log" &&
  fail "the stopped agent sent a verdict"
wait_for "$scratch/server.log" "tester 2: submission 1 verdict: accepted (as expected)"
wait "$server" || fail "the contest server ended with a failure"
echo "stop: no verdict from the stopped agent; the other judged the submission right"
echo "lock: a second agent on the same folders was refused"

# reconnect
rm -f "$scratch/port"
python3 "$root/tools/contest_server/contest_server.py" --contest "$contest" \
        --port 0 --port-file "$scratch/port" --timeout 120 >"$scratch/server1.log" 2>&1 &
server=$!
pids="$pids $server"
for _ in $(seq 100); do [ -s "$scratch/port" ] && break; sleep 0.1; done
configure 4 "$scratch/a4" reconnect
start_agent 4
wait_for "$scratch/server1.log" "tester 1: submission 1 sent"
kill -KILL "$server"
wait "$server" || true
wait_for "$scratch/agent4.log" "reconnect: connection ended; next try in 1 s"
python3 "$root/tools/contest_server/contest_server.py" --contest "$contest" \
        --port "$(cat "$scratch/port")" --timeout 120 >"$scratch/server2.log" 2>&1 &
server=$!
pids="$pids $server"
wait_for "$scratch/server2.log" "tester 1: submission 1 verdict: accepted (as expected)"
wait "$server" || fail "the restarted contest server ended with a failure"
# The finished contest's 400 ends the connection; the agent tries again.
wait_for "$scratch/agent4.log" "error server: status=400"
wait_for "$scratch/agent4.log" "reconnect: server not reached"
kill -TERM "$agent4"
wait "$agent4" || fail "the agent with reconnection did not end cleanly on SIGTERM"
echo "reconnect: the agent judged the submission for the restarted server"
rm -rf "$scratch"
