#!/bin/sh
# Installs what is needed, builds Vornik and runs every test: the whole
# suite on a normal build, then the core and command-line tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer, and last the Windows
# build of vornik-cli under wine.
set -e
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVORNIK_SANITIZE=ON -DVORNIK_BUILD_UI=OFF
cmake --build build-asan -j2
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j2

# vornik-cli for Windows: cross-built with mingw-w64, its tests run under wine.
tools/windows.sh build-win
