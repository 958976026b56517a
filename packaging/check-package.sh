#!/usr/bin/env bash
# Tests a built zelvor .deb. First unpacked into a temporary folder: the programs must run from there with no
# library path set, which shows that the installed layout stands on its own. Then, as root, a real
# `apt-get install` on this machine: the installed programs are used from /usr/bin, the slider control's
# registration is checked to follow the installed library, and `apt-get remove --purge` must leave nothing.
# The real install replaces any zelvor package already installed: run it on a build machine or a container.
set -euo pipefail
deb=$(realpath "${1:?usage: check-package.sh zelvor_VERSION_ARCH.deb}")
work=$(mktemp -d)
trap 'kill "${zelvor_pid:-}" "${xvfb_pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "check-package: FAIL: $*" >&2; exit 1; }
pass() { echo "check-package: ok: $*"; }
# Nothing of the caller's environment may help the programs find their files.
unset LD_LIBRARY_PATH
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data"
export XDG_RUNTIME_DIR="$work/home"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$work/cwd"
cd "$work/cwd"

# What the package holds.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|; s|/$||' >"$work/contents"
for f in /usr/bin/zelvor /usr/bin/zelvor-tool /usr/libexec/xscreensaver/zelvor \
         /usr/lib/zelvor/zelvor /usr/lib/zelvor/zelvor-tool /usr/lib/zelvor/grelt-dialog \
         /usr/lib/zelvor/libgreltlib.so /usr/lib/zelvor/libscrivel.so /usr/lib/zelvor/Elements.dat \
         /usr/lib/zelvor/modules/Modules.xml /usr/lib/zelvor/modules/libondrel.so \
         /usr/share/xscreensaver/config/zelvor.xml /usr/share/applications/zelvor.desktop \
         /usr/share/man/man1/zelvor.1.gz /usr/share/man/man1/zelvor-tool.1.gz; do
  grep -qx "$f" "$work/contents" || fail "$f is not in the package"
done
if grep -E '_tests?$|/bench_|crash_demo|/tests?/' "$work/contents"; then fail "test or bench files in the package"; fi
pass "$(wc -l <"$work/contents") entries, nothing of the tests or benchmarks"
dpkg-deb -f "$deb" Package Version Depends Recommends | sed 's/^/  /'

# The unpacked tree, run where it lies.
root="$work/root"
dpkg-deb -x "$deb" "$root"
for exe in "$root"/usr/lib/zelvor/zelvor "$root"/usr/lib/zelvor/zelvor-tool "$root"/usr/lib/zelvor/grelt-dialog \
           "$root"/usr/lib/zelvor/*.so "$root"/usr/lib/zelvor/modules/*.so "$root"/usr/lib/zelvor/modules/*/*.so; do
  if readelf -d "$exe" | grep -E 'RPATH|RUNPATH'; then fail "$exe has a run path"; fi
  if ldd "$exe" | grep 'not found'; then fail "$exe misses a library"; fi
done
pass "no run path, every library found on the system"
sample=$root/usr/share/zelvor/samples/valid-cell-waterbox-3frames.xyz
info=$("$root/usr/bin/zelvor-tool" info "$sample") || fail "zelvor-tool info from the unpacked tree"
grep -Eq '"atoms": ?24' <<<"$info" && grep -Eq '"O": ?8' <<<"$info" || fail "unexpected info: $info"
pass "unpacked zelvor-tool info: 24 atoms, 8 of them oxygen"
"$root/usr/bin/zelvor-tool" render "$root/usr/share/zelvor/samples/apbs-2-methylbutane.pdb" -o "$work/unpacked.png" \
  --size 200x150 || fail "zelvor-tool render from the unpacked tree"
