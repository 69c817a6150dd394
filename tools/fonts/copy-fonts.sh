#!/bin/sh
# Copies the fonts that the window shows into resources/fonts, from Debian's fonts-liberation2
# (SIL Open Font License 1.1). They stand in for "MS Sans Serif" and "MS Serif" wherever those
# are missing, so that every text looks the same and fits its label on every machine.
#   apt-get install fonts-liberation2 && tools/fonts/copy-fonts.sh
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
src=/usr/share/fonts/truetype/liberation2
for f in LiberationSans-Regular LiberationSerif-Regular; do
  install -m 644 "$src/$f.ttf" "$here/resources/fonts/$f.ttf"
done
install -m 644 /usr/share/doc/fonts-liberation2/copyright "$here/resources/fonts/COPYRIGHT-liberation"
