# Sourced by scenarios.sh inside the guest (its out, exe, driver, plug and unplug): the Windows
# program under Wine with Wine's own hid.dll, setupapi.dll and winebus on the kernel's hidraw.
# guest_driver plays the user; results go to OUT/wine-update and OUT/wine-replug. OUT/wine-rounds,
# when present, holds how many whole updates to play (default 1): round 1 goes to OUT/wine-update,
# round N to OUT/wine-update-N, and OUT/wine/rounds lists each round's number, driver status and
# folder.

winpath() { printf 'Z:%s' "${1//\//\\}"; }

mkdir -p "$out/wine"
# The prefix tests/guest/run.sh made on the host (winebus's SDL bus off); writes stay in the overlay.
# Wine's own errors go to the driver's stderr (OUT/NAME/driver.err): a program that cannot start
# under Wine ends before its dialog, and only Wine can say why.
export WINEPREFIX="$repo/build/guest/wineprefix" WINEDEBUG=-all,err+all WINEDLLOVERRIDES="mscoree,mshtml="
Xvfb :7 -screen 0 1280x1024x24 -nolisten tcp >"$out/wine/xvfb.log" 2>&1 &
xvfb=$!
export DISPLAY=:7
# Under TCG on a busy host Xvfb can take many seconds to listen; a program started before then
# has no display and ends at once (exit status 1, its window could not be created).
for ((i = 0; i < 1200; ++i)); do
  [[ -S /tmp/.X11-unix/X7 ]] && break
  sleep 0.05
done
echo "start $(cut -d' ' -f1 /proc/uptime)" >"$out/wine/times"

# Wine's helper processes outlive the driver and would hold an inherited stdout open: the driver
# writes to files, and the run waits for the driver alone.
drive() {
  local name=$1 filter=$2
  local status=0
  timeout 600 wine "$driver" --gtest_filter="$filter" --exe "$(winpath "$exe")" \
    --control "$(winpath "$out/$name/control")" </dev/null >"$out/$name/driver.out" \
    2>"$out/$name/driver.err" || status=$?
  echo "$status" >"$out/$name/driver.status"
}

rounds="$(cat "$out/wine-rounds" 2>/dev/null || echo 1)"
for ((round = 1; round <= rounds; ++round)); do
  name=wine-update
  ((round > 1)) && name="wine-update-$round"
  plug "$name"
  drive "$name" 'WineHidStack.StartUpIdentifiesTheUnit:WineHidStack.WholeUpdateSucceeds'
  unplug "$name"
  echo "update $round $(cut -d' ' -f1 /proc/uptime)" >>"$out/wine/times"
  echo "$round $(cat "$out/$name/driver.status") $name" >>"$out/wine/rounds"
done

plug wine-replug
drive wine-replug 'WineHidStack.UnplugAndReplugReachTheDialog'
unplug wine-replug
echo "replug $(cut -d' ' -f1 /proc/uptime)" >>"$out/wine/times"

timeout 30 wineserver -k
kill "$xvfb" 2>/dev/null
