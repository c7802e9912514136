#!/usr/bin/env bash
# Builds the project and runs every test: the development build, then the
# same suite under AddressSanitizer with UndefinedBehaviorSanitizer, and under
# ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

for preset in dev asan tsan; do
  echo "=== $preset"
  cmake --workflow --preset "$preset"
done
