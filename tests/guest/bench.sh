#!/usr/bin/env bash
# tools/bench's guest figures, inside the guest (tools/guest --udev): when the script started
# after boot, and a whole update by pelora-update through the kernel's hidraw against the
# simulated unit behind /dev/uhid. Writes OUT/bench.txt; the figures are read by tools/bench.
#
#   bench.sh OUT
set -uo pipefail
out=$1
repo="$(cd "$(dirname "$0")/../.." && pwd)"
echo "script-start $(cut -d' ' -f1 /proc/uptime)" >"$out/bench.txt"
modprobe uhid && modprobe hid-generic
mkdir -p "$out/unit"
"$repo/build/host/sim/uhid/uhid_unit" --results "$out/unit" >"$out/unit/unit.log" 2>&1 &
unit=$!
for _ in $(seq 200); do
  compgen -G '/sys/devices/virtual/misc/uhid/*/hidraw/hidraw*' >/dev/null && break
  sleep 0.05
done
timeout 30 udevadm settle
start=$(date +%s.%N)
timeout 300 "$repo/build/host/pelora-update" update --yes >"$out/update.out" 2>&1
echo "update-status $?" >>"$out/bench.txt"
echo "update-seconds $(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN{printf "%.2f", b - a}')" \
  >>"$out/bench.txt"
kill "$unit"
timeout 10 tail --pid="$unit" -f /dev/null
