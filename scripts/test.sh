#!/usr/bin/env bash
# Installs what the tests need where it is missing, then runs every test: the
# development build, the consumer test against its installed tree and its
# Debian package, the same suite under AddressSanitizer with
# UndefinedBehaviorSanitizer, and under ThreadSanitizer; each fuzz target for
# a bounded time (scripts/fuzz.sh); then the Windows build (MinGW-w64), whose
# programs the development build's end-to-end suite drives under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

talmer_install_packages "${talmer_test_packages[@]}"

echo "=== dev"
cmake --workflow --preset dev
echo "=== consumer"
bash scripts/consumer-test.sh build/dev
for preset in asan tsan; do
  echo "=== $preset"
  cmake --workflow --preset "$preset"
done

echo "=== fuzz"
bash scripts/fuzz.sh

echo "=== mingw"
cmake --preset mingw
cmake --build --preset mingw

# talmer.dll exports the functions of talmer.h and nothing else.
exported=$(x86_64-w64-mingw32-objdump -p build/mingw/bin/talmer.dll |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)
declared=$(grep -oE '^TALMER_API [^(]*\bFPD_[A-Za-z]+\(' connection/talmer.h |
  grep -oE 'FPD_[A-Za-z]+' | sort)
if [ "$exported" != "$declared" ]; then
  echo "talmer.dll does not export exactly the functions of talmer.h:" >&2
  diff <(echo "$declared") <(echo "$exported") >&2 || true
  exit 1
fi

echo "=== wine"
# A Wine prefix of our own, made once; one persistent Wine server for the whole
# suite, so that each program starts in a fraction of a second.
export WINEPREFIX="$PWD/build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null || true # a server left by an interrupted run
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i
  wineserver -w # wineboot's server ends before ours starts
fi
wineserver -p
trap 'wineserver -k || true' EXIT
TALMER_E2E_BINDIR="$PWD/build/mingw/bin" TALMER_E2E_RUNNER=wine TALMER_E2E_EXE_SUFFIX=.exe \
  ctest --test-dir build/dev -L e2e --output-on-failure -j2 --timeout 300 --no-tests=error
