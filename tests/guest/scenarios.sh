#!/usr/bin/env bash
# Runs inside the guest (tools/guest --udev --usb-hid), as root: the programs on the kernel's
# hidraw, udev and Wine's own HID stack against the simulated unit behind /dev/uhid. It only
# runs them and keeps what they did under OUT (each run's output, exit status, the unit's request
# trace and flash); the host's guest_checks judges it all after the guest has powered off.
#
#   scenarios.sh OUT
set -uo pipefail
out=$1
repo="$(cd "$(dirname "$0")/../.." && pwd)"
host="$repo/build/host"
unit="$host/sim/uhid/uhid_unit"
cli="$host/pelora-update"
deb="$(ls "$repo"/build/package/pelora-update_*_amd64.deb | head -n1)"
exe="$repo/build/windows/pelora-updater.exe"
driver="$repo/build/windows/tests/guest/guest_driver.exe"
user=tester

source "$repo/tests/guest/unit-helpers.sh"

# run NAME STEP [--as USER] PROGRAM ARG...: OUT/NAME/STEP.{out,err,status}, bounded to 120 s.
run() {
  local name=$1 step=$2
  shift 2
  local as=()
  if [[ $1 == --as ]]; then
    as=(setpriv --reuid="$2" --regid="$2" --init-groups --reset-env)
    shift 2
  fi
  local status=0
  timeout 120 "${as[@]}" env LANG=C.UTF-8 "$@" </dev/null >"$out/$name/$step.out" \
    2>"$out/$name/$step.err" || status=$?
  echo "$status" >"$out/$name/$step.status"
}

node_access() { stat -c '%U %G %a' "$1" >"$2"; }

modprobe uhid && modprobe hid-generic || note "cannot load uhid and hid-generic"
useradd --create-home --groups plugdev "$user"

note "command line as root: list, list --json, the unit leaving the bus during the transfer"
plug cli-list
run cli-list list "$cli" list
run cli-list json "$cli" list --json
unplug cli-list
plug cli-vanish --fault 0x1B:10:vanish
run cli-vanish update "$cli" update --yes
unplug cli-vanish

note "without the rule: the node is root's and $user is told so"
# This machine's own copy of the rule, if it has one, stays out of the guest's view.
rm -f /usr/lib/udev/rules.d/70-pelora-update.rules /etc/udev/rules.d/70-pelora-update.rules
udevadm control --reload-rules
plug no-rule
node_access "$(cat "$out/no-rule/node")" "$out/no-rule/access"
# The checkout may sit in a folder only root can enter (mktemp -d makes one): $user runs a copy.
install -m 0755 "$cli" /usr/local/bin/pelora-update-build
run no-rule list --as "$user" /usr/bin/env /usr/local/bin/pelora-update-build list
unplug no-rule
source "$repo/tests/guest/doctor-scenarios.sh"
doctor_without_rule

note "the packaged rule, installed from the package"
# man-db would re-index every manual page over 9p for minutes; the package's page is not tested here.
rm -f /var/lib/man-db/auto-update
dpkg -i "$deb" >"$out/dpkg.log" 2>&1
echo $? >"$out/dpkg.status"
plug with-rule
node_access "$(cat "$out/with-rule/node")" "$out/with-rule/access"
run with-rule list --as "$user" /usr/bin/pelora-update list
run with-rule update --as "$user" /usr/bin/pelora-update update --yes
unplug with-rule
doctor_with_rule

note "a second program on the node while pelora-update updates: one that listens, one that does not"
# Neither claims the unit: the second talker is only seen on the wire, by the replies it causes.
for manner in polite blind; do
  name="second-$manner"
  plug "$name"
  run "$name" update "$cli" update --yes &
  update_run=$!
  run "$name" talker "$host/tests/guest/second_talker" "--$manner" "$(cat "$out/$name/node")"
  wait "$update_run"
  unplug "$name"
done

note "the same rule on a real USB HID device: QEMU's keyboard, vendor 0627 product 0001"
mkdir -p "$out/usb"
modprobe xhci-pci && modprobe usbhid
cp "$host/tests/guest/usb-keyboard.rules" /etc/udev/rules.d/71-usb-keyboard-as-unit.rules
udevadm control --reload-rules
wait_for 10 eval 'compgen -G "/sys/bus/usb/devices/*/0003:0627:0001.*/hidraw/hidraw*" >/dev/null'
udevadm trigger --action=add --subsystem-match=hidraw
timeout 30 udevadm settle
keyboard="$(ls -d /sys/bus/usb/devices/*/0003:0627:0001.*/hidraw/hidraw* 2>/dev/null | head -n1)"
if [[ -n "$keyboard" ]]; then
  node_access "/dev/$(basename "$keyboard")" "$out/usb/access"
fi

note "the Windows program under Wine's own HID stack"
source "$repo/tests/guest/wine-scenarios.sh"

if [[ -f "$out/release-deb.path" ]]; then
  note "a release's package, installed over the test package, updates a unit as $user"
  mkdir -p "$out/release"
  dpkg -i "$(cat "$out/release-deb.path")" >"$out/release/dpkg.log" 2>&1
  echo $? >"$out/release/dpkg.status"
  plug release
  run release version /usr/bin/pelora-update --version
  run release update --as "$user" /usr/bin/pelora-update update --yes
  unplug release
fi

note "done"
