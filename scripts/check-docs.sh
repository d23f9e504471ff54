#!/usr/bin/env bash
# shellcheck disable=SC2016  # commands and the texts tests must hold are quoted as written
# Every command the documentation shows in a ```sh block is accounted for:
# either it is safe to run here, and is run against the programs of BIN-DIR
# and must exit 0, or it is covered by a test or script named in the list
# below, which must still hold it. Any other command fails the check: a command
# that nothing here can vouch for (sudo, systemctl, a long fuzzing run) belongs
# in a ```console block, which is not read. Blocks tagged bash or shell are
# refused, so that no command slips past both lists. Links between the files
# must lead to a file and heading that exist.
#
# Usage: scripts/check-docs.sh BIN-DIR [FILE...]
#   BIN-DIR  the folder of the built probator and spawnlet
#   FILE     the Markdown files to check (default: README.md, docs/*.md and
#            tools/contest_server/README.md)
#
# Commands run from the source folder, with BIN-DIR first on PATH and TMPDIR in
# a scratch folder that is removed at the end; the commands of one block run in
# one shell, in order, so that a `cd` holds for the lines after it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ $# -ge 1 ] || { echo "usage: scripts/check-docs.sh BIN-DIR [FILE...]" >&2; exit 2; }
bin="$(cd "$1" && pwd)"
shift
for program in probator spawnlet; do
  [ -x "$bin/$program" ] || { echo "check-docs: no $program in $bin" >&2; exit 2; }
