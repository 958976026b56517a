#!/usr/bin/env bash
# Installs the build into a temporary root as the package lays it out and checks that the installed copy stands
# on its own: the private folder, the links into it, no run path, no test programs, and zelvor-tool reading
# the installed Elements.dat (changed after the first run, so that no other copy can pass for it).
set -euo pipefail
cmake=${1:?usage: installed_tree_test.sh CMAKE BUILD_DIR}
build=${2:?usage: installed_tree_test.sh CMAKE BUILD_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
root=$work/root
DESTDIR="$root" "$cmake" --install "$build" --prefix /usr >/dev/null
private=$root/usr/lib/zelvor

for f in zelvor zelvor-tool grelt-dialog libgreltlib.so libscrivel.so Elements.dat modules/Modules.xml \
         modules/libondrel.so modules/orbit/Modules.xml modules/orbit/liborbit.so; do
  [ -f "$private/$f" ] || fail "$f is not in the private folder"
done
for f in share/xscreensaver/config/zelvor.xml share/applications/zelvor.desktop share/man/man1/zelvor.1.gz \
         share/man/man1/zelvor-tool.1.gz share/zelvor/samples/valid-cell-waterbox-3frames.xyz; do
  [ -f "$root/usr/$f" ] || fail "$f is not installed"
done
# Relative links that resolve to the private folder's programs: /proc/self/exe then names that folder.
for link in bin/zelvor:zelvor bin/zelvor-tool:zelvor-tool libexec/xscreensaver/zelvor:zelvor; do
  path=$root/usr/${link%%:*}
  [ -L "$path" ] || fail "${link%%:*} is not a link"
  [[ $(readlink "$path") != /* ]] || fail "${link%%:*} is an absolute link"
  [ "$(readlink -f "$path")" = "$(readlink -f "$private/${link##*:}")" ] || fail "${link%%:*} leads elsewhere"
done
found=$(find "$root" -name '*_test*' -o -name 'bench_*' -o -name '*crash_demo*')
[ -z "$found" ] || fail "test programs installed: $found"
while IFS= read -r elf; do
  ! readelf -d "$elf" | grep -E 'RPATH|RUNPATH' || fail "$elf keeps a run path"
done < <(find "$private" -type f \( -name '*.so' -o -perm -u+x \))

# From an empty working folder, with no library path: only the installed files can be found.
mkdir "$work/cwd"
cd "$work/cwd"
sample=$root/usr/share/zelvor/samples/valid-cell-waterbox-3frames.xyz
info=$(env -u LD_LIBRARY_PATH "$root/usr/bin/zelvor-tool" info "$sample") || fail "installed zelvor-tool info failed"
grep -Eq '"atoms": ?24' <<<"$info" && grep -Eq '"O": ?8' <<<"$info" || fail "unexpected info: $info"
# The element table names the elements: with oxygen's row renamed, the same file must count no oxygen.
sed -i -E 's/^O( \t 8 )/Ox\1/' "$private/Elements.dat"
info=$(env -u LD_LIBRARY_PATH "$root/usr/bin/zelvor-tool" info "$sample") || fail "second info failed"
grep -Eq '"atoms": ?24' <<<"$info" && ! grep -Eq '"O": ?8' <<<"$info" ||
  fail "the installed Elements.dat was not the one read: $info"
echo "installed tree ok"
