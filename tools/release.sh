#!/bin/sh
# Makes every package of Zefirana from this checkout into dist/, the same bytes on every run of
# the same commit (in any folder, at any time, under any time zone and umask):
#   zefirana_<version>.orig.tar.gz, zefirana_<version>-<n>.debian.tar.xz, zefirana_<version>-<n>.dsc
#                                      the Debian source package
#   zefirana_<version>-<n>_<arch>.deb  the Debian package, built from it by dpkg-buildpackage
#   Zefirana-win64.zip, Zefirana-<version>-setup.exe, Zefirana-<version>.msi
#                                      the Windows packages (tools/windows/build.sh)
#   VERSION                            the version and the SOURCE_DATE_EPOCH of the build
#   SHA256SUMS                         the checksums of all of them
# Every time written into a package is SOURCE_DATE_EPOCH, the last commit's time. Files that
# git tracks are taken as they are in the folder (a warning says when they differ from the
# commit). Usage: tools/release.sh [--deb-only]   (--deb-only: the Debian packages alone)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
tools/setup/install-packages.sh test
[ "${1:-}" = --deb-only ] || tools/setup/install-packages.sh windows
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
  echo "release.sh: warning: the tracked files differ from the last commit" >&2
version=$(dpkg-parsechangelog -S Version)
upstream=${version%-*}
arch=$(dpkg --print-architecture)

# The source, with the same modes under any umask and nothing of who or when made the copy.
work=$here/build-deb
rm -rf "$work" dist
mkdir -p "$work/zefirana-$upstream" dist
git ls-files -z | tar -c --null -T - --sort=name --mtime=@"$SOURCE_DATE_EPOCH" --owner=0 --group=0 \
  --numeric-owner -f - | tar -x -C "$work/zefirana-$upstream" -f -
chmod -R u+rw,go=rX "$work/zefirana-$upstream"
tar -c -C "$work" --exclude="zefirana-$upstream/debian" --sort=name --mtime=@"$SOURCE_DATE_EPOCH" --owner=0 \
  --group=0 --numeric-owner -f - "zefirana-$upstream" | gzip -9n >"$work/zefirana_$upstream.orig.tar.gz"
(cd "$work/zefirana-$upstream" && dpkg-buildpackage -us -uc -j2 >"$work/build.log" 2>&1) ||
  { tail -n 40 "$work/build.log"; echo "release.sh: dpkg-buildpackage failed (log: $work/build.log)" >&2; exit 1; }
for file in "zefirana_$upstream.orig.tar.gz" "zefirana_$version.debian.tar.xz" "zefirana_$version.dsc" \
            "zefirana_${version}_$arch.deb"; do
  cp "$work/$file" dist/
done

if [ "${1:-}" != --deb-only ]; then
  tools/windows/build.sh >/dev/null
  for file in Zefirana-win64.zip "Zefirana-$upstream-setup.exe" "Zefirana-$upstream.msi"; do
    cp "build-windows/$file" dist/
  done
fi
printf 'version=%s\nsource_date_epoch=%s\n' "$upstream" "$SOURCE_DATE_EPOCH" >dist/VERSION
chmod 644 dist/*
(cd dist && sha256sum -- * >SHA256SUMS)
echo "Zefirana $upstream in $here/dist:"
ls -l dist
