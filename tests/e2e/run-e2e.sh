#!/usr/bin/env bash
# Harness of the end-to-end tests under Wine.
#
#   run-e2e.sh setup   WORK HID_DLL SETUPAPI_DLL [DPI]   fresh prefix with the doubles and Wine's
#                                                  fonts at DPI (96 unless given), Xvfb, wineserver
#   run-e2e.sh run     WORK LANG DRIVER EXE IMAGE GROUP...   one driver run (LANG: en, de or fr)
#   run-e2e.sh exec    WORK PROGRAM ARG...         any Windows program in the prefix, on its display
#   run-e2e.sh cleanup WORK                        stops the wineserver and Xvfb
#
# E2E_SCREENSHOTS=1 saves a PNG of the screen at each scenario's key moments under WORK/screenshots.
set -euo pipefail

install_missing() {
  local missing=()
  for package in wine wine64 fonts-wine xvfb imagemagick; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  if ((${#missing[@]} > 0)); then
    echo "run-e2e: installing ${missing[*]}"
    local sudo_cmd=()
    if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
    "${sudo_cmd[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends \
      "${missing[@]}"
  fi
}

start_xvfb() {
  local work=$1
  rm -f "$work/display"
  # -displayfd picks a free display and reports it, so parallel runs never collide.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
  echo $! >"$work/xvfb.pid"
  for _ in $(seq 100); do
    [[ -s "$work/display" ]] && break
    sleep 0.1
  done
  if [[ ! -s "$work/display" ]]; then
    echo "run-e2e: Xvfb did not start: $(cat "$work/xvfb.log")" >&2
    return 1
  fi
  echo ":$(head -n1 "$work/display")" >"$work/display"
}

stop_xvfb() {
  local work=$1
  if [[ -f "$work/xvfb.pid" ]]; then
    kill "$(cat "$work/xvfb.pid")" 2>/dev/null || true
    rm -f "$work/xvfb.pid"
  fi
}

# A freshly booted prefix, made once for all the prefixes of a build folder (wineboot takes about
# 20 s, a copy a second) and made again when Wine changes. The runs' setups share it under a lock.
fresh_prefix_copy() {
  local work=$1 target=$2
  local template
  template="$(dirname "$work")/prefix-template"
  (
    flock 9
    local wine_version
    wine_version="$(wine --version 2>/dev/null || echo unknown)"
    if [[ ! -d "$template/prefix" || "$(cat "$template/wine-version" 2>/dev/null)" != "$wine_version" ]]; then
      rm -rf "$template"
      mkdir -p "$template"
      WINEPREFIX="$template/prefix" timeout 180 wine wineboot --init >"$template/wineboot.log" 2>&1
      WINEPREFIX="$template/prefix" timeout 60 wineserver -w
      echo "$wine_version" >"$template/wine-version"
    fi
  ) 9>"$template.lock"
  cp -a "$template/prefix" "$target"
}

# Fresh prefix at the given DPI with the doubles in place of Wine's hid.dll and setupapi.dll.
make_prefix() {
  local work=$1 hid=$2 setupapi=$3 dpi=$4
  export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  rm -rf "$WINEPREFIX"
  local start=$SECONDS
  fresh_prefix_copy "$work" "$WINEPREFIX"
  set_dpi "$dpi"
  timeout 60 wineserver -w
  cp "$hid" "$WINEPREFIX/drive_c/windows/system32/hid.dll"
  cp "$setupapi" "$WINEPREFIX/drive_c/windows/system32/setupapi.dll"
  install_wine_fonts
  echo "run-e2e: prefix made in $((SECONDS - start)) s"
}

# Wine's own fonts (Debian's fonts-wine), which this Wine does not look for by itself: without
# them the dialog font is a stand-in with other metrics and the caption's buttons draw letters.
install_wine_fonts() {
  local fonts=/usr/share/wine/fonts
  if ! compgen -G "$fonts/*.ttf" >/dev/null; then
    echo "run-e2e: no TrueType fonts in $fonts (package fonts-wine)" >&2
    return 1
  fi
  cp "$fonts"/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
}

# The desktop's pixel density, read by each Wine process as it starts.
set_dpi() {
  timeout 60 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
    </dev/null >/dev/null 2>&1
}

# Windows path of an absolute Unix path through drive Z: (mapped to / in every prefix). Calling
# winepath instead would start Wine's services with the test runner's stderr inherited.
winpath() {
  local unix
  unix="$(realpath -m "$1")"
  printf 'Z:%s' "${unix//\//\\}"
}

language_env() {
  case "$1" in
    de) echo de_DE.UTF-8 ;;
    fr) echo fr_FR.UTF-8 ;;
    *) echo en_US.UTF-8 ;;
  esac
}

