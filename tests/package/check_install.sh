# An installed tree used three ways: a CMake project with find_package, a
# pkg-config build, and the build tree itself with an rpath, each with the
# exact commands docs/integrators.md gives; plus the installed host.
# Usage: check_install.sh BUILD SOURCE WORK EXPECTED MAJOR
set -eu
build=$1 source=$2 work=$3 expected=$4 major=$5
. "$source/tests/package/common.sh"
rm -rf "$work"
mkdir -p "$work"
stage=$work/stage

cmake --install "$build" --prefix "$stage" >/dev/null
[ "$(readlink "$stage/lib/libselvane.so")" = "libselvane.so.$major" ] ||
    fail "libselvane.so is not a link to libselvane.so.$major"
soname=$(objdump -p "$stage/lib/libselvane.so" | awk '$1 == "SONAME" { print $2 }')
[ "$soname" = "libselvane.so.$major" ] || fail "SONAME is '$soname'"

soname=$(objdump -p "$stage/lib/libselvane_engine.so" | awk '$1 == "SONAME" { print $2 }')
[ "$soname" = "libselvane_engine.so.$major" ] || fail "engine SONAME is '$soname'"

cmake -S "$source/tests/package/consumer" -B "$work/consumer" -G Ninja \
      -DCMAKE_PREFIX_PATH="$stage" -DSELVANE_WANTED_VERSION="$major" \
      -DSELVANE_EXAMPLE="$source/examples/cluster.c" \
      -DSELVANE_ENGINE_EXAMPLE="$source/examples/engine.c" >/dev/null
cmake --build "$work/consumer" >/dev/null
expect_output "find_package(Selvane $major)" "$expected" "$work/consumer/cluster"
expect_output "Selvane::engine" "$ENGINE_EXPECTED" "$work/consumer/engine"
# Another major version is another interface, older or newer.
for other in $((major - 1)) $((major + 1)); do
    if cmake -S "$source/tests/package/consumer" -B "$work/v$other" -G Ninja \
             -DCMAKE_PREFIX_PATH="$stage" -DSELVANE_WANTED_VERSION=$other \
             -DSELVANE_EXAMPLE="$source/examples/cluster.c" >/dev/null 2>&1; then
        fail "find_package(Selvane $other) accepted version $major"
    fi
done

# The documented commands, run in a copy of the checkout's layout.
mkdir -p "$work/tree/build"
ln -s "$source/examples" "$source/include" "$work/tree/"
ln -s "$build" "$work/tree/build/release"
commands=$(grep '^cc examples/cluster.c ' "$source/docs/integrators.md") ||
    fail "docs/integrators.md shows no cc command"
[ "$(echo "$commands" | wc -l)" -eq 2 ] || fail "expected 2 cc commands: $commands"
echo "$commands" | while read -r command; do
    rm -f "$work/tree/cluster"
    (cd "$work/tree" && export PKG_CONFIG_PATH="$stage/lib/pkgconfig" && eval "$command") ||
        fail "'$command'"
    # A non-standard prefix needs the loader told; the rpath build must not.
    case $command in
        *pkg-config*) library_path=$stage/lib ;;
        *) library_path= ;;
    esac
    expect_output "$command" "$expected" \
        env LD_LIBRARY_PATH="$library_path" "$work/tree/cluster"
done

if [ -x "$build/tools/selvane" ]; then
    expect_output "installed host" "selvane $(echo "$expected" | cut -d' ' -f2 | tr -d :)" \
        "$stage/bin/selvane" --version
    lines=$(cd / && "$stage/bin/selvane" "$source/examples/iris.csv" --clusters 3 --quiet | wc -l)
    [ "$lines" -eq 151 ] || fail "installed host wrote $lines lines for iris"
fi
