#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
# Sourced by scripts/run, scripts/test and scripts/bench.
ZELVOR_PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libqt6opengl6-dev qt6-qpa-plugins
  libgl-dev libglu1-mesa-dev libegl-dev libgl1-mesa-dri libegl-mesa0 libx11-dev libxi-dev
  libfreetype-dev libfontconfig-dev fonts-liberation2
  libxml2-dev libcurl4-openssl-dev zlib1g-dev libdw-dev libpng-dev
  nlohmann-json3-dev uuid-dev
  gemmi-dev tao-pegtl-dev  # the mmCIF reader runs gemmi's CIF grammar (header-only) on PEGTL
  libgtest-dev libgmock-dev libbenchmark-dev
  libssl-dev  # the update check's tests run their own HTTPS server with a certificate made at start
  xvfb xauth x11-utils xdotool xdg-utils
  libxtst-dev  # the exit-latency benchmark moves the pointer through XTest
  gdb elfutils  # the crash dump's tests open the written core files with gdb and eu-stack
)
# What only scripts/bench needs: the peer whose frames per processor-second it measures, and gemmi's Python
# reader that the mmCIF load is measured against.
ZELVOR_BENCH_PACKAGES=(xscreensaver-gl python3-gemmi)

# zelvor_install_packages [more packages...]
zelvor_install_packages() {
  local missing=()
  for p in "${ZELVOR_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# zelvor_build DIR [cmake options...]
zelvor_build() {
  local dir=$1; shift
  cmake -S "$ZELVOR_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}