to_png() {
  local dir=$1
  shopt -s nullglob
  for bmp in "$dir"/*.bmp; do
    convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp" && echo "screenshot: ${bmp%.bmp}.png"
  done
}

command=${1:-}
shift || true
case "$command" in
  setup)
    work=$1 hid=$2 setupapi=$3 dpi=${4:-96}
    install_missing
    mkdir -p "$work"
    stop_xvfb "$work"
    start_xvfb "$work"
    export DISPLAY="$(cat "$work/display")"
    make_prefix "$work" "$hid" "$setupapi" "$dpi"
    # A persistent wineserver saves each driver run its start-up. Background processes get no
    # inherited stdout, or the test runner would wait for them to close it.
    wineserver -p </dev/null >/dev/null 2>&1
    # Wine's services start with the first program and stay; give them no inherited stdio.
    timeout 60 wine wineboot </dev/null >/dev/null 2>&1
    rm -rf "$work/out" "$work/screenshots"
    mkdir -p "$work/out" "$work/screenshots"
    echo "run-e2e: Xvfb on $DISPLAY, prefix $WINEPREFIX at $dpi DPI"
    ;;
  exec)
    work=$1
    shift
    [[ -f "$work/display" && -d "$work/prefix" ]] || { echo "run-e2e: run setup first" >&2; exit 1; }
    export DISPLAY="$(cat "$work/display")" WINEPREFIX="$work/prefix" WINEDEBUG=-all
    # Its output goes to a file followed until it ends, for the same reason as the driver's.
    log="$work/out/exec-$$.log"
    : >"$log"
    timeout 600 wine "$@" </dev/null >"$log" 2>&1 &
    program_pid=$!
    tail -n +1 -f --pid=$program_pid "$log"
    status=0
    wait $program_pid || status=$?
    exit $status
    ;;
  run)
    work=$1 language=$2 driver=$3 exe=$4 image=$5
    shift 5
    [[ -f "$work/display" && -d "$work/prefix" ]] || { echo "run-e2e: run setup first" >&2; exit 1; }
    export DISPLAY="$(cat "$work/display")" WINEPREFIX="$work/prefix"
    # The program takes its language from the Unix locale of the first Wine process (set for
    # that process only: this shell would warn about a locale the machine has not generated).
    locale_name="$(language_env "$language")"
    # Exceptions Wine would swallow in a window procedure are reported on stderr (see driver).
    export WINEDEBUG=-all,err+seh
    shots=()
    if [[ "${E2E_SCREENSHOTS:-0}" == 1 ]]; then
      shots=(--screenshots "$(winpath "$work/screenshots")")
    fi
    # Wine's helper processes outlive the driver and would hold an inherited stdout open, so the
    # driver writes to a log that is followed until the driver ends.
    # Its stderr, which is also the program's (Wine's notes), goes to a file the driver reads.
    log="$work/out/run-$language-$$.log"
    errors="$work/out/run-$language-$$.stderr"
    : >"$log"
    : >"$errors"
    LC_ALL=$locale_name LANG=$locale_name timeout 840 wine "$driver" \
      --exe "$(winpath "$exe")" --image "$(winpath "$image")" --lang "$language" \
      --wine-stderr "$(winpath "$errors")" "${shots[@]}" "$@" </dev/null >"$log" 2>"$errors" &
    driver_pid=$!
    tail -n +1 -f --pid=$driver_pid "$log"
    status=0
    wait $driver_pid || status=$?
    if [[ "${E2E_SCREENSHOTS:-0}" == 1 ]]; then to_png "$work/screenshots"; fi
    if ((status == 124)); then echo "run-e2e: the driver did not finish within 14 minutes" >&2; fi
    if grep -v "wine32 is missing\|multiarch needs\|execute \"dpkg\|apt-get install wine32" "$errors" |
      grep -q .; then
      echo "run-e2e: Wine's stderr ($errors):"
      head -n 40 "$errors"
    fi
    exit $status
    ;;
  cleanup)
    work=$1
    if [[ -d "$work/prefix" ]]; then WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true; fi
    stop_xvfb "$work"
    ;;
  *)
    sed -n '2,10p' "$0"
    exit 2
    ;;
esac
