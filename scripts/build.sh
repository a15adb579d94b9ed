#!/usr/bin/env bash
# Configures and builds the project.
# Usage: scripts/build.sh [release|asan|fuzz]   (default: release)
# Build trees: build/ (release), build-asan/ (ASan + UBSan), build-fuzz/ (clang + libFuzzer).
set -euo pipefail
cd "$(dirname "$0")/.."

kind=${1:-release}
jobs=${JOBS:-2}
opts=(-DKANTOR_WERROR=ON)
if command -v ccache >/dev/null 2>&1; then
  # Worktrees beside this one share the cache: paths are hashed relative to the parent folder.
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$PWD")}
  export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
  opts+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

case "$kind" in
  release)
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${opts[@]}" ;;
  asan)
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKANTOR_SANITIZE=ON \
      -DKANTOR_BENCH=OFF "${opts[@]}" ;;
  fuzz)
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKANTOR_FUZZ=ON \
      -DKANTOR_BENCH=OFF -DKANTOR_TESTS=OFF \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${opts[@]}" ;;
  *) echo "unknown build kind: $kind" >&2; exit 2 ;;
esac

dir=build
[ "$kind" = asan ] && dir=build-asan
[ "$kind" = fuzz ] && dir=build-fuzz
cmake --build "$dir" -j "$jobs"
