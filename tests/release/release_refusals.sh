#!/usr/bin/env bash
# tools/release refuses what must not become a release, before it builds or writes anything:
# the stand-in image without --standin, a missing or empty image, a malformed version or vendor
# ID, a key that is not the certificate's, a tree with uncommitted changes, a release that exists
# already, missing options. It runs on a copy of the script beside a copy of the stand-in image,
# so that a refusal that does not happen can never overwrite a real release; after each refusal
# the sandbox holds no build and nothing new in dist/.
#
#   release_refusals.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
sandbox="$(mktemp -d "${TMPDIR:-/tmp}/release-refusals.XXXXXX")"
trap 'rm -rf "$sandbox"' EXIT
mkdir -p "$sandbox/tools" "$sandbox/resources" "$sandbox/keys"
cp "$source_dir/tools/release" "$sandbox/tools/"
cp "$source_dir/resources/firmware-standin.bin" "$sandbox/resources/"
# The stand-in under another name is still the stand-in.
cp "$source_dir/resources/firmware-standin.bin" "$sandbox/renamed.bin"
head -c 4096 /dev/zero >"$sandbox/zeros.bin"
# Two throwaway signing identities, to offer one's key with the other's certificate.
for who in one other; do
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1 \
    -subj "/CN=refusal test $who" -keyout "$sandbox/keys/$who.key" \
    -out "$sandbox/keys/$who.crt" 2>/dev/null
done
good=(--image "$sandbox/zeros.bin" --version 4.1 --vendor-id 0x1209)

failures=0
dist_before=""
# expect_refusal NAME PATTERN ARGS...: non-zero exit, PATTERN in the output, nothing built.
expect_refusal() {
  local name=$1 pattern=$2
  shift 2
  local output status=0
  output=$("$sandbox/tools/release" "$@" 2>&1) || status=$?
  if ((status == 0)) || ! grep -q -- "$pattern" <<<"$output" || [[ -e "$sandbox/build" ]] ||
    [[ "$(ls -A "$sandbox/dist" 2>/dev/null)" != "$dist_before" ]]; then
    echo "FAILED: $name (exit $status): $output"
    failures=$((failures + 1))
  else
    echo "ok: $name"
  fi
}

expect_refusal "stand-in image" "pass --standin" \
  --image "$sandbox/resources/firmware-standin.bin" --version 4.1 --vendor-id 0x1209
expect_refusal "stand-in image under another name" "is the stand-in image" \
  --image "$sandbox/renamed.bin" --version 4.1 --vendor-id 0x1209
expect_refusal "missing image" "no firmware image" --image "$sandbox/none.bin" --version 4.1 \
  --vendor-id 0x1209
expect_refusal "empty image" "no firmware image" --image /dev/null --version 4.1 \
  --vendor-id 0x1209
for version in 4 4.1.0 04.1 4.01 256.0 4.256 x.y "4.1 -DX=1"; do
  expect_refusal "version '$version'" "major.minor with parts from 0 to 255" \
    --image "$sandbox/zeros.bin" --version "$version" --vendor-id 0x1209
done
expect_refusal "vendor ID without 0x" "16-bit hexadecimal" --image "$sandbox/zeros.bin" \
  --version 4.1 --vendor-id 1209
expect_refusal "vendor ID too wide" "16-bit hexadecimal" --image "$sandbox/zeros.bin" \
  --version 4.1 --vendor-id 0x12345
expect_refusal "vendor ID with a definition after it" "16-bit hexadecimal" \
  --image "$sandbox/zeros.bin" --version 4.1 --vendor-id "0x1209 -DX=1"
expect_refusal "key of another certificate" "does not match the certificate" "${good[@]}" \
  --sign "$sandbox/keys/one.key" "$sandbox/keys/other.crt"
expect_refusal "missing key" "no private key" "${good[@]}" \
  --sign "$sandbox/keys/none.key" "$sandbox/keys/one.crt"
expect_refusal "time stamp without a signature" "needs --sign" "${good[@]}" \
  --timestamp-url http://127.0.0.1:9/
expect_refusal "no vendor ID" "usage\|--image PATH" --image "$sandbox/zeros.bin" --version 4.1
expect_refusal "no version" "usage\|--image PATH" --image "$sandbox/zeros.bin" --vendor-id 0x1209
expect_refusal "no image" "usage\|--image PATH" --version 4.1 --vendor-id 0x1209

# A committed sandbox with one change more: refused unless --allow-dirty.
git -C "$sandbox" init -q
printf '%s\n' /keys/ /renamed.bin /zeros.bin /dist/ >"$sandbox/.gitignore"
git -C "$sandbox" add .gitignore tools resources
git -C "$sandbox" -c user.name=test -c user.email=test@example.invalid commit -qm sandbox
echo changed >>"$sandbox/resources/firmware-standin.bin"
expect_refusal "uncommitted changes" "uncommitted changes" "${good[@]}"
git -C "$sandbox" checkout -q -- resources
# A release of that version exists: it stays as it is.
mkdir -p "$sandbox/dist/4.1" && echo kept >"$sandbox/dist/4.1/RELEASE.md"
dist_before=4.1
expect_refusal "existing release" "never overwritten" "${good[@]}"
[[ "$(cat "$sandbox/dist/4.1/RELEASE.md")" == kept ]] || {
  echo "FAILED: the existing release was changed"
  failures=$((failures + 1))
}
exit $((failures > 0))
