#!/usr/bin/env bash
# The demo: builds the programs, writes a configuration into a scratch folder,
# and starts the agent against a stand-in server that accepts the connection.
# The agent stops after a few seconds.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPROBATOR_TESTS=OFF >/dev/null
cmake --build build/release >/dev/null

scratch="$root/demo-run"
rm -rf "$scratch"
mkdir -p "$scratch"
port_file="$scratch/port"
python3 - "$port_file" <<'PY' &
import socket, sys, time
server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen(1)
open(sys.argv[1], "w").write(str(server.getsockname()[1]))
server.settimeout(30)
try:
    connection, _ = server.accept()
    time.sleep(10)
except OSError:
    pass
PY
server=$!
for _ in $(seq 100); do [ -s "$port_file" ] && break; sleep 0.1; done

cat > "$scratch/Probator.ini" <<INI
[SOCKET]
hostname=127.0.0.1
port=$(cat "$port_file")

[FOLDERS]
source=$scratch/source/
work=$scratch/work/
test=$scratch/tests/

INI
cd "$scratch"
"$root/build/release/bin/probator" </dev/null &
agent=$!
sleep 3
kill -TERM "$agent"
wait "$agent"
kill "$server" 2>/dev/null || true
wait "$server" 2>/dev/null || true
echo
echo "Demo finished."
