#!/usr/bin/env bash
# Kitebench set-up for a fresh Debian 12 machine.
#   ./setup.sh run    install what is missing, build, start Kitebench
#   ./setup.sh test   install what is missing, build, run every test
#   ./setup.sh bench  install what is missing, build, run the benchmarks
# Run as root or as a user who may use sudo.
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-run}
build=${KB_BUILD_DIR:-build}

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-declarative-dev
  libqscintilla2-qt6-dev qt6-webengine-dev qt6-multimedia-dev
  qt6-qpa-plugins libqt6webenginecore6-bin
  libgtest-dev libgmock-dev
  fonts-nanum fonts-liberation fonts-dejavu-core
)
if [ "$mode" = test ] || [ "$mode" = bench ]; then
  # clang and its runtime: the fuzz targets; xvfb, openbox, xdotool and
  # x11-utils: the placement test on a real desktop; pulseaudio: the sound
  # tests' own server.
  packages+=(clang libclang-rt-14-dev xvfb openbox xdotool x11-utils pulseaudio)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
fi

cmake -S . -B "$build" -G Ninja ${KB_CMAKE_ARGS:-}
cmake --build "$build" --parallel "$(nproc)"
if [ "$mode" = bench ]; then
  cmake --build "$build" --parallel "$(nproc)" --target kb_bench
fi

case "$mode" in
  run)
    exec "$build/Kitebench/Kitebench" ;;
  test)
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
    ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" ;;
  bench)
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
    # Run from the bench folder: some write pictures into the current folder.
    cd "$build/bench"
    for b in bin/*; do [ -f "$b" ] && [ -x "$b" ] && { echo "== $b"; "$b"; }; done ;;
  *)
    echo "usage: $0 run|test|bench" >&2; exit 2 ;;
esac
