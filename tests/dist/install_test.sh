#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses the tree as a desktop and a shell
# would: the validators of each file format, the file types as a file manager sees them, the
# manual pages as man shows them, and the installed programs.
#   install_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in desktop-file-validate appstreamcli xmllint man groff update-mime-database gio strace python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing (bash tools/deps.sh test installs it)"
done

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }

# --- The layout ---------------------------------------------------------------------------
programs=(velmora-render)
[[ -x $build/app/velmora ]] && programs+=(velmora)
for p in "${programs[@]}"; do
  [[ -x $prefix/bin/$p ]] || fail "bin/$p is not installed"
done
for f in share/applications/velmora.desktop share/mime/packages/velmora.xml \
         share/metainfo/org.velmora.Velmora.metainfo.xml share/icons/hicolor/scalable/apps/velmora.svg \
         share/man/man1/velmora.1.gz share/man/man1/velmora-render.1.gz \
         share/doc/velmora/copyright share/doc/velmora/changelog.gz; do
  [[ -f $prefix/$f ]] || fail "$f is not installed"
done
# Each PNG has the size its folder names.
for size in 16 22 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/velmora.png
  [[ -f $png ]] || fail "the ${size}px icon is not installed"
  python3 - "$png" "$size" <<'EOF' || fail "$png is not a ${size}x${size} PNG"
import struct, sys
data = open(sys.argv[1], "rb").read(24)
w, h = struct.unpack(">II", data[16:24])
sys.exit(0 if data[:8] == b"\x89PNG\r\n\x1a\n" and w == h == int(sys.argv[2]) else 1)
EOF
done
# The data files the build made beside the program, and the script editor under its
# installed name.
for name in "Examples.zrx" "Compatibility Test.zrx"; do
  if [[ -f $build/app/$name ]]; then
    cmp -s "$build/app/$name" "$prefix/share/velmora/$name" || fail "share/velmora/$name is not the built one"
  fi
done
if [[ -x $build/app/ScriptEditor ]]; then
  [[ -x $prefix/bin/velmora-script-editor ]] || fail "bin/velmora-script-editor is not installed"
fi
# Nothing of the build tree leaks into the installed programs.
if command -v readelf >/dev/null; then
  for p in "${programs[@]}"; do
    if readelf -d "$prefix/bin/$p" | grep -Eq 'RPATH|RUNPATH'; then fail "bin/$p carries a run path"; fi
  done
fi

# --- Validators ---------------------------------------------------------------------------
out=$(desktop-file-validate "$prefix/share/applications/velmora.desktop" 2>&1) || fail "desktop-file-validate: $out"
[[ -z $out ]] || fail "desktop-file-validate: $out"
appstreamcli validate --no-net --no-color "$prefix/share/metainfo/org.velmora.Velmora.metainfo.xml" \
  >"$work/appstream.log" 2>&1 || { cat "$work/appstream.log"; fail "appstreamcli validate"; }
xmllint --noout "$prefix/share/mime/packages/velmora.xml" || fail "xmllint on the MIME types"

# --- File types as a file manager sees them -----------------------------------------------
out=$(XDG_DATA_HOME=$work/home XDG_DATA_DIRS=$prefix/share:/usr/share update-mime-database "$prefix/share/mime" 2>&1) || fail "update-mime-database: $out"
[[ -z $out ]] || fail "update-mime-database: $out"
mkdir -p "$work/files" "$work/home"
{ printf '\x14ZRX Preset File V4.1'; head -c 15520 /dev/zero; } >"$work/files/room.zrx"
cp "$work/files/room.zrx" "$work/files/no-extension"
printf 'play 1 room.zrx\ndelay 2\nend\n' >"$work/files/test.zrs"
type_of() {
  XDG_DATA_HOME=$work/home XDG_DATA_DIRS=$prefix/share:/usr/share \
    gio info -a standard::content-type "$1" | sed -n 's/^ *standard::content-type: //p'
}
for f in room.zrx:application/x-velmora-preset no-extension:application/x-velmora-preset \
         test.zrs:text/x-velmora-script; do
  got=$(type_of "$work/files/${f%%:*}")
  [[ $got == "${f#*:}" ]] || fail "${f%%:*} is '$got', not ${f#*:}"
