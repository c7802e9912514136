#!/usr/bin/env bash
# Installs a build (default build/dev) into a temporary prefix and builds
# consumer/receipt.c against the installed tree twice, with pkg-config and
# with find_package(talmer), and runs both against the virtual printer; then
# makes the Debian package and checks what it holds.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
libdir=$prefix/lib

fail() {
  echo "consumer test: $*" >&2
  exit 1
}

# Runs a receipt program: it must succeed, load the library of the prefix and
# put the receipt's line on the paper.
run_receipt() {
  local program=$1
  ldd "$program" | grep -q "libtalmer.so.1 => $libdir/libtalmer.so.1" ||
    fail "$program does not load $libdir/libtalmer.so.1"
  TALMER_SIM_TIMESCALE=1000 TALMER_PAPER="$program.paper" "$program" ||
    fail "$program failed"
  grep -q "Towar A" "$program.paper" || fail "$program printed no receipt line"
}

cmake --install "$build" --prefix "$prefix" >/dev/null
[ -f "$prefix/include/talmer.h" ] || fail "talmer.h is not installed"

echo "--- pkg-config"
flags=$(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --cflags --libs talmer)
echo "pkg-config --cflags --libs talmer: $flags"
# shellcheck disable=SC2086 # the flags are words
cc -std=c11 -Wall -Wextra -Wpedantic -Werror consumer/receipt.c $flags \
  -Wl,-rpath,"$libdir" -o "$work/receipt_pkg_config"
run_receipt "$work/receipt_pkg_config"

echo "--- find_package(talmer)"
cmake -S consumer -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_FLAGS="-Wall -Wextra -Wpedantic -Werror" >/dev/null
cmake --build "$work/consumer" >/dev/null
run_receipt "$work/consumer/receipt"

echo "--- cpack -G DEB"
(cd "$build" && cpack -G DEB -B "$work/package" >/dev/null)
deb=$(echo "$work"/package/talmer_*.deb)
[ -f "$deb" ] || fail "cpack made no talmer_*.deb"
contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
expected=(./usr/include/talmer.h ./usr/lib/libtalmer.so.1 ./usr/lib/libtalmer.so.1.0.0
  ./usr/lib/libtalmer.so ./usr/lib/pkgconfig/talmer.pc
  ./usr/lib/cmake/talmer/talmerConfig.cmake ./usr/lib/cmake/talmer/talmerConfigVersion.cmake
  ./usr/lib/cmake/talmer/talmerTargets.cmake ./usr/share/doc/talmer/README.md)
for program in fiscal_menu request_results plain_receipt modem_link status_callback \
  status_event talmer_printer; do
  [ "$program" = talmer_printer ] && [ ! -e "$build/bin/talmer_printer" ] && continue
  expected+=("./usr/bin/$program")
done
for file in "${expected[@]}"; do
  grep -qxF "$file" <<<"$contents" || fail "$(basename "$deb") lacks $file"
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "$(basename "$deb"): ${#expected[@]} files checked; Depends: $depends"
grep -q 'libc6' <<<"$depends" || fail "the package does not depend on libc6"
grep -q 'libstdc++6' <<<"$depends" || fail "the package does not depend on libstdc++6"
echo "consumer test passed"
