#!/bin/sh
# Installs the Debian 12 packages Vornik needs to build, run and test.
set -e
PACKAGES="cmake g++ make qt6-base-dev qt6-svg-dev libgl-dev fonts-liberation nlohmann-json3-dev libcli11-dev libarchive-dev python3 \
  libgtest-dev libgmock-dev libbenchmark-dev libssl-dev xvfb xauth x11-utils clang libclang-rt-dev \
  desktop-file-utils libxml2-utils shared-mime-info libglib2.0-bin \
  dpkg-dev file lintian man-db bash-completion"
# `deps.sh windows`: what the Windows cross-build and its test run under wine take instead.
if [ "${1:-}" = windows ]; then
  PACKAGES="cmake make python3 g++-mingw-w64-x86-64 googletest nlohmann-json3-dev libcli11-dev wine wine64"
fi
if [ "$(id -u)" = 0 ]; then SUDO=; else SUDO=sudo; fi
missing=
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
fi
