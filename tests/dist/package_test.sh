#!/usr/bin/env bash
# Builds the Debian package with CPack, checks it with lintian, installs it with apt-get as a
# user would, runs what it installed and removes it again.
#   package_test.sh BUILD_DIR
# This installs a package on the machine, so it runs only in CI (CI=true) or when asked
# (VELMORA_PACKAGE_TEST=1), as root, and never over a velmora installed some other way.
# Exit status 77 says it did not run.
set -euo pipefail
build=$(cd "$1" && pwd)

if [[ "${CI:-}" != true && "${VELMORA_PACKAGE_TEST:-}" != 1 ]]; then
  echo "skipped: installs a package on this machine; runs with CI=true or VELMORA_PACKAGE_TEST=1"
  exit 77
fi
if [[ $(id -u) -ne 0 ]]; then echo "skipped: installing a package needs root"; exit 77; fi
installed() { dpkg-query -W -f='${Status}' velmora 2>/dev/null | grep -q "install ok installed"; }
if installed; then echo "skipped: a velmora package is installed already; leaving it alone"; exit 77; fi

fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in cpack lintian dpkg-shlibdeps apt-get; do
  command -v "$tool" >/dev/null || fail "$tool is missing (bash tools/deps.sh test installs it)"
done

work=$(mktemp -d)
present() { dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" { print $2 }' | sort; }
touch "$work/brought.txt"
# Takes the package away again, and the dependencies its installation brought along.
cleanup() {
  if installed; then DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq velmora >/dev/null 2>&1 || true; fi
  local brought
  brought=$(tr '\n' ' ' <"$work/brought.txt")
  if [[ -n ${brought// } ]]; then
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq $brought >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
export DEBIAN_FRONTEND=noninteractive

# --- Build ---------------------------------------------------------------------------------
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log"; fail "cpack -G DEB"; }
debs=("$work"/velmora_*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "cpack made no velmora_*.deb"
deb=${debs[0]}
echo "built $(basename "$deb")"

# The dependencies come from the binaries: the C and C++ run-times, Qt and ALSA, plus the
# platform plugins Qt loads at run time.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
names=$(tr ',' '\n' <<<"$depends" | sed 's/ *(.*//; s/^ *//')
for lib in libc6 libstdc++6 libasound2 libpipewire-0.3-0 libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 qt6-qpa-plugins; do
  grep -Fxq "$lib" <<<"$names" || fail "Depends lacks $lib"
done

# --- lintian: no errors; warnings and notes are shown for the record -----------------------
lintian --display-info --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
cat "$work/lintian.log"
if grep -q '^E:' "$work/lintian.log"; then fail "lintian reports errors"; fi

# --- Install, use, remove --------------------------------------------------------------------
present >"$work/before.txt"
apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get install"; }
# What came with it: new, and installed automatically (so not by someone else meanwhile).
comm -12 <(comm -13 "$work/before.txt" <(present)) <(apt-mark showauto | sort) >"$work/brought.txt"
[[ -s $work/brought.txt ]] && echo "brought along: $(tr '\n' ' ' <"$work/brought.txt")"
installed || fail "the package is not installed after apt-get install"
dpkg -L velmora >"$work/files.txt"

[[ $(/usr/bin/velmora-render --version) == "velmora-render "* ]] || fail "/usr/bin/velmora-render --version"
/usr/bin/velmora-render - --seed 3 --wave pink --level -20 --duration 1 >"$work/pink.wav"
"$build/app/velmora-render" --seed 3 "$work/built.wav" WaveFormLeft=5 AmplitudeLeft=-20 Duration=1
cmp -s "$work/pink.wav" "$work/built.wav" || fail "the installed velmora-render renders other bytes"
if command -v sox >/dev/null; then
  /usr/bin/velmora-render - --wave pink --level -20 --duration 5 | sox -t wav - -n stat 2>"$work/stat.txt" ||
    fail "sox cannot read velmora-render's standard output"
  grep -Eq 'Length \(seconds\): +5\.0+$' "$work/stat.txt" || { cat "$work/stat.txt"; fail "sox read a wrong length"; }
fi
[[ $(man -w velmora-render) == /usr/share/man/man1/velmora-render.1.gz ]] || fail "man velmora-render is not found"
[[ -x /usr/bin/velmora ]] || fail "/usr/bin/velmora is not installed"
[[ -f /usr/share/applications/velmora.desktop ]] || fail "the desktop entry is not installed"
[[ -f /usr/share/icons/hicolor/48x48/apps/velmora.png ]] || fail "the icon is not installed"
# shared-mime-info's trigger has put the types into the system's database.
if [[ -f /usr/share/mime/globs2 ]]; then
  grep -q 'application/x-velmora-preset:\*\.zrx' /usr/share/mime/globs2 || fail "the .zrx type is not registered"
fi

apt-get remove --purge -y -qq velmora >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get remove"; }
installed && fail "the package is still installed after removal"
# Everything it installed is gone but the folders other packages share.
while read -r f; do
  if [[ -e $f && ! -d $f ]]; then fail "$f is left after removal"; fi
done <"$work/files.txt"
if [[ -f /usr/share/mime/globs2 ]] && grep -q 'x-velmora' /usr/share/mime/globs2; then
  fail "the file types are still registered after removal"
fi
echo "package built, lintian without errors, installed, used and removed cleanly"
