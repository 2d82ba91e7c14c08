#!/usr/bin/env bash
# The guest stage of tools/test: boots the guest once (udevd running, QEMU's USB keyboard
# plugged) to run scenarios.sh, then judges the results on this machine with guest_checks.
# Needs the host, package and windows builds.
#
#   tests/guest/run.sh [RESULTS]      (default build/guest/results)
set -euo pipefail
cd "$(dirname "$0")/../.."
results="${1:-build/guest/results}"
rm -rf "$results"
mkdir -p "$results"
start=$SECONDS
status=0
tools/guest --udev --usb-hid --timeout 900 "$results" tests/guest/scenarios.sh || status=$?
echo "tests/guest: the guest ran for $((SECONDS - start)) s (status $status)"
if ((status != 0)); then
  echo "tests/guest: the end of the guest's console:"
  tail -n 40 "$results/console.log"
fi
GUEST_RESULTS="$(realpath "$results")" build/host/tests/guest/guest_checks
exit "$status"