done
# Velmora is the default application for both, once the desktop database knows the entry
# (as the package's trigger makes it known) and the program is on the PATH.
out=$(update-desktop-database "$prefix/share/applications" 2>&1) || fail "update-desktop-database: $out"
[[ -z $out ]] || fail "update-desktop-database: $out"
for type in application/x-velmora-preset text/x-velmora-script; do
  PATH=$prefix/bin:$PATH XDG_DATA_HOME=$work/home XDG_DATA_DIRS=$prefix/share:/usr/share \
    gio mime "$type" >"$work/mime.txt"
  head -n 1 "$work/mime.txt" | grep -q '^Default application for .*: velmora.desktop$' ||
    { cat "$work/mime.txt"; fail "velmora is not the default application for $type"; }
done

# --- Manual pages -------------------------------------------------------------------------
for page in "$prefix"/share/man/man1/*.1.gz; do
  # As lintian reads them: every groff warning (-ww) on standard error.
  LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" \
    >/dev/null 2>"$work/man.err" || fail "man -l $page"
  [[ ! -s $work/man.err ]] || { cat "$work/man.err"; fail "warnings in $page"; }
  zcat "$page" | groff -man -ww -z 2>"$work/groff.err"
  [[ ! -s $work/groff.err ]] || { cat "$work/groff.err"; fail "groff warnings in $page"; }
done
# velmora-render's page names every option and setting that its --help names (a left
# setting stands for its right twin).
LC_ALL=C MANWIDTH=200 man -l "$prefix/share/man/man1/velmora-render.1.gz" >"$work/render.txt" 2>/dev/null
"$prefix/bin/velmora-render" --help >"$work/help.txt"
missing=$(python3 - "$work/help.txt" "$work/render.txt" <<'EOF'
import re, sys
help_text = open(sys.argv[1]).read()
page = re.sub(r".\x08", "", open(sys.argv[2], errors="replace").read())  # overstruck bold
names = set(re.findall(r"(?<![\w-])(--[a-z][a-z-]*)", help_text))
names |= set(re.findall(r"^  ([A-Za-z]\w*)=", help_text, re.M))
left = lambda n: re.sub(r"Right(?=Edit$|$)", "Left", n) if not n.endswith("R") else n[:-1] + "L"
print(" ".join(sorted(n for n in names if n not in page and left(n) not in page)))
EOF
)
[[ -z $missing ]] || fail "velmora-render(1) does not name: $missing"

# --- The installed programs ---------------------------------------------------------------
[[ $("$prefix/bin/velmora-render" --version) == "velmora-render "* ]] || fail "velmora-render --version"
"$prefix/bin/velmora-render" --seed 1 "$work/installed.wav" --wave pink --duration 0.2
"$build/app/velmora-render" --seed 1 "$work/built.wav" WaveFormLeft=5 Duration=0.2
cmp -s "$work/installed.wav" "$work/built.wav" || fail "the installed velmora-render renders other bytes"

if [[ -x $prefix/bin/velmora ]]; then
  # The window, offscreen, with a store of its own whose welcome question is answered; it
  # saves a picture of itself and quits. Its opens are traced to see where it finds its data.
  mkdir -p "$work/config/Karvell"
  echo 'Welcome = boolean true' >"$work/config/Karvell/Velmora.conf"
  XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen VELMORA_SCREENSHOT=$work/window.png \
    timeout 120 strace -f -qq -e trace=openat -o "$work/opens.txt" "$prefix/bin/velmora" /nosplash \
    >"$work/velmora.log" 2>&1 || { cat "$work/velmora.log"; fail "the installed velmora did not start"; }
  [[ -s $work/window.png ]] || fail "the installed velmora showed no window"
  if [[ -f $prefix/share/velmora/Examples.zrx ]]; then
    grep -q "share/velmora/Examples.zrx\", O_RDONLY.* = [0-9]" "$work/opens.txt" ||
      fail "the installed velmora did not read share/velmora/Examples.zrx"
  fi
fi
echo "installed tree in a temporary prefix: layout, validators, file types, manual pages and programs fine"
