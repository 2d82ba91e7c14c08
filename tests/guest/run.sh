#!/usr/bin/env bash
# The guest stage of tools/test: boots the guest once (udevd running, QEMU's USB keyboard
# plugged) to run scenarios.sh, then judges the results on this machine with guest_checks.
# Needs the host, package and windows builds. With --release-deb, the guest also installs a
# release's package over the test package and updates a unit with it (IMAGE: what it carries).
#
#   tests/guest/run.sh [--release-deb DEB IMAGE] [RESULTS]      (default build/guest/results)
#   tests/guest/run.sh --wine-only EXE [RESULTS]                 (default build/guest/wine-only)
#
# GUEST_WINE_ROUNDS=N plays the Windows program's whole update N times in a row (default 1).
# --wine-only plays only those updates, with EXE (another build of the Windows program), and
# prints each round's status instead of judging the other scenarios.
set -euo pipefail
cd "$(dirname "$0")/../.."
release_deb="" release_image="" wine_only_exe=""
if [[ "${1:-}" == --release-deb ]]; then
  release_deb="$(realpath "$2")" release_image="$(realpath "$3")"
  shift 3
elif [[ "${1:-}" == --wine-only ]]; then
  wine_only_exe="$(realpath "$2")"
  shift 2
fi
results="${1:-build/guest/results}"
[[ -n "$wine_only_exe" ]] && results="${1:-build/guest/wine-only}"

# The Wine prefix for the guest, made here: wineboot takes 80 s under TCG and 12 s on this
# machine. The guest reads it through its overlay and writes to the overlay only, so one prefix
# serves every boot; it is made again when Wine's version changes.
prefix="$PWD/build/guest/wineprefix"
wine_version="$(wine --version)"
if [[ "$(cat "$prefix.version" 2>/dev/null)" != "$wine_version" ]]; then
  rm -rf "$prefix" "$prefix.version"
  mkdir -p "$(dirname "$prefix")"
  (
    export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    timeout 180 wine wineboot --init </dev/null >/dev/null 2>&1
    # winebus looks for HID devices on udev's hidraw nodes only when its SDL bus is off.
    timeout 60 wine reg add 'HKLM\System\CurrentControlSet\Services\winebus' \
      /v 'Enable SDL' /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
    timeout 60 wineserver -w
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  )
  echo "$wine_version" >"$prefix.version"
fi
rm -rf "$results"
mkdir -p "$results"
if [[ -n "$release_deb" ]]; then
  # Read by scenarios.sh in the guest (this machine's root is shared) and by guest_checks.
  echo "$release_deb" >"$results/release-deb.path"
  echo "$release_image" >"$results/release-image.path"
fi
# Variables reach the guest only on the kernel's command line; the round count goes in a file.
echo "${GUEST_WINE_ROUNDS:-1}" >"$results/wine-rounds"
start=$SECONDS
status=0
timeout_s=$((900 + 240 * (${GUEST_WINE_ROUNDS:-1} - 1)))
if [[ -n "$wine_only_exe" ]]; then
  echo "$wine_only_exe" >"$results/exe.path"
  tools/guest --udev --timeout "$timeout_s" "$results" tests/guest/wine-rounds.sh || status=$?
  echo "tests/guest: the guest ran for $((SECONDS - start)) s (status $status)"
  # One line per round: its number, the driver's status (0: the whole update succeeded) and its
  # folder under RESULTS.
  rounds_file="$results/wine/rounds"
  [[ -f "$rounds_file" ]] || { echo "tests/guest: no round was played" >&2; exit 1; }
  failed="$(awk '$2 != 0' "$rounds_file" | wc -l)"
  echo "tests/guest: $(wc -l <"$rounds_file") rounds, $failed failed"
  while read -r round _ name; do
    echo "--- round $round:"
    grep -h -E "Failure|Expected|Which is|error" "$results/$name/driver.out" | head -n 12
  done < <(awk '$2 != 0' "$rounds_file")
  # The whole update as the unit saw it, lock request to the closing pair's last request, in
  # each round that succeeded and in the floor client's run.
  update_seconds() {
    awk '$4 ~ /^010b0101/ && !lock {lock = $2} END {if (lock) printf "%.3f", ($2 - lock) / 1e6}' \
      "$1/requests.txt"
  }
  floor="$(update_seconds "$results/wine-floor")"
  echo "tests/guest: the floor client: status $(cat "$results/wine-floor/floor.status"), ${floor:-no} s"
  while read -r round _ name; do
    seconds="$(update_seconds "$results/$name")"
    echo "tests/guest: round $round: $seconds s, ratio to the floor $(awk -v a="$seconds" -v b="$floor" 'BEGIN{if (b > 0) printf "%.4f", a / b}')"
  done < <(awk '$2 == 0' "$rounds_file")
  ((status == 0 && failed == 0))
  exit
fi
tools/guest --udev --usb-hid --timeout "$timeout_s" "$results" tests/guest/scenarios.sh || status=$?
echo "tests/guest: the guest ran for $((SECONDS - start)) s (status $status)"
if ((status != 0)); then
  echo "tests/guest: the end of the guest's console:"
  tail -n 40 "$results/console.log"
fi
GUEST_RESULTS="$(realpath "$results")" build/host/tests/guest/guest_checks
exit "$status"
