#!/usr/bin/env bash
# Takes pictures of the generator window, the output settings and the About window under a
# virtual X server, playing through a silent fake device.
# Builds nothing: pass the build folder (default build/) and an output folder
# (default <build>/screenshots).
#   bash tools/screenshots.sh [build-dir] [out-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=${2:-$build/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)

velmora=""
for candidate in "$build/app/velmora" "$build/velmora"; do
  if [[ -x "$candidate" ]]; then velmora=$candidate; break; fi
done
if [[ -z "$velmora" ]]; then
  echo "screenshots: no velmora executable in $build" >&2
  exit 1
fi

# A settings store of its own, with the welcome question already answered, so that no box
# waits for a click and the user's own settings stay untouched.
config=$(mktemp -d)
source "$root/tools/private_bus.sh"
trap 'velmora_private_bus_stop; rm -rf "$config"' EXIT
# A session bus of its own, ended on exit: the pictures' generators reach no other.
velmora_private_bus_start "$config"
mkdir -p "$config/Karvell"
echo 'Welcome = boolean true' >"$config/Karvell/Velmora.conf"
echo 'CDformat = boolean true' >>"$config/Karvell/Velmora.conf"

# VELMORA_SCREENSHOT=<file> makes velmora save the window it names and quit.
shoot() {
  local what=$1 file=$2
  XDG_CONFIG_HOME="$config" VELMORA_SCREENSHOT="$file" VELMORA_SCREENSHOT_WINDOW="$what" \
    xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$velmora" /nosplash
  echo "$file"
}

shoot main "$out/main-window.png"
shoot stereo-off "$out/main-window-stereo.png"
shoot stereo "$out/main-window-stereo-on.png"
shoot settings "$out/output-settings.png"
shoot about "$out/about-window.png"
shoot waves "$out/waveform-list.png"
shoot export "$out/export-progress.png"
shoot frequency "$out/frequency-display-mono.png"
shoot frequency-stereo "$out/frequency-display-stereo.png"
shoot splash "$out/splash.png"
shoot slider "$out/frequency-slider.png"
shoot scope "$out/waveform-display-1khz-500us.png"
shoot periodic "$out/main-window-periodic-noise.png"
shoot burst "$out/main-window-tone-burst.png"
