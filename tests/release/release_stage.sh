#!/usr/bin/env bash
# The release stage of tools/test: the release path, as the maker takes it for the next firmware.
# A test release of another version and another image (4.1, 50,003 bytes: not whole words),
# signed with a throwaway certificate made here (never kept), is made by tools/release and
# checked by tools/verify-release; a copy of it with one byte of the signed program changed must
# fail that check. Then one whole update with each of its files: the signed program under Wine
# (the e2e rig), the package's program installed on this machine (--version) and the page in
# Chromium, served from a sub-folder. The package's update on the real HID stack is the guest
# stage's (tests/guest/run.sh --release-deb, with the paths this stage prints last).
#
#   tests/release/release_stage.sh [WORK]     (default build/release-check)
set -euo pipefail
cd "$(dirname "$0")/../.."
work="$(realpath -m "${1:-build/release-check}")"
version=4.1
vendor_id=0x1209

fail() {
  echo "release stage: $*" >&2
  exit 1
}
step() { echo "release stage: $* ($SECONDS s)"; }

rm -rf "$work/dist" "$work/rebuilt" "$work/tampered" "$work/keys"
mkdir -p "$work/keys"
image="$work/image-$version.bin"
tools/make_standin_image --bytes 50003 "$image" >/dev/null
# The throwaway signer: a key and a self-signed code-signing certificate, gone with the stage.
trap 'rm -rf "$work/keys"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=PELORA release stage throwaway" \
  -addext extendedKeyUsage=codeSigning -keyout "$work/keys/signer.key" \
  -out "$work/keys/signer.crt" 2>/dev/null

step "tools/release $version"
tools/release --image "$image" --version "$version" --vendor-id "$vendor_id" \
  --sign "$work/keys/signer.key" "$work/keys/signer.crt" --dist "$work/dist"
release="$work/dist/$version"

step "tools/verify-release"
tools/verify-release "$release" --image "$image" --ca "$work/keys/signer.crt" \
  --keep-rebuild "$work/rebuilt"

step "a signed program with one byte changed outside its signature"
cp -a "$release" "$work/tampered"
python3 - "$work/tampered/pelora-updater.exe" <<'EOF'
import sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
data[0x1000] ^= 0x01  # in the code, far from the headers and the signature at the end
open(path, "wb").write(data)
EOF
# SHA256SUMS made to match, as a forger would: only the signature and the rebuild can tell.
(cd "$work/tampered" && find . -type f ! -name SHA256SUMS ! -name RELEASE.md -printf '%P\n' |
  LC_ALL=C sort | xargs -d '\n' sha256sum >SHA256SUMS)
if tools/verify-release "$work/tampered" --image "$image" --ca "$work/keys/signer.crt" \
  --rebuilt "$work/rebuilt" >"$work/tampered.log" 2>&1; then
  cat "$work/tampered.log"
  fail "tools/verify-release passed a program with one byte changed"
fi
grep -q "pelora-updater.exe: the program differs from the rebuilt one at 0x1000 " \
  "$work/tampered.log" || { cat "$work/tampered.log"; fail "the changed byte was not named"; }
grep -q "pelora-updater.exe: osslsigncode verify" "$work/tampered.log" ||
  { cat "$work/tampered.log"; fail "the broken signature was not reported"; }
echo "release stage: the changed program fails verification:"
grep FAILED "$work/tampered.log"

# The drivers and the fake unit of the suites, built for this release's version and image.
options=(-DUPDATER_FIRMWARE_IMAGE="$image" -DUPDATER_FIRMWARE_VERSION="$version"
  -DUPDATER_VENDOR_ID="$vendor_id")
jobs=$(nproc)

step "the signed program under Wine: a whole update"
cmake --preset windows -B "$work/windows" "${options[@]}" >/dev/null
cmake --build "$work/windows" --parallel "$jobs" \
  --target e2e_driver e2e_hid_double e2e_setupapi_double >/dev/null
e2e=tests/e2e/run-e2e.sh
wine_work="$work/wine"
"$e2e" setup "$wine_work" "$work/windows/tests/e2e/hid.dll" \
  "$work/windows/tests/e2e/setupapi.dll"
status=0
"$e2e" run "$wine_work" en "$work/windows/tests/e2e/e2e_driver.exe" "$release/pelora-updater.exe" \
  "$image" update || status=$?
"$e2e" cleanup "$wine_work"
((status == 0)) || fail "the signed program's update under Wine failed"

step "the package: installed, --version, removed"
tests/package/check_package.sh "$release/pelora-update_$version.0_amd64.deb" \
  "$work/windows/generated/build_facts.json"

step "the page in Chromium, from a sub-folder: a whole update"
cmake --preset web -B "$work/web" "${options[@]}" >/dev/null
NODE_PATH=/usr/share/nodejs cmake --build "$work/web" --parallel "$jobs" --target sim-unit \
  web-fake >/dev/null
(cd tests/web && NODE_PATH=/usr/share/nodejs WEB_SITE="$release/pelora-web-$version" \
  WEB_BASE=/downloads/updater/ WEB_FAKE="$work/web/fake" \
  WEB_BUILD_FACTS="$work/web/generated/build_facts.json" WEB_SCREENSHOTS="$work/screenshots" \
  node --test --test-reporter=tap --test-name-pattern='updated byte for byte' web.test.mjs \
  >"$work/web.log" 2>&1) || { cat "$work/web.log"; fail "the page's update failed"; }
grep -q '^# pass 1$' "$work/web.log" || { cat "$work/web.log"; fail "the page's update did not run"; }

step "done; for the guest stage: --release-deb $release/pelora-update_${version}.0_amd64.deb $image"
