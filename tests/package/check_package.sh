#!/usr/bin/env bash
# Checks the Debian package of pelora-update: it holds the program, the udev rule for the build's
# vendor ID, the manual page and the licence; it installs; the installed program runs --version
# and names the build's version; and it removes cleanly. Installs into this machine (as root, or
# with sudo), then removes it. The vendor ID and version come from the build's facts.
#
#   check_package.sh PACKAGE.deb BUILD_FACTS_JSON
set -euo pipefail
deb=$1 facts=$2
fact() { python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))[sys.argv[2]])' "$facts" "$1"; }
vendor="$(printf '%04x' "$(fact vendorId)")"
carried="$(fact versionText)"

fail() { echo "check_package: $*" >&2; exit 1; }
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi

contents="$(dpkg-deb -c "$deb")"
for path in ./usr/bin/pelora-update ./usr/lib/udev/rules.d/70-pelora-update.rules \
            ./usr/share/man/man1/pelora-update.1.gz ./usr/share/doc/pelora-update/copyright; do
  grep -q " $path\$" <<<"$contents" || fail "$path is missing from $deb"
done
dpkg-deb -f "$deb" Depends | grep -q libhidapi-hidraw0 || fail "the package does not depend on hidapi"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work"
rule="$work/usr/lib/udev/rules.d/70-pelora-update.rules"
# Whether the rule matches real and simulated units is tried in the guest system (tests/guest).
grep -q "KERNELS==\"0003:${vendor^^}:000\[12\]\.\*\".*GROUP=\"plugdev\", TAG+=\"uaccess\"" "$rule" ||
  fail "the udev rule does not give vendor $vendor's products 1 and 2 to the user"
zcat "$work/usr/share/man/man1/pelora-update.1.gz" | grep -q '^\.SH NAME' || fail "no manual page"

if dpkg-query -W -f='${Status}' pelora-update 2>/dev/null | grep -q "install ok installed"; then
  fail "pelora-update is already installed on this machine; not touching it"
fi
"${sudo_cmd[@]}" dpkg -i "$deb" >/dev/null
version="$(/usr/bin/pelora-update --version)" || { "${sudo_cmd[@]}" dpkg -r pelora-update; fail "--version failed"; }
"${sudo_cmd[@]}" dpkg -r pelora-update >/dev/null
[[ ! -e /usr/bin/pelora-update ]] || fail "removing the package left /usr/bin/pelora-update"
[[ "$(head -n1 <<<"$version")" == "pelora-update $carried" ]] || fail "unexpected version: $version"
echo "check_package: $deb installs, runs --version ($(head -n1 <<<"$version")) and removes cleanly"
