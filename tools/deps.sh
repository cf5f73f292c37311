#!/usr/bin/env bash
# Installs the Debian packages that building (and, with "test", testing) needs.
# Only what is missing is installed, so a second run costs nothing.
set -euo pipefail

build_pkgs=(build-essential cmake ninja-build pkg-config git
            qt6-base-dev libasound2-dev libpipewire-0.3-dev libsleef-dev libxcb1-dev
            libgtest-dev libgmock-dev libbenchmark-dev libkissfft-dev
            librsvg2-bin)
# What the tests start or drive: an X server, a session bus, a PulseAudio server
# with a null sink reached through ALSA's default device, a PipeWire server with WirePlumber
# (pw-record, pw-dump and pw-link come with pipewire-bin), and the measuring tools; the
# validators of the installed files and the Debian package's tools; ImageMagick's import
# for the screenshots of the soak and frozen-server scripts.
test_pkgs=(xvfb xauth dbus dbus-x11 pulseaudio pulseaudio-utils libasound2-plugins
           alsa-utils pipewire pipewire-bin wireplumber
           sox ffmpeg python3 python3-numpy python3-scipy procps
           desktop-file-utils appstream libxml2-utils shared-mime-info libglib2.0-bin
           groff man-db strace dpkg-dev lintian xdotool imagemagick)
# tools/fuzz.sh: libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer.
fuzz_pkgs=(clang)

want=("${build_pkgs[@]}")
if [[ "${1:-}" == "test" ]]; then want+=("${test_pkgs[@]}"); fi
if [[ "${1:-}" == "fuzz" ]]; then want+=("${fuzz_pkgs[@]}"); fi

missing=()
for p in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}" >&2
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO=sudo; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
