#!/bin/sh
# Prints the path of a tarball holding a minimal Debian 12 root, made once with mmdebstrap from
# this machine's own apt sources and kept in ${ZEFIRANA_CACHE:-~/.cache/zefirana}/roots:
#   debian-root.sh build              the buildd variant with debian/control's Build-Depends, no more
#   debian-root.sh run PACKAGE...     the minbase variant with these packages
# The name holds a hash of what went in, so a changed list makes a new root. Unpack it into an
# empty folder for a fresh root each time, and enter it with
#   debian-root.sh enter FOLDER SOURCE COMMAND
# which runs the shell command COMMAND as root in FOLDER, with a clean environment (but
# SOURCE_DATE_EPOCH), /proc, /dev and the folder SOURCE read-only at /src, mounted for it alone.
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
kind=$1
shift
if [ "$kind" = enter ]; then
  mkdir -p "$1/src"
  exec unshare --mount --fork sh -c 'mount -t proc proc "$1/proc" && mount --rbind /dev "$1/dev" &&
    mount --bind "$2" "$1/src" && mount -o remount,bind,ro "$1/src" &&
    exec chroot "$1" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 $4 /bin/sh -c "$3"' \
    sh "$1" "$2" "$3" "${SOURCE_DATE_EPOCH:+SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH}"
fi
cache=${ZEFIRANA_CACHE:-$HOME/.cache/zefirana}/roots
mkdir -p "$cache"
if [ "$kind" = build ]; then
  key=$(sed -n '/^Build-Depends:/,/^[A-Z]/p' "$here/debian/control" | sha256sum | cut -c1-16)
  set -- --variant=buildd --customize-hook="mkdir -p \"\$1/tmp/src/debian\"" \
    --customize-hook="copy-in $here/debian/control /tmp/src/debian" \
    --customize-hook='chroot "$1" sh -c "cd /tmp/src && apt-get build-dep -y -qq ./ >/dev/null && rm -r /tmp/src"'
else
  key=$(echo "$*" | sha256sum | cut -c1-16)
  set -- --variant=minbase --include="$(echo "$*" | tr ' ' ',')"
fi
root=$cache/bookworm-$kind-$key.tar
exec 9>"$cache/lock"
flock 9
if [ ! -f "$root" ]; then
  # The deb entries of this machine's sources, in either format.
  sources=$(mktemp)
  trap 'rm -f "$sources"' EXIT
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] && grep '^deb ' "$file" >>"$sources"
  done
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] && awk -v RS= '/Types:[^\n]*[ \t]deb([ \t\n]|$)/ { print; print "" }' "$file" |
      sed 's/^Types:.*/Types: deb/' >>"$sources"
  done
  mmdebstrap --quiet --format=tar "$@" bookworm "$root.part" "$sources" >&2
  mv "$root.part" "$root"
fi
echo "$root"
