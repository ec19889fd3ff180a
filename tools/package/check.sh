#!/usr/bin/env bash
# Checks the Debian package that `make package` built, without touching the
# system: the control fields, an install and a purge into a scratch root
# with its own dpkg database (nothing may be left behind), the installed
# runner playing the installed show (its frame the same as the build's),
# the programs' versions, the manual pages, and lintian (errors fail).
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=${BUILD:-build}
TICK=${TICK:-600}  # the title backdrop behind the moss-textured hills

fail() { echo "package check: $*" >&2; exit 1; }

debs=("$BUILD"/package/quarvel_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one package in $BUILD/package (run make package)"
deb=${debs[0]}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
echo "== $deb"

# Control fields: the build's version, Debian's run-time libraries only.
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$deb" Version), build $version"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libsdl2 libmpg123 libegl libgl1-mesa-dri; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib"
done
[[ $depends != *-dev* ]] || fail "Depends names a build-only package"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
root=$tmp/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$tmp/work"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
# Its dependencies are not in the scratch database: they are the real system's
# (dpkg's warnings about them go to a file, shown when it fails).
scratch_dpkg() {
  dpkg --root="$root" --log="$tmp/dpkg.log" --force-depends --force-not-root "$@" >"$tmp/dpkg.out" 2>&1 ||
    fail "dpkg $*: $(cat "$tmp/dpkg.out")"
}
scratch_dpkg --install "$deb"

games=$root/usr/games
for p in quarvel quarvel-capture quarvel-xinfo quarvel-assets; do
  [ -x "$games/$p" ] || fail "$p is not installed in /usr/games"
  [ "$("$games/$p" --version)" = "$p $version" ] || fail "$p --version says $("$games/$p" --version)"
done
for f in usr/share/games/quarvel/sik_test.mp3 usr/share/applications/quarvel.desktop \
         usr/share/icons/hicolor/64x64/apps/quarvel.png usr/share/doc/quarvel/copyright; do
  [ -f "$root/$f" ] || fail "/$f is not installed"
done
for page in "$root"/usr/share/man/man6/*.6.gz; do
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

# The installed runner, started from an empty folder, plays the installed
# show; its frame is the build's frame of the same tick.
(cd "$tmp/work" && "$games/quarvel-capture" --from "$TICK" --ticks $((TICK + 1)) --png-at "$TICK" --out installed) 2>"$tmp/run.err" ||
  fail "the installed quarvel-capture failed: $(cat "$tmp/run.err")"
grep -qx "quarvel-capture: playing the show in $root/usr/share/games/quarvel" "$tmp/run.err" ||
  fail "the installed runner did not play the installed show: $(cat "$tmp/run.err")"
(cd "$BUILD/show" && ../bin/quarvel-capture --from "$TICK" --ticks $((TICK + 1)) --png-at "$TICK" --out "$tmp/work/built") 2>/dev/null
frame=$(printf 'frame_%06d.png' "$TICK")
cmp -s "$tmp/work/installed/$frame" "$tmp/work/built/$frame" || fail "tick $TICK differs from the build's"
echo "installed runner: tick $TICK as the build's"

# Purged, it leaves nothing but the scratch database.
scratch_dpkg --purge quarvel
left=$(cd "$root" && find . -mindepth 1 -not -path './var' -not -path './var/lib' -not -path './var/lib/dpkg*')
[ -z "$left" ] || fail "left behind after purge: $left"
echo "install and purge: nothing left behind"

echo "== lintian"
lintian --fail-on error --allow-root --display-info "$deb"
echo "package check: passed"
