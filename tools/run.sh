#!/bin/sh
# Installs what is needed, builds Vornik and starts the window.
set -e
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
exec build/src/ui/vornik
