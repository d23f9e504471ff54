#!/usr/bin/env bash
# Builds the Debian package from a release build and checks it as an operator
# would get it: its control fields, its files, the service unit (systemd-analyze
# verify), and the packaged agent judging the sample contest against the
# bundled server.
# Usage: scripts/check-package.sh BUILD_DIR
#   BUILD_DIR  a release build configured with -DCMAKE_INSTALL_PREFIX=/usr
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ $# -eq 1 ] || { echo "usage: scripts/check-package.sh BUILD_DIR" >&2; exit 2; }
build="$(cd "$1" && pwd)"

fail() { echo "check-package: $*" >&2; exit 1; }

rm -f "$build"/probator_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/probator_*_amd64.deb)"

info="$(dpkg-deb --info "$deb")"
for field in "Package: probator" "Architecture: amd64" "Depends: .*libncursesw6" \
             "Recommends: .*gcc.*fp-compiler.*python3" "Suggests: .*default-jdk-headless"; do
  grep -Eq "^ $field" <<<"$info" || fail "control field '$field' missing"
done
grep -q "postinst" <<<"$info" || fail "no postinst"

contents="$(dpkg-deb --contents "$deb" | awk '{print $6}')"
for path in ./usr/bin/probator ./usr/bin/spawnlet ./usr/bin/probator-gcc ./usr/bin/probator-g++ \
            ./usr/bin/probator-fpc ./usr/bin/probator-python3 ./usr/bin/probator-check-floats \
            ./usr/share/probator/checkers/standard_checker.cpp ./usr/bin/probator-validator \
            ./usr/share/probator/probator-validator-adapter.cpp \
            ./usr/bin/probator-java ./usr/bin/probator-kotlin ./usr/bin/probator-rust \
            ./usr/bin/probator-go ./usr/bin/probator-javascript ./usr/bin/probator-csharp \
            ./usr/bin/probator-pypy3 ./usr/bin/probator-shell \
            ./usr/lib/systemd/system/probator@.service ./usr/lib/sysusers.d/probator.conf \
            ./usr/lib/tmpfiles.d/probator.conf ./usr/share/probator/instance.ini \
            ./usr/share/doc/probator/README.md ./usr/share/doc/probator/docs/launcher.md; do
  grep -qx "$path" <<<"$contents" || fail "$path is not in the package"
done

scratch="$(mktemp -d /tmp/probator-package-XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch/root"

# The unit as systemd reads it; its program is looked for in the unpacked tree.
unit="$scratch/root/usr/lib/systemd/system/probator@.service"
grep -qx 'ExecStart=/usr/bin/probator /etc/probator/%i.ini' "$unit" || fail "unexpected ExecStart"
if command -v systemd-analyze >/dev/null; then
  mkdir "$scratch/units"
  sed "s|^ExecStart=/usr/bin/|ExecStart=$scratch/root/usr/bin/|" "$unit" >"$scratch/units/probator@1.service"
  said="$(systemd-analyze verify "$scratch/units/probator@1.service" 2>&1 || true)"
  [ -z "$said" ] || fail "systemd-analyze verify: $said"
fi

# The packaged programs judge the sample contest.
if ! "$root/scripts/demo.sh" --bin "$scratch/root/usr/bin" >"$scratch/demo.log" 2>&1; then
  cat "$scratch/demo.log" >&2
  fail "the packaged agent did not judge the sample contest right"
fi
echo "check-package: $(basename "$deb") is sound"
