#!/usr/bin/env bash
# Builds the Debian package the way a distribution would: Debian's own compiler and linker
# flags (dpkg-buildflags, with every hardening feature), an optimised build of the programs,
# the voice generator (the package makes the built-in voices when it is installed) and the
# demo song, stripped binaries; then checks it with lintian.
# Usage: scripts/package.sh      Output: build-package/kantor_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh dpkg-dev lintian file
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
# CMake reads CFLAGS, CXXFLAGS and LDFLAGS when it first configures a tree; the preprocessor
# flags (_FORTIFY_SOURCE) go with the compiler's.
export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS"
rm -rf build-package
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DKANTOR_TESTS=OFF -DKANTOR_BENCH=OFF -DKANTOR_BUILTIN_VOICES=OFF -DKANTOR_VOICES_AT_INSTALL=ON "${launcher[@]}"
cmake --build build-package -j "${JOBS:-2}"
(cd build-package && cpack -G DEB)
deb=$(ls build-package/kantor_*.deb)
ls -l "$deb"
echo "lintian $deb:"
lintian --info --display-info "$deb" || true
