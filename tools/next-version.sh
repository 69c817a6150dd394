#!/bin/sh
# Copies the source (the files git tracks) into a folder, with the version of its project() line
# raised by one (2.1.0 becomes 2.1.1, 2.1.9 2.2.0) and a debian/changelog entry for it, as a
# release of the next version would have; prints the raised version as people see it (2.11).
# The tests use it to upgrade to a higher version built from the same source.
#   tools/next-version.sh SOURCE DEST
set -eu
src=$1 dest=$2
mkdir -p "$dest"
git -C "$src" ls-files -z | (cd "$src" && xargs -0 cp --parents -t "$dest")
version=$(sed -n 's/^project(Zefirana VERSION \([0-9]*\.[0-9]\.[0-9]\) .*/\1/p' "$src/CMakeLists.txt")
major=${version%%.*} minor=${version#*.}
raised=$((${minor%.*} * 10 + ${minor#*.} + 1))
sed -i "s/^project(Zefirana VERSION $version /project(Zefirana VERSION $major.$((raised / 10)).$((raised % 10)) /" \
  "$dest/CMakeLists.txt"
text=$major.$((raised / 10))$((raised % 10))
{ printf 'zefirana (%s-1) bookworm; urgency=medium\n\n  * A higher version.\n\n -- %s  %s\n\n' "$text" \
    "$(sed -n 's/^Maintainer: //p' "$src/debian/control")" "$(date -R)"; cat "$src/debian/changelog"; } \
  >"$dest/debian/changelog"
echo "$text"
