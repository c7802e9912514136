# The packages that the build and the tests need, by their Debian 12 names, in
# one place; sourced by scripts/run-menu.sh and scripts/test.sh.

# To build the library and the programs.
talmer_build_packages=(
  cmake make g++ pkg-config
  libcpp-httplib-dev nlohmann-json3-dev libcli11-dev # the printer process
)

# To build and run every test: the build's packages and these.
talmer_test_packages=(
  "${talmer_build_packages[@]}"
  libgtest-dev clang-format
  dpkg-dev file # cpack -G DEB (dpkg-shlibdeps)
  g++-mingw-w64-x86-64-posix wine wine64 # the Windows build, and Wine to run it
  python3-selenium chromium chromium-driver # the printer's panel in a browser
  libbenchmark-dev clang libclang-rt-14-dev # benchmarks; clang and its runtime libraries
)

# talmer_install_packages PACKAGE...
#   Installs those of the packages that are missing: with apt-get as root,
#   through sudo otherwise. Where neither works, names the packages to
#   install by hand and returns 1. Installs nothing when all are there.
talmer_install_packages() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  local as_root=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null || ! sudo -v; then
      echo "Missing packages. Install them as root, then run this again:" >&2
      echo "  apt-get install ${missing[*]}" >&2
      return 1
    fi
    as_root=(sudo)
  fi
  echo "Installing ${missing[*]}"
  "${as_root[@]}" apt-get update -qq &&
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
}
