#!/usr/bin/env bash
# What one configure is told must not decide a later one: the package's permission to carry the
# stand-in holds for the configure that gives it, and a refused image path or version is not kept
# in the cache, so the next configure without them works again.
#
#   configure_cache.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
build="$(mktemp -d "${TMPDIR:-/tmp}/configure-cache.XXXXXX")"
trap 'rm -rf "$build" "$build.log"' EXIT

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
configure() {
  cmake -S "$source_dir" -B "$build" -DUPDATER_TESTS=OFF "$@" >"$build.log" 2>&1
}
# The package build's check, written at configure time and run by cpack: empty when allowed.
package_allows_standin() {
  [[ ! -s "$build/package_image_check.cmake" ]]
}

configure -DUPDATER_PACKAGE_STANDIN=ON || fail "configure with the stand-in allowed"
package_allows_standin || fail "the stand-in was not allowed when asked"
configure || fail "plain configure"
package_allows_standin && fail "UPDATER_PACKAGE_STANDIN stuck from the configure before"

if configure -DUPDATER_FIRMWARE_IMAGE=/no/such/image.bin; then
  fail "a missing image was accepted"
elif ! grep -q "no firmware image file at '/no/such/image.bin'" "$build.log"; then
  fail "a missing image was refused without naming it: $(cat "$build.log")"
fi
configure || fail "the configure after a missing image still fails: $(cat "$build.log")"

for version in 4.01 256.0 4 4.1.0 x.y; do
  if configure -DUPDATER_FIRMWARE_VERSION="$version"; then
    fail "version $version was accepted"
  fi
  configure || fail "the configure after version $version still fails: $(cat "$build.log")"
done
configure -DUPDATER_FIRMWARE_VERSION=255.0 || fail "version 255.0 was refused"
exit $((failures > 0))