file "$work/unpacked.png" | grep -q 'PNG image data, 200 x 150' || fail "no 200x150 PNG: $(file "$work/unpacked.png")"
pass "unpacked zelvor-tool render wrote a 200x150 PNG"
for page in zelvor zelvor-tool; do
  warnings=$(zcat "$root/usr/share/man/man1/$page.1.gz" | groff -ww -z -man 2>&1)
  [ -z "$warnings" ] || fail "$page.1: $warnings"
done
pass "man pages format without warnings"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/zelvor.desktop" || fail "zelvor.desktop does not validate"
  pass "zelvor.desktop validates"
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "check-package: not root: the real install is not tested"
  exit 0
fi

# A real install, with the dependencies apt resolves.
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
[ "$(readlink -f /usr/bin/zelvor)" = /usr/lib/zelvor/zelvor ] || fail "/usr/bin/zelvor does not lead to /usr/lib/zelvor"
[ "$(readlink -f /usr/libexec/xscreensaver/zelvor)" = /usr/lib/zelvor/zelvor ] || fail "the hack link is broken"
info=$(zelvor-tool info /usr/share/zelvor/samples/apbs-2-methylbutane.pdb) || fail "installed zelvor-tool info"
grep -Eq '"atoms": ?17' <<<"$info" || fail "unexpected info: $info"
pass "installed zelvor-tool info: 17 atoms"
zelvor-tool render /usr/share/zelvor/samples/pymol-1hpv.pdb -o "$work/installed.png" || fail "installed render"
file "$work/installed.png" | grep -q 'PNG image data' || fail "no PNG from the installed render"
pass "installed zelvor-tool render wrote $(file -b "$work/installed.png")"
version=$(zelvor --version </dev/null) || fail "zelvor --version"
[[ $version == "zelvor "* ]] || fail "zelvor --version said: $version"
tool_version=$(zelvor-tool --version) || fail "zelvor-tool --version"
[[ $tool_version == "zelvor-tool "* ]] || fail "zelvor-tool --version said: $tool_version"
pass "zelvor --version: $version; zelvor-tool --version: $tool_version"

# The slider control: a registration left by a build tree that is gone must give way to the installed copy.
if command -v Xvfb >/dev/null; then
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  classes=$XDG_CONFIG_HOME/Cobrant/Classes.conf
  # Starts the full-screen saver until the control's registration names the installed library (at most 15 s).
  registers_installed_copy() {
    DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb zelvor /s --file /usr/share/zelvor/samples \
      >"$work/zelvor.log" 2>&1 &
    zelvor_pid=$!
    for _ in $(seq 150); do
      grep -q /usr/lib/zelvor/libscrivel.so "$classes" 2>/dev/null && break
      kill -0 "$zelvor_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$zelvor_pid" 2>/dev/null || true
    wait "$zelvor_pid" 2>/dev/null || true
    zelvor_pid=
    grep -q /usr/lib/zelvor/libscrivel.so "$classes" 2>/dev/null
  }
  registers_installed_copy || fail "the installed zelvor did not register its libscrivel.so: $(cat "$work/zelvor.log")"
  sed -i 's|/usr/lib/zelvor/libscrivel.so|/nonexistent/build/bin/libscrivel.so|' "$classes"
  registers_installed_copy || fail "a stale registration was kept: $(cat "$work/zelvor.log")"
  pass "the installed zelvor registers /usr/lib/zelvor/libscrivel.so, also over a stale build-tree path"
fi

DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq zelvor >/dev/null
for f in /usr/lib/zelvor /usr/bin/zelvor /usr/bin/zelvor-tool /usr/libexec/xscreensaver/zelvor \
         /usr/share/xscreensaver/config/zelvor.xml /usr/share/applications/zelvor.desktop \
         /usr/share/man/man1/zelvor.1.gz /usr/share/zelvor; do
  [ ! -e "$f" ] && [ ! -L "$f" ] || fail "$f is left after the purge"
done
dpkg-query -W zelvor >/dev/null 2>&1 && fail "dpkg still knows zelvor"
pass "removed and purged: nothing left"
