#!/bin/sh
# Builds Zefirana for 64-bit Windows here, from the same source as on Linux, and packs it the three
# ways a school installs it (named by the version of the top CMakeLists.txt, written 2.10 for 2.1.0):
#   tools/windows/build.sh           makes, in build-windows/, Zefirana-win64.zip (unpacked anywhere),
#                                    Zefirana-2.10-setup.exe (the setup program) and Zefirana-2.10.msi
#   tools/windows/build.sh --tests   the same, the test programs (test.sh runs them under Wine), and
#                                    for the installer tests a second set one version higher, signed
#                                    with a throwaway certificate, in build-windows/next/build-windows
# The static Qt it links is built first when the cache lacks it (tools/windows/build-qt.sh: 12 to
# 25 minutes on two cores, once). JOBS sets how many compilers run at once.
# Two builds of one commit give the same bytes, wherever and whenever they run: every time stamp
# is SOURCE_DATE_EPOCH (by default the last commit's time), and no path of the build is kept.
# Signing: with ZEFIRANA_SIGN_PKCS12 (a PKCS#12 file holding a code-signing certificate and its
# key), ZEFIRANA_SIGN_PASSWORD (its password) and, if wanted, ZEFIRANA_SIGN_TIMESTAMP (an RFC 3161
# server's URL) in the environment, Zefirana.exe, the setup program, its uninstaller and the MSI
# are signed (tools/windows/sign.sh); without them they are not.
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
tests=OFF
[ "${1:-}" = --tests ] && tests=ON
jobs=${JOBS:-$(nproc)}
build=${ZEFIRANA_WINDOWS_BUILD:-$here/build-windows}

qt=$(JOBS=$jobs "$here/tools/windows/build-qt.sh" | tail -n 1)
began=$(date +%s)
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$here" log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
export SOURCE_DATE_EPOCH QT_RCC_SOURCE_DATE_OVERRIDE=$SOURCE_DATE_EPOCH
# A second build of the same files (the installer tests' set) takes the compiled objects from ccache:
# each build names its own source folder as ccache's base, so that both look the same to it.
launcher=
if command -v ccache >/dev/null; then
  launcher=ccache
  export CCACHE_DIR=${CCACHE_DIR:-${ZEFIRANA_CACHE:-$HOME/.cache/zefirana}/ccache}
fi
if [ -z "${ZEFIRANA_SIGN_PKCS12:-}" ]; then
  echo "Not signed: no code-signing certificate given (ZEFIRANA_SIGN_PKCS12, see README)"
fi

# configure SOURCE BUILD [OPTIONS...]
configure() {
  # Another Qt (another version or configuration) needs a fresh cache of the build.
  if [ -f "$2/CMakeCache.txt" ] && ! grep -qx "CMAKE_PREFIX_PATH:[A-Z]*=$qt" "$2/CMakeCache.txt"; then
    rm -rf "$2/CMakeCache.txt" "$2/CMakeFiles"
  fi
  source=$1 binary=$2
  shift 2
  cmake -S "$source" -B "$binary" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/tools/windows/mingw-w64.cmake" -DCMAKE_PREFIX_PATH="$qt" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$here/tools/windows/wine-run.sh" -DCMAKE_CXX_COMPILER_LAUNCHER=$launcher \
    -DZEFIRANA_SIGN_PKCS12="${ZEFIRANA_SIGN_PKCS12:-}" -DZEFIRANA_SIGN_TIMESTAMP="${ZEFIRANA_SIGN_TIMESTAMP:-}" \
    "$@" >/dev/null
}
configure "$here" "$build" -DZEFIRANA_TESTS=$tests
CCACHE_BASEDIR=$here cmake --build "$build" -j"$jobs"

if [ $tests = ON ]; then
  # The source copied beside, its version raised by one (tools/next-version.sh), built as far as
  # its installers, signed with a certificate of a certification authority made here.
  next=$build/next
  "$here/tools/next-version.sh" "$here" "$next" >/dev/null
  mkdir -p "$next/ca"
  ca=$next/ca
  if [ ! -f "$ca/signer.p12" ]; then
    openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Zefirana test CA" -keyout "$ca/ca.key" -out "$ca/ca.pem" \
      -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
    openssl req -newkey rsa:2048 -nodes -subj "/CN=Zefirana test signer" -keyout "$ca/signer.key" -out "$ca/signer.csr" 2>/dev/null
    printf 'extendedKeyUsage=codeSigning\nkeyUsage=digitalSignature\n' >"$ca/ext"
    openssl x509 -req -in "$ca/signer.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -CAcreateserial -days 30 \
      -extfile "$ca/ext" -out "$ca/signer.pem" 2>/dev/null
    openssl pkcs12 -export -inkey "$ca/signer.key" -in "$ca/signer.pem" -passout pass:prova -out "$ca/signer.p12"
  fi
  ZEFIRANA_SIGN_PKCS12=$ca/signer.p12 ZEFIRANA_SIGN_PASSWORD=prova ZEFIRANA_SIGN_TIMESTAMP= \
    configure "$next" "$next/build-windows" -DZEFIRANA_TESTS=OFF -DZEFIRANA_SIGN_PKCS12="$ca/signer.p12"
  CCACHE_BASEDIR=$next ZEFIRANA_SIGN_PASSWORD=prova cmake --build "$next/build-windows" -j"$jobs" --target installers
fi

seconds=$(($(date +%s) - began))
echo "Built in ${seconds}s, in $build:"
text=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=\([0-9]*\)\.\([0-9]\)\.\([0-9]\)$/\1.\2\3/p' "$build/CMakeCache.txt")
for package in Zefirana-win64.zip "Zefirana-$text-setup.exe" "Zefirana-$text.msi"; do
  echo "  $package ($(du -k "$build/$package" | cut -f1) KiB)"
done
