#!/usr/bin/env bash
# Installs what the build needs where it is missing, builds the library and
# every program without the tests (preset "run": build/run/bin), and starts
# fiscal_menu against the virtual printer. Arguments go to fiscal_menu; the
# default is the serial port COM1,9600,8,N,1,H.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

talmer_install_packages "${talmer_build_packages[@]}"
cmake --preset run >/dev/null
cmake --build --preset run

[ $# -gt 0 ] || set -- SERIAL COM1,9600,8,N,1,H
exec build/run/bin/fiscal_menu "$@"