done
cd "$root"
files=("$@")
[ ${#files[@]} -gt 0 ] || files=(README.md docs/*.md tools/contest_server/README.md)

# Safe to run here (bash patterns, matched against the whole command without
# its trailing comment).
run_here=(
  'probator --help'
  'probator --version'
  'cd "$(mktemp -d)"'
  'spawnlet -?src L2Jpbi90cnVl -?tmr MTAwMA== -?box MQ== -?rep cmVwb3J0'
  'cat report'
  'python3 tools/contest_server/contest_server.py --help'
  'python3 tools/contest_server/check_contest.py --help'
  'python3 tools/contest_server/import_packages.py --help'
  'scripts/demo.sh --help'
)

# Covered elsewhere: pattern|the file that runs it|what that file must hold.
covered=(
  'scripts/demo.sh|tests/CMakeLists.txt|scripts/demo.sh'
  'scripts/test.sh|.ci/run|scripts/test.sh'
  'cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPROBATOR_TESTS=OFF*|scripts/test.sh|cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release'
  'cmake --build build/release*|scripts/test.sh|cmake --build build/release'
  'cmake --install build/release --prefix *|tests/install/check_install.cmake|--install ${BUILD_DIR} --prefix'
  '(cd build/release && cpack -G DEB)|scripts/check-package.sh|cpack -G DEB'
  'probator|scripts/demo.sh|"$bin/probator" ||'
  'probator *.ini|tests/tester/startup_test.cc|"other.ini"'
  'python3 tools/contest_server/contest_server.py --contest contests/sample --port *|scripts/demo.sh|contest_server.py" --contest "$contest"'
  'python3 tools/contest_server/check_contest.py --contest contests/sample|tests/CMakeLists.txt|check_contest.py'
  'python3 tools/contest_server/import_packages.py tools/contest_server/tests/packages *|tests/CMakeLists.txt|import_packages.py ${contest_server_dir}/tests/packages'
  'scripts/fuzz.sh *|scripts/test.sh|scripts/fuzz.sh'
  'tools/soak/soak.sh --bin build/release/bin *|scripts/test.sh|tools/soak/soak.sh --bin build/release/bin'
)

scratch="$(mktemp -d /tmp/probator-docs-XXXXXX)"
trap 'rm -rf "$scratch"' EXIT

# One record per command: FILE:LINE, the block's number, the command (lines
# ending in a backslash joined; blank and comment lines left out).
python3 - "${files[@]}" >"$scratch/commands" <<'PY'
import re, sys
for name in sys.argv[1:]:
    lines = open(name, encoding="utf-8").read().split("\n")
    block, tag, pending, start = 0, None, "", 0
    for number, line in enumerate(lines, 1):
        fence = re.match(r"^\s*```(\S*)", line)
        if fence:
            if tag is None:
                block += 1
                tag = fence.group(1)
                if tag in ("bash", "shell", "shell-session", "zsh"):
                    print(f"{name}:{number}\t{block}\t!tag {tag}")
            else:
                tag = None
            continue
        if tag != "sh":
            continue
        text = line.strip()
        if not pending and (not text or text.startswith("#")):
            continue
        if not pending:
            start = number
        if text.endswith("\\"):
            pending += text[:-1].rstrip() + " "
            continue
        command = re.sub(r"\s+#\s.*$", "", pending + text).strip()
        pending = ""
        print(f"{name}:{start}\t{name}#{block}\t{command}")
    if tag is not None:
        print(f"{name}:{len(lines)}\t{block}\t!unclosed")

# Links between the documents: the file must exist, and so must the heading an
# anchor names (as the repository's web view makes anchors of headings).
import os
def anchors(path):
    found, fenced = set(), False
    for line in open(path, encoding="utf-8"):
        if line.lstrip().startswith("```"):
            fenced = not fenced
        elif not fenced and line.startswith("#"):
            slug = re.sub(r"[^\w\- ]", "", line.lstrip("#").strip().lower())
            found.add(slug.replace(" ", "-"))
    return found
for name in sys.argv[1:]:
    fenced = False
    for number, line in enumerate(open(name, encoding="utf-8"), 1):
        if line.lstrip().startswith("```"):
            fenced = not fenced
            continue
        if fenced:
            continue
        for target in re.findall(r"\]\(([^)\s]+)\)", line):
            if re.match(r"[a-z]+:", target):
                continue
            path, _, anchor = target.partition("#")
            path = os.path.normpath(os.path.join(os.path.dirname(name), path)) if path else name
            if not os.path.exists(path):
                print(f"{name}:{number}\t-\t!link {target}: no such file")
            elif anchor and path.endswith(".md") and anchor not in anchors(path):
                print(f"{name}:{number}\t-\t!link {target}: no such heading")
PY

failures=0
fail() { echo "check-docs: $*" >&2; failures=$((failures + 1)); }

# Every covering file must still hold what it is named for.
for entry in "${covered[@]}"; do
  IFS='|' read -r _ file needle <<<"$entry"
  grep -qF -- "$needle" "$file" 2>/dev/null || fail "$file no longer holds '$needle'"
done

run_count=0 covered_count=0
current=""
flush() {  # runs the pending block's script, if any
  [ -n "$current" ] || return 0
  if ! (cd "$root" && PATH="$bin:$PATH" TMPDIR="$scratch" timeout 60 bash "$scratch/block.sh") \
       >"$scratch/block.out" 2>&1; then
    cat "$scratch/block.out" >&2
    fail "a command of block $current failed (above)"
  fi
  current=""
}
while IFS=$'\t' read -r where block command; do
  case "$command" in
    '!tag '*) fail "$where: a \`\`\`${command#!tag } block; tag commands sh or console"; continue ;;
    '!unclosed') fail "$where: a code block that does not end"; continue ;;
    '!link '*) fail "$where: link ${command#!link }"; continue ;;
  esac
  what=""
  for pattern in "${run_here[@]}"; do
    [ "$command" == "$pattern" ] && what=run && break
  done
  if [ -z "$what" ]; then
    for entry in "${covered[@]}"; do
      IFS='|' read -r pattern file _ <<<"$entry"
      # shellcheck disable=SC2053  # the pattern is a glob on purpose
      [[ "$command" == $pattern ]] && what="covered by $file" && break
    done
  fi
  if [ -z "$what" ]; then
    fail "$where: '$command' is neither run here nor covered; run it here, name what covers it, or put it in a \`\`\`console block"
    continue
  fi
  if [ "$what" != run ]; then
    covered_count=$((covered_count + 1))
    continue
  fi
  if [ "$block" != "$current" ]; then
    flush
    current="$block"
    echo 'set -u' >"$scratch/block.sh"
  fi
  printf '%s || { status=$?; echo %q "$status" >&2; exit 1; }\n' \
         "$command" "$where: '$command' failed, exit status" >>"$scratch/block.sh"
  run_count=$((run_count + 1))
done <"$scratch/commands"
flush

[ "$run_count" -gt 0 ] || fail "no command was run"
if [ "$failures" -gt 0 ]; then
  echo "check-docs: $failures problem(s)" >&2
  exit 1
fi
echo "check-docs: $run_count command(s) run, $covered_count covered elsewhere"
