#!/bin/sh
# Installs the Debian 12 packages that Zefirana needs, only those that are missing.
#   tools/setup/install-packages.sh play   what building and playing needs
#   tools/setup/install-packages.sh test   that, plus what the tests need (X server, checkers)
#   tools/setup/install-packages.sh windows   what building for Windows and testing under Wine need
set -eu

play="g++ make cmake pkg-config qt6-base-dev libpulse-dev qt6-translations-l10n qt6-l10n-tools"
test="$play python3 xvfb xauth xdotool dbus at-spi2-core python3-gi gir1.2-atspi-2.0
      binutils-mingw-w64-x86-64 desktop-file-utils appstream dpkg-dev debhelper mmdebstrap strace lintian man-db
      clang libclang-rt-14-dev llvm-14 pulseaudio pulseaudio-utils"
# The Windows build takes the host's Qt tools, their CMake files and any data the game compiles in
# from the Linux packages.
windows="$play ninja-build dpkg-dev g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 qt6-base-dev-tools
         wine64 wine python3 xvfb xauth xdotool xclip pulseaudio pulseaudio-utils nsis wixl msitools faketime zip
         osslsigncode openssl ccache"

case "${1:-}" in
  play) wanted=$play ;;
  test) wanted=$test ;;
  windows) wanted=$windows ;;
  *) echo "usage: $0 play|test|windows" >&2; exit 2 ;;
esac

missing=
for package in $wanted; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing="$missing $package"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update -qq
# shellcheck disable=SC2086 # one word per package
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
