# The Debian packages: names, dependencies and contents read with dpkg-deb,
# then installed into a throw-away root with dpkg, where a program built
# with pkg-config and the host run against what was installed.
# Usage: check_deb.sh BUILD SOURCE WORK EXPECTED VERSION
set -eu
build=$1 source=$2 work=$3 expected=$4 version=$5
. "$source/tests/package/common.sh"
rm -rf "$work"
mkdir -p "$work"
cd "$work"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >cpack.log 2>&1 ||
    { cat cpack.log; fail "cpack"; }
arch=$(dpkg --print-architecture)
runtime=libselvane${version%%.*}

field() { dpkg-deb -f "$1_${version}_$arch.deb" "$2"; }
for package in "$runtime" libselvane-dev selvane; do
    [ -f "${package}_${version}_$arch.deb" ] || fail "no package $package"
    [ "$(field "$package" Version)" = "$version" ] || fail "$package: version"
    # Every file in the usual places, nothing under the build's paths.
    unusual=$(dpkg-deb -c "${package}_${version}_$arch.deb" | awk '{ print $6 }' |
              grep -Ev '^\./(usr/?|usr/(bin|include|lib|share)(/.*)?)$' || true)
    [ -z "$unusual" ] || fail "$package installs outside the usual places: $unusual"
done
field "$runtime" Depends | grep -q 'libc6 (>= ' || fail "$runtime: no libc6 dependency"
field "$runtime" Section | grep -qx libs || fail "$runtime: section"
field libselvane-dev Depends | grep -q "$runtime (= $version)" ||
    fail "libselvane-dev does not depend on $runtime (= $version)"
field selvane Depends | grep -q "$runtime (= $version)" ||
    fail "selvane does not depend on $runtime (= $version)"
dpkg-deb -I "${runtime}_${version}_$arch.deb" shlibs |
    grep -qx "libselvane ${version%%.*} $runtime (>= $version)" || fail "$runtime: shlibs"
dpkg-deb -I "${runtime}_${version}_$arch.deb" shlibs |
    grep -qx "libselvane_engine ${version%%.*} $runtime (>= $version)" ||
    fail "$runtime: shlibs of the engine library"

# A fresh dpkg database; the system libraries the packages depend on are
# the host's own, hence --force-depends.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg --root="$root" --force-depends --force-not-root --force-script-chrootless \
     --log=/dev/null -i ./*.deb >dpkg.log 2>&1 || { cat dpkg.log; fail "dpkg -i"; }
listed=$(dpkg --root="$root" -L "$runtime" libselvane-dev selvane | grep -Ev '^/(usr/?|usr/(bin|include|lib|share)(/.*)?)$|^$' || true)
[ -z "$listed" ] || fail "dpkg -L lists files outside the usual places: $listed"

cc "$source/examples/cluster.c" \
   $(PKG_CONFIG_PATH="$root/usr/lib/pkgconfig" pkg-config --cflags --libs selvane) -o cluster
expect_output "pkg-config build against the packages" "$expected" \
    env LD_LIBRARY_PATH="$root/usr/lib" ./cluster
cc "$source/examples/engine.c" \
   $(PKG_CONFIG_PATH="$root/usr/lib/pkgconfig" pkg-config --cflags --libs selvane_engine) -o engine
expect_output "pkg-config build of the engine example" "$ENGINE_EXPECTED" \
    env LD_LIBRARY_PATH="$root/usr/lib" ./engine
expect_output "packaged host" "selvane $version" "$root/usr/bin/selvane" --version
