# Sourced inside the guest by scenarios.sh and wine-rounds.sh (their out and unit): simulated units
# plugged and unplugged behind /dev/uhid, each with its results under OUT/NAME.

note() { echo "scenarios: $* ($(cut -d' ' -f1 /proc/uptime) s)"; }

# Polls `condition` every 50 ms for at most `seconds`.
wait_for() {
  local seconds=$1
  shift
  local i
  for ((i = 0; i < seconds * 20; ++i)); do
    if "$@"; then return 0; fi
    sleep 0.05
  done
  return 1
}

uhid_node_present() { compgen -G '/sys/devices/virtual/misc/uhid/*/hidraw/hidraw*' >/dev/null; }
uhid_node_absent() { ! uhid_node_present; }
uhid_node() { basename "$(ls -d /sys/devices/virtual/misc/uhid/*/hidraw/hidraw* | head -n1)"; }

# plug NAME [uhid_unit option...]: a unit whose results go to OUT/NAME, until unplug NAME.
plug() {
  local name=$1
  shift
  mkdir -p "$out/$name/control"
  "$unit" --results "$out/$name" --control "$out/$name/control" "$@" \
    >"$out/$name/unit.log" 2>&1 &
  echo $! >"$out/$name/unit.pid"
  wait_for 10 uhid_node_present || note "$name: no hidraw node within 10 s"
  timeout 30 udevadm settle
  echo "/dev/$(uhid_node)" >"$out/$name/node"
}

unplug() {
  local name=$1 pid
  pid="$(cat "$out/$name/unit.pid")"
  kill "$pid" 2>/dev/null
  timeout 10 tail --pid="$pid" -f /dev/null
  wait_for 10 uhid_node_absent || note "$name: the hidraw node stayed"
  timeout 30 udevadm settle
}
