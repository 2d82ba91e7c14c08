#!/usr/bin/env bash
# tools/release refuses what must not become a release, before it builds or writes anything:
# the stand-in image without --standin, a missing image, a malformed vendor ID, missing options.
# It runs on a copy of the script beside a copy of the stand-in image, so that a refusal that does
# not happen can never overwrite a real build/release.
#
#   release_refusals.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
sandbox="$(mktemp -d "${TMPDIR:-/tmp}/release-refusals.XXXXXX")"
trap 'rm -rf "$sandbox"' EXIT
mkdir -p "$sandbox/tools" "$sandbox/resources"
cp "$source_dir/tools/release" "$sandbox/tools/"
cp "$source_dir/resources/firmware-standin.bin" "$sandbox/resources/"
# The stand-in under another name is still the stand-in.
cp "$source_dir/resources/firmware-standin.bin" "$sandbox/renamed.bin"
head -c 4096 /dev/zero >"$sandbox/zeros.bin"

failures=0
# expect_refusal NAME PATTERN ARGS...: non-zero exit, PATTERN in the output, nothing built.
expect_refusal() {
  local name=$1 pattern=$2
  shift 2
  local output status=0
  output=$("$sandbox/tools/release" "$@" 2>&1) || status=$?
  if ((status == 0)) || ! grep -q -- "$pattern" <<<"$output" || [[ -e "$sandbox/build" ]]; then
    echo "FAILED: $name (exit $status): $output"
    failures=$((failures + 1))
  else
    echo "ok: $name"
  fi
}

expect_refusal "stand-in image" "pass --standin" \
  --image "$sandbox/resources/firmware-standin.bin" --vendor-id 0x1209
expect_refusal "stand-in image under another name" "is the stand-in image" \
  --image "$sandbox/renamed.bin" --vendor-id 0x1209
expect_refusal "missing image" "no firmware image" --image "$sandbox/none.bin" --vendor-id 0x1209
expect_refusal "empty image" "no firmware image" --image /dev/null --vendor-id 0x1209
expect_refusal "vendor ID without 0x" "16-bit hexadecimal" --image "$sandbox/zeros.bin" \
  --vendor-id 1209
expect_refusal "vendor ID too wide" "16-bit hexadecimal" --image "$sandbox/zeros.bin" \
  --vendor-id 0x12345
expect_refusal "vendor ID with a definition after it" "16-bit hexadecimal" \
  --image "$sandbox/zeros.bin" --vendor-id "0x1209 -DX=1"
expect_refusal "no vendor ID" "usage\|--image PATH" --image "$sandbox/zeros.bin"
expect_refusal "no image" "usage\|--image PATH" --vendor-id 0x1209
exit $((failures > 0))
