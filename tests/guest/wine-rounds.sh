#!/usr/bin/env bash
# Runs inside the guest (tools/guest --udev): only the Windows program's whole updates under
# Wine's own HID stack, as many as OUT/wine-rounds says, with the program named in OUT/exe.path
# (default: this checkout's build). It counts one build's lost replies against another's. Then
# the floor client makes the same update in the same run (OUT/wine-floor), the least time a
# client on this stack can take, to measure the program's whole update against:
#
#   GUEST_WINE_ROUNDS=N tests/guest/run.sh --wine-only EXE [RESULTS]
set -uo pipefail
out=$1
repo="$(cd "$(dirname "$0")/../.." && pwd)"
unit="$repo/build/host/sim/uhid/uhid_unit"
exe="$(cat "$out/exe.path" 2>/dev/null || echo "$repo/build/windows/pelora-updater.exe")"
driver="$repo/build/windows/tests/guest/guest_driver.exe"

source "$repo/tests/guest/unit-helpers.sh"

modprobe uhid && modprobe hid-generic || note "cannot load uhid and hid-generic"
note "the Windows program under Wine's own HID stack: $exe"
source "$repo/tests/guest/wine-scenarios.sh"

note "the floor client's whole update"
image="$(sed -n 's/.*"imagePath": "\([^"]*\)".*/\1/p' "$repo/build/host/generated/build_facts.json")"
plug wine-floor
timeout 600 wine "$repo/build/windows/tests/guest/floor_client.exe" "$(winpath "$image")" \
  </dev/null >"$out/wine-floor/floor.out" 2>"$out/wine-floor/floor.err"
echo $? >"$out/wine-floor/floor.status"
unplug wine-floor
timeout 30 wineserver -k
note "done"
