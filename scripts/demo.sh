#!/usr/bin/env bash
# The demo: builds both programs, then lets the agent judge the sample contest
# (contests/sample), or another contest folder, served by the bundled contest
# server, on this machine.
#
# In a terminal the agent's screen shows the judging; when every verdict is in,
# the server stops the agent, whose screen stays up until a key is pressed.
# Elsewhere (a pipe, CI) the agent's log goes to a file and the demo ends by
# itself. Either way the server's verdict table ends the demo, and the exit
# status is 0 when every verdict matched the expected one.
#
# Usage: scripts/demo.sh [--bin DIR] [--contest DIR]
#   --bin DIR      use the probator and spawnlet already built in DIR; build nothing
#   --contest DIR  judge the contest folder DIR (as tools/contest_server/README.md
#                  describes it) instead of contests/sample
#
# A language whose compiler this machine lacks is left out, with a line that
# says so, and its submissions are skipped. PROBATOR_DEMO_SKIP="java go ..."
# leaves those languages out too.
#
# Everything the demo writes lives in one scratch folder, /tmp/probator-demo-PID/,
# removed at the end unless something failed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

usage() {
  echo "demo: $1" >&2
  echo "usage: scripts/demo.sh [--bin DIR] [--contest DIR]   (--help tells more)" >&2
  exit 2
}
# The folder an option names, made absolute.
folder_of() {  # option, value
  [ -n "$2" ] || usage "$1 needs a folder"
  [ -d "$2" ] || usage "$1 $2: no such folder"
  (cd "$2" && pwd)
}

bin=""
contest="$root/contests/sample"
while [ $# -gt 0 ]; do
  case "$1" in
    --bin) bin="$(folder_of --bin "${2-}")"; shift 2 ;;
    --contest) contest="$(folder_of --contest "${2-}")"; shift 2 ;;
    -h|--help) sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) usage "unknown argument '$1'" ;;
  esac
done

if [ -z "$bin" ]; then
  "$root/scripts/install-deps.sh"
  echo "Building probator and spawnlet..."
  cmake -S "$root" -B "$root/build/demo" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DPROBATOR_TESTS=OFF >/dev/null
  cmake --build "$root/build/demo" --target probator spawnlet >/dev/null
  bin="$root/build/demo/bin"
fi
# Programs that are missing or do not run are said so before anything starts.
for program in probator spawnlet; do
  [ -x "$bin/$program" ] || usage "--bin $bin: no $program there"
done
if ! version="$("$bin/probator" --version 2>&1)"; then
  echo "demo: $bin/probator does not run: $version" >&2
  exit 1
fi

# The agent finds each setting by its key anywhere in the file, so no path in
# the configuration may hold a key's name: the scratch folder is chosen so.
scratch="/tmp/probator-demo-$$"
for key in hostname port source work test name file options dir ext timeout; do
  case "$scratch" in *"$key"*) echo "demo: scratch path $scratch holds '$key'" >&2; exit 2 ;; esac
done
rm -rf "$scratch"
mkdir -p "$scratch/compilers"
cp "$root"/compilers/probator-* "$scratch/compilers/"

server_pid=""
agent_pid=""
finish() {
  for pid in $agent_pid $server_pid; do kill -TERM "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap finish EXIT

python3 "$root/tools/contest_server/contest_server.py" --contest "$contest" \
        --port 0 --port-file "$scratch/port" --timeout 600 >"$scratch/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do [ -s "$scratch/port" ] && break; sleep 0.1; done
if [ ! -s "$scratch/port" ]; then
  cat "$scratch/server.log" >&2
  echo "demo: the contest server did not start" >&2
  exit 1
fi

compiler() {  # name, extension
  printf '[COMPILER]\nname=%s\noptions=?s\ndir=%s/\next=%s\ntimeout=30000\nfile=%s\n\n' \
         "$1" "$scratch" "$2" "$scratch/compilers/probator-$1"
}
# Each language as name:extension:the program its wrapper runs. One whose
# program the box cannot find (the box's PATH is /usr/local/bin:/usr/bin:/bin)
# gets no [COMPILER] section, and the server skips its submissions; so does
# one that PROBATOR_DEMO_SKIP names (names separated by blanks).
languages=(gcc:c:gcc g++:cpp:g++ fpc:pas:fpc python3:py:python3 validator:cpp:g++
           java:java:javac kotlin:kt:kotlinc rust:rs:rustc go:go:go javascript:js:node
           csharp:cs:mcs pypy3:py:pypy3 shell:sh:bash)
{
  printf '[SOCKET]\nhostname=127.0.0.1\nport=%s\n\n' "$(cat "$scratch/port")"
  printf '[FOLDERS]\nsource=%s/\nwork=%s/\ntest=%s/\n\n' \
         "$scratch/source" "$scratch/work" "$scratch/tests"
  for language in "${languages[@]}"; do
    IFS=: read -r name extension program <<<"$language"
    if [[ " ${PROBATOR_DEMO_SKIP-} " == *" $name "* ]]; then
      echo "demo: skipping $name: PROBATOR_DEMO_SKIP names it" >&2
    elif ! env PATH=/usr/local/bin:/usr/bin:/bin sh -c 'command -v "$1"' - "$program" >/dev/null; then
      echo "demo: skipping $name: $program not found" >&2
    else
      compiler "$name" "$extension"
    fi
  done
} >"$scratch/Probator.ini"

cd "$scratch"
if [ -t 0 ] && [ -t 1 ]; then
  # The screen is the agent's until a key is pressed after the last verdict;
  # the terminal's title says when that is.
  (
    while kill -0 "$server_pid" 2>/dev/null; do sleep 0.2; done
    printf '\033]2;%s\007' "Contest finished - press a key to close the screen" >/dev/tty
  ) &
  "$bin/probator" || true
else
  echo "Judging the $(basename "$contest") contest; the agent's log: $scratch/probator.log"
  "$bin/probator" </dev/null >"$scratch/probator.log" 2>&1 &
  agent_pid=$!
  # The server ends when every verdict is in; an agent that ends first has
  # failed, and the server is stopped so that it reports what it has.
  # An agent ends by itself after the server's last answer, while the server
  # may still be writing its table: it gets a few seconds to end on its own.
  while kill -0 "$server_pid" 2>/dev/null; do
    if ! kill -0 "$agent_pid" 2>/dev/null; then
      for _ in $(seq 50); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
      kill -TERM "$server_pid" 2>/dev/null || true
      break
    fi
    sleep 0.2
  done
fi

status=0
wait "$server_pid" || status=$?
server_pid=""
if [ -n "$agent_pid" ]; then
  wait "$agent_pid" || true
  agent_pid=""
fi
echo
sed -n '/^# *Submission/,$p' "$scratch/server.log"
if [ "$status" -eq 0 ]; then
  rm -rf "$scratch"
else
  echo "demo: the contest server ended with status $status; the logs are kept:" \
       "$scratch/server.log, $scratch/probator.log" >&2
fi
exit "$status"
