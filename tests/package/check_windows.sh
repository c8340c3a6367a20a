# The installed Windows files as an integrator receives them: the DLL
# stripped yet exporting exactly its one name, its version resource, and a
# C program linked by the mingw-w64 linker against each import library,
# run under wine with the DLL beside it, as is the installed selvane.exe.
# Where wine cannot start a program of this architecture (32-bit x86 on a
# kernel without 32-bit support), everything but the runs is still checked.
# Usage: check_windows.sh BUILD SOURCE WORK EXPECTED VERSION CC OBJDUMP WINDRES WINE
set -eu
build=$1 source=$2 work=$3 expected=$4 version=$5 cc=$6 objdump=$7 windres=$8 wine=$9
. "$source/tests/package/common.sh"
rm -rf "$work"
mkdir -p "$work"
stage=$work/stage
cmake --install "$build" --prefix "$stage" --strip >/dev/null
dll=$stage/bin/selvane.dll

if "$objdump" -f "$dll" | grep -q 'pei-i386'; then
    export_name=_Selvane@20
else
    export_name=Selvane
fi
! "$objdump" -h "$dll" | grep -q '\.debug' || fail "the installed DLL has debug sections"
cmake -DOBJDUMP="$objdump" -DLIBRARY="$dll" -DEXPORT_NAME=$export_name \
      -P "$source/tests/entry/check_pe_exports.cmake" >/dev/null ||
    fail "the stripped DLL's export or import table changed"
resource=$("$windres" -i "$dll" -O rc)
numbers=$(echo "$version" | sed 's/\./, /g')
for line in "FILEVERSION $numbers, 0" "PRODUCTVERSION $numbers, 0" \
            "VALUE \"FileVersion\", \"$version\"" "VALUE \"ProductVersion\", \"$version\""; do
    echo "$resource" | grep -qF "$line" || fail "version resource lacks '$line'"
done
echo "ok: stripped DLL, exports, version resource"

runs=yes
WINEDEBUG=-all "$wine" --version </dev/null >/dev/null 2>&1 || runs=no
cp "$dll" "$work/"
for library in libselvane.dll.a selvane.lib; do
    exe=$work/cluster-$library.exe
    "$cc" -static "$source/examples/cluster.c" -I "$stage/include" \
          "$stage/lib/$library" -o "$exe" || fail "linking against $library"
    "$objdump" -p "$exe" | grep -A3 'DLL Name: selvane.dll' | grep -qE "[[:space:]]$export_name\$" ||
        fail "the program linked against $library does not import $export_name"
    if [ $runs = yes ]; then
        expect_output "program linked against $library" "$expected" \
            sh -c 'WINEDEBUG=-all "$0" "$1" | tr -d "\r"' "$wine" "$exe"
    fi
done
# The engine DLL: exactly its interface's names, plain (cdecl), and a C
# program linked against each of its import libraries.
cmake -DOBJDUMP="$objdump" -DLIBRARY="$stage/bin/selvane_engine.dll" \
      "-DEXPORT_NAMES=selvane_engine_api_version|selvane_engine_assign|selvane_engine_cluster|selvane_engine_merge|selvane_engine_plan|selvane_engine_run|selvane_engine_selvane_job|selvane_engine_strerror" \
      -P "$source/tests/entry/check_pe_exports.cmake" >/dev/null ||
    fail "the stripped engine DLL's export or import table"
cp "$stage/bin/selvane_engine.dll" "$work/"
for library in libselvane_engine.dll.a selvane_engine.lib; do
    exe=$work/engine-$library.exe
    "$cc" -static "$source/examples/engine.c" -I "$stage/include" \
          "$stage/lib/$library" -o "$exe" || fail "linking against $library"
    "$objdump" -p "$exe" | grep -A6 'DLL Name: selvane_engine.dll' |
        grep -qE "[[:space:]]selvane_engine_run$" ||
        fail "the program linked against $library does not import selvane_engine_run"
    if [ $runs = yes ]; then
        expect_output "engine program linked against $library" "$ENGINE_EXPECTED" \
            sh -c 'WINEDEBUG=-all "$0" "$1" | tr -d "\r"' "$wine" "$exe"
    fi
done
if [ $runs = yes ]; then
    expect_output "installed selvane.exe" "selvane $version" \
        sh -c 'WINEDEBUG=-all "$0" "$1" --version | tr -d "\r"' "$wine" "$stage/bin/selvane.exe"
else
    echo "NOT RUN: $wine cannot start programs here; linked and import tables checked only"
fi
