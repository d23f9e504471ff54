#!/usr/bin/env bash
# The compiler wrappers beyond what the sample contest shows: each says in one
# line which toolchain it lacks, and the Java wrapper finds a main class that
# neither is public nor matches the file's name, inside a package, and makes a
# program that starts within a data limit of 64 MiB.
# Usage: tests/compilers/wrappers.sh
set -euo pipefail
compilers="$(cd "$(dirname "$0")/../../compilers" && pwd)"
scratch="$(mktemp -d /tmp/probator-wrappers-XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "wrappers: $*" >&2; exit 1; }

for language in java kotlin rust go javascript csharp pypy3 shell; do
  status=0
  said="$(env -i PATH=/nonexistent /bin/sh "$compilers/probator-$language" "$scratch/a.src" 2>&1)" ||
    status=$?
  [ "$status" -ne 0 ] || fail "probator-$language: status 0 without its toolchain"
  grep -Eqx "probator-$language: [a-z0-9]+ is not installed \(apt-get install [a-z0-9 -]+\)" \
    <<<"$said" || fail "probator-$language said: $said"
done

if command -v javac >/dev/null; then
  cat >"$scratch/tsol.java" <<'EOF'
package contest.sum;
class Add { static long of(long a, long b) { return a + b; } }
final class Solution {
  public static void main(String... args) throws Exception {
    java.util.Scanner in = new java.util.Scanner(new java.io.File("input.txt"));
    try (java.io.PrintWriter out = new java.io.PrintWriter("output.txt")) {
      out.println(Add.of(in.nextLong(), in.nextLong()));
    }
  }
}
EOF
  "$compilers/probator-java" "$scratch/tsol.java" 2>/dev/null || fail "probator-java: no program"
  (cd "$scratch" && echo "40 2" >input.txt && ./tsol.exe) || fail "the Java program failed"
  [ "$(cat "$scratch/output.txt")" = 42 ] || fail "the Java program wrote $(cat "$scratch/output.txt")"
  # As in a box without a memory control group: 64 MiB held by the data limit.
  (cd "$scratch" && ulimit -s 65536 && ulimit -d 65536 && ./tsol.exe >/dev/null) ||
    fail "the Java program failed within a data limit of 64 MiB"
  echo 'class NoMain { static void main(String[] a) {} }' >"$scratch/nomain.java"
  ! "$compilers/probator-java" "$scratch/nomain.java" 2>/dev/null ||
    fail "probator-java accepted a program without a public main"
fi
