#!/usr/bin/env bash
# Builds the project and runs every test: the development build, then the
# same suite under AddressSanitizer with UndefinedBehaviorSanitizer, and under
# ThreadSanitizer; then each fuzz target for a bounded time (scripts/fuzz.sh);
# then the Windows build (MinGW-w64), whose programs the development build's
# end-to-end suite drives under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

for preset in dev asan tsan; do
  echo "=== $preset"
  cmake --workflow --preset "$preset"
done

# clang can build a libFuzzer target (clang and libclang-rt-dev installed).
can_fuzz() {
  command -v clang++ >/dev/null || return 1
  local probe status=0
  probe=$(mktemp -d)
  echo 'extern "C" int LLVMFuzzerTestOneInput(const char *, unsigned long) { return 0; }' \
    >"$probe/probe.cpp"
  clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" \
    2>/dev/null || status=1
  rm -rf "$probe"
  return $status
}

if can_fuzz; then
  echo "=== fuzz"
  bash scripts/fuzz.sh
elif [ "${CI:-}" = true ]; then
  echo "The fuzz targets need clang and libclang-rt-14-dev (libFuzzer)." >&2
  exit 1
else
  echo "=== fuzz: skipped, clang with libFuzzer is not installed"
fi

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || ! command -v wine >/dev/null; then
  if [ "${CI:-}" = true ]; then
    echo "The Windows build needs g++-mingw-w64-x86-64-posix, wine and wine64." >&2
    exit 1
  fi
  echo "=== mingw: skipped, the MinGW-w64 cross compiler or Wine is not installed"
  exit 0
fi

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
