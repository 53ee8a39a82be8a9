#!/bin/bash
# The Debian package's configuration, without building the package (that
# needs the release build; scripts/package makes it): the fields CPack is
# given, the maintainer scripts, and the tree `cmake --install` lays out
# under /usr, which is what the package holds.
#
# Usage: package_check.sh BUILD_FOLDER
set -u
build=$1
config=$build/CPackConfig.cmake
failures=0
fail() { echo "$*"; failures=$((failures + 1)); }
field() { sed -n "s/^set($1 \"\(.*\)\")$/\1/p" "$config"; }

[[ -f $config ]] || { echo "no $config"; exit 1; }
[[ $(field CPACK_GENERATOR) == DEB ]] || fail "generator: $(field CPACK_GENERATOR)"
[[ $(field CPACK_PACKAGE_NAME) == yel-album-studio ]] || fail "name: $(field CPACK_PACKAGE_NAME)"
[[ $(field CPACK_PACKAGE_VERSION) =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "version: $(field CPACK_PACKAGE_VERSION)"
[[ $(field CPACK_DEBIAN_FILE_NAME) == DEB-DEFAULT ]] || fail "file name: $(field CPACK_DEBIAN_FILE_NAME)"
[[ $(field CPACK_PACKAGING_INSTALL_PREFIX) == /usr ]] || fail "prefix: $(field CPACK_PACKAGING_INSTALL_PREFIX)"
[[ $(field CPACK_DEBIAN_PACKAGE_SHLIBDEPS) == ON ]] || fail "Depends are not computed by dpkg-shlibdeps"
depends=$(field CPACK_DEBIAN_PACKAGE_DEPENDS)
for package in libqt6webenginecore6-bin qt6-qpa-plugins fonts-liberation xdg-utils; do
  [[ ", $depends," == *", $package,"* ]] || fail "Depends lacks $package: $depends"
done
[[ -n $(field CPACK_PACKAGE_CONTACT) ]] || fail "no maintainer"
for script in $(field CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA | tr ';' ' '); do
  [[ -x $script ]] || fail "$script is not executable"
  sh -n "$script" || fail "$script: not a valid shell script"
  grep -q update-mime-database "$script" || fail "$script does not refresh the MIME database"
  grep -q update-desktop-database "$script" || fail "$script does not refresh the desktop database"
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null || fail "cmake --install failed"
for file in lib/yel-album-studio/yel lib/yel-album-studio/yel-studio lib/yel-album-studio/yel-player \
            lib/yel-album-studio/YEL_Links.dll lib/yel-album-studio/YEL.dll lib/yel-album-studio/YEL_Effect.dll \
            lib/yel-album-studio/ruffle/ruffle.js lib/yel-album-studio/Theme/Template/Config.xml \
            lib/yel-album-studio/Theme/LoadingBar/Config.xml \
            share/applications/yel-studio.desktop share/applications/yel-player.desktop \
            share/icons/hicolor/scalable/apps/yel-studio.svg share/mime/packages/yel-studio.xml \
            share/thumbnailers/yel-player.thumbnailer share/man/man1/yel.1 share/man/man1/yel-studio.1 \
            share/man/man1/yel-player.1 share/bash-completion/completions/yel; do
  [[ -f $root/usr/$file ]] || fail "the package would lack /usr/$file"
done
for program in yel yel-studio yel-player; do
  link=$root/usr/bin/$program
  [[ -L $link && $(readlink "$link") == ../lib/yel-album-studio/$program && -x $link ]] ||
    fail "/usr/bin/$program is not a link to ../lib/yel-album-studio/$program"
done
strays=$(cd "$root" && find . -mindepth 1 -maxdepth 2 ! -path ./usr ! -path './usr/bin' ! -path './usr/lib' ! -path './usr/share')
[[ -z $strays ]] || fail "files outside /usr/bin, /usr/lib and /usr/share: $strays"

if ((failures)); then exit 1; fi
echo "package: fields, maintainer scripts and the installed tree are as the package needs them"
