#!/usr/bin/env bash
# Builds the suite's Debian packages and leaves them in build/packages/:
# halvorin-driverd, halvorin and halvorin-tools, <name>_<version>_<arch>.deb.
# Installs what the build needs (scripts/bootstrap.sh --packaging), copies the
# tree without its build folders to build/package/, and runs
# `dpkg-buildpackage -us -uc -b` there. Asks nothing and may run any number of
# times; each run starts afresh (a compiler cache, when there is one, keeps it
# short).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh --packaging

version=$(dpkg-parsechangelog -S Version)
work=build/package
out=build/packages
rm -rf "$work" "$out"
mkdir -p "$work/halvorin-$version" "$out"
tar --exclude=./build --exclude=./.git -cf - . | tar -C "$work/halvorin-$version" -xf -

if command -v ccache >/dev/null; then
  export HALVORIN_CMAKE_OPTIONS="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
fi
export DEB_BUILD_OPTIONS="nocheck noautodbgsym parallel=$(nproc)"
log="$work/build.log"
echo "package: building in $work (log: $log)"
if ! (cd "$work/halvorin-$version" && dpkg-buildpackage -us -uc -b) >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "package: dpkg-buildpackage failed; the whole log is $log" >&2
  exit 1
fi
mv "$work"/*.deb "$out/"
ls -1 "$out"
