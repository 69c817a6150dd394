#!/bin/sh
# Runs a Windows program here under Wine, as CTest does with every test program of the Windows
# build: tools/windows/wine-run.sh PROGRAM.exe [ARGUMENTS...]
# - Wine hands the program no variable that begins with QT_, but gives it WINEQT_x as QT_x:
#   each QT_ variable of the caller (QT_QPA_PLATFORM=offscreen ...) is passed on that way.
# - Qt writes its messages, Qt Test's results too, to the debugger unless told to use stderr.
# - The prefix is a private 64-bit one (WINEPREFIX, by default in Zefirana's cache), made at
#   first use; Debian's wine runs its wine64 when no 32-bit Wine is installed.
# - Wine's ALSA driver can hold up a sound call for seconds on a machine with no sound card, and
#   its menu builder writes desktop entries into the home folder: both are left out unless
#   WINEDLLOVERRIDES says otherwise.
# - Wine makes Unix file names in the locale's character set: under the C locale of a bare
#   container a folder named with accents could not be made, so the C locale becomes C.UTF-8.
set -eu
case "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" in
  *[Uu][Tt][Ff]-8* | *[Uu][Tt][Ff]8*) ;;
  *) export LC_ALL=C.UTF-8 ;;
esac
for name in $(env | sed -n 's/^\(QT_[A-Za-z0-9_]*\)=.*/\1/p'); do
  eval "export WINE$name=\"\$$name\""
done
export WINEQT_FORCE_STDERR_LOGGING=1
export WINEPREFIX="${WINEPREFIX:-${ZEFIRANA_CACHE:-$HOME/.cache/zefirana}/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-winealsa.drv,winemenubuilder.exe=d}"
export WINEARCH=win64
exec wine "$@"
