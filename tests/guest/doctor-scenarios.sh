# pelora-update doctor on the real stack, each condition made real: sourced by scenarios.sh, whose
# helpers (plug, unplug, run, wait_for) and users it uses. Each run keeps doctor's JSON and status
# under OUT/doctor-*; guest_checks judges them.

# Without the rule (scenarios.sh has removed it): the node stays root's, and tester is told why.
doctor_without_rule() {
  note "doctor without the rule"
  plug doctor-no-rule
  run doctor-no-rule doctor --as "$user" /usr/local/bin/pelora-update-build doctor --json
  unplug doctor-no-rule
}

# With the packaged rule installed: well, a user not in plugdev, another process holding the
# node, the hidraw driver unbound (and bound again by doctor's own fix), the unit in the wrong mode.
doctor_with_rule() {
  note "doctor with the rule: well, not in plugdev, held, unbound, wrong mode"
  useradd --create-home outsider
  plug doctor-well
  local node hid
  node="$(cat "$out/doctor-well/node")"
  hid="$(basename "$(dirname "$(dirname "$(readlink -f "/sys/class/hidraw/$(basename "$node")")")")")"
  echo "$hid" >"$out/doctor-well/hid"
  run doctor-well well --as "$user" /usr/bin/pelora-update doctor --json
  run doctor-well outsider --as outsider /usr/bin/pelora-update doctor --json

  # flock(1) takes the same lock pelora-update takes on the node, and keeps it while sleep runs.
  flock --nonblock "$node" sleep 60 &
  local holder=$!
  echo "$holder" >"$out/doctor-well/holder.pid"
  wait_for 10 grep -q " $holder " /proc/locks
  run doctor-well held --as "$user" /usr/bin/pelora-update doctor --json
  kill "$holder" 2>/dev/null
  wait "$holder" 2>/dev/null

  echo "$hid" >/sys/bus/hid/drivers/hid-generic/unbind
  wait_for 10 uhid_node_absent
  run doctor-well unbound /usr/bin/pelora-update doctor --json
  # The fix doctor names, as the user would run it, then doctor again.
  echo "$hid" >/sys/bus/hid/drivers/hid-generic/bind
  wait_for 10 uhid_node_present
  timeout 30 udevadm settle
  run doctor-well rebound --as "$user" /usr/bin/pelora-update doctor --json
  unplug doctor-well

  plug doctor-wrong-mode --unit-mode 2
  run doctor-wrong-mode wrong-mode --as "$user" /usr/bin/pelora-update doctor --json
  run doctor-wrong-mode text --as "$user" /usr/bin/pelora-update doctor
  unplug doctor-wrong-mode
}
