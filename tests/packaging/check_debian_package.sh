#!/usr/bin/env bash
# Builds the .deb from a configured build tree, unpacks it into a scratch
# root and checks what a Debian system would get from it.
#   check_debian_package.sh CPACK BUILD_DIR VERSION
set -euo pipefail
cpack=$1
build_dir=$2
version=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

cd "$build_dir"
"$cpack" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log" >&2; exit 1; }
deb="$scratch/out/quillmere_${version}_amd64.deb"
[ -f "$deb" ] || { ls "$scratch/out" >&2; echo "FAIL: no $(basename "$deb")" >&2; exit 1; }
dpkg-deb -x "$deb" "$scratch/root"

# Exactly the program's files: no test, benchmark or fuzz target, nothing in
# bin/ but the program.
expected="./usr/bin/quillmere
./usr/share/applications/quillmere.desktop
./usr/share/doc/quillmere/changelog.gz
./usr/share/doc/quillmere/copyright
./usr/share/icons/hicolor/16x16/apps/quillmere.png
./usr/share/icons/hicolor/256x256/apps/quillmere.png
./usr/share/icons/hicolor/32x32/apps/quillmere.png
./usr/share/icons/hicolor/48x48/apps/quillmere.png
./usr/share/lintian/overrides/quillmere
./usr/share/man/man1/quillmere.1.gz
./usr/share/metainfo/org.quillmere.quillmere.metainfo.xml
./usr/share/quillmere/软件使用说明.chm"
actual=$(cd "$scratch/root" && find . ! -type d | LC_ALL=C sort)
[ "$actual" = "$(LC_ALL=C sort <<<"$expected")" ] || fail "files in the package:
$actual"

for size in 16 32 48 256; do
  png="$scratch/root/usr/share/icons/hicolor/${size}x${size}/apps/quillmere.png"
  [ -f "$png" ] || continue
  # A PNG's width and height are the big-endian words at bytes 16 and 20.
  read -r width height < <(od -An -tu4 --endian=big -j16 -N8 "$png")
  [ "$width x $height" = "$size x $size" ] || fail "$size px icon is $width x $height"
done

# The installed program must find every library, the UNO ones' own included.
if ldd "$scratch/root/usr/bin/quillmere" | grep "not found"; then
  fail "libraries not found"
fi

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Section)" = utils ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
# The UNO libraries come from the office's own packages, found by dpkg-shlibdeps.
for package in libreoffice-calc qt6-qpa-plugins libuno-sal3 libuno-cppu3 libqt6widgets6 libc6; do
  grep -Eq "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done
[ "$(field Recommends)" = "xchm | kchmviewer, xdg-utils, fonts-noto-cjk, qt6-translations-l10n" ] || fail "Recommends: $(field Recommends)"

desktop-file-validate "$scratch/root/usr/share/applications/quillmere.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$scratch/root/usr/share/metainfo/org.quillmere.quillmere.metainfo.xml" \
  || fail "AppStream metadata"

# Warnings are reported, errors fail.
lintian --fail-on error --tag-display-limit 0 "$deb" >"$scratch/lintian.log" 2>&1 || fail "lintian reports errors"
echo "lintian: $(grep -c '^E:' "$scratch/lintian.log") errors, $(grep -c '^W:' "$scratch/lintian.log") warnings"
cat "$scratch/lintian.log"

[ "$failures" -eq 0 ]
