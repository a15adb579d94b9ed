#!/usr/bin/env bash
# Checks the package the way a user meets it: builds it (scripts/package.sh, unless
# --deb FILE names one already built), makes a fresh Debian 12 root with debootstrap,
# installs the package there with apt, and as a non-root user runs kantor-cli --version,
# voice list, a render of the demo song, man kantor-cli, and the desktop program's
# screenshots offscreen. Then it reports the package's size, the user's home size, blank
# buttons in the screenshots, and lintian's verdict. Run it by hand as root (not in CI):
# it downloads Debian packages from the mirror and takes several minutes.
#
# Usage: scripts/check-package.sh [--deb FILE] [--keep] [--mirror URL]
#   --keep    leave the root (and the screenshots) in place for a look, in $ROOT
set -euo pipefail
cd "$(dirname "$0")/.."

deb=""
keep=0
mirror=http://deb.debian.org/debian
while [ $# -gt 0 ]; do
  case "$1" in
    --deb) deb=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    --mirror) mirror=$2; shift 2 ;;
    *) echo "usage: $0 [--deb FILE] [--keep] [--mirror URL]" >&2; exit 2 ;;
  esac
done
if [ "$(id -u)" != 0 ]; then
  echo "$0: run as root (debootstrap and chroot need it)" >&2
  exit 2
fi

scripts/install-deps.sh debootstrap lintian dpkg-dev
if [ -z "$deb" ]; then
  scripts/package.sh
  deb=$(ls build-package/kantor_*.deb)
fi
deb=$(readlink -f "$deb")

ROOT=${ROOT:-$(mktemp -d /tmp/kantor-root.XXXXXX)}
chmod 755 "$ROOT"  # apt in the root downloads as _apt
mounted=()
cleanup() {
  # Unmount everything bound into the root before anything is deleted.
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[$i]}" 2>/dev/null || true; done
  if [ "$keep" = 0 ]; then rm -rf --one-file-system "$ROOT"; else echo "root kept in $ROOT"; fi
}
trap cleanup EXIT

echo "== debootstrap bookworm into $ROOT"
debootstrap --variant=minbase bookworm "$ROOT" "$mirror" >"$ROOT.debootstrap.log" 2>&1 ||
  { tail -n 20 "$ROOT.debootstrap.log"; exit 1; }
for m in proc sys dev dev/pts; do
  mkdir -p "$ROOT/$m"
  mount --bind "/$m" "$ROOT/$m"
  mounted+=("$ROOT/$m")
done
cp /etc/resolv.conf "$ROOT/etc/resolv.conf"
in_root() { chroot "$ROOT" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
as_user() {
  chroot "$ROOT" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/home/user LANG=C.UTF-8 USER=user \
    XDG_RUNTIME_DIR=/tmp/user-run setpriv --reuid=user --regid=user --init-groups -- "$@"
}

echo "== apt install the package"
cp "$deb" "$ROOT/tmp/"
in_root apt-get update -qq
# man-db for the manual pages (minbase has none), xauth-free offscreen Qt needs nothing more.
start=$(date +%s)
in_root apt-get install -y -qq man-db "/tmp/$(basename "$deb")" >"$ROOT/tmp/apt.log" 2>&1 ||
  { tail -n 30 "$ROOT/tmp/apt.log"; exit 1; }
echo "installed in $(( $(date +%s) - start )) s"
grep -i "kantor:" "$ROOT/tmp/apt.log" || true

echo "== a non-root user"
in_root useradd -m -s /bin/bash user
mkdir -p "$ROOT/tmp/user-run" && chmod 700 "$ROOT/tmp/user-run"
in_root chown user:user /tmp/user-run
as_user kantor-cli --version
as_user kantor-cli voice list
as_user kantor-cli render /usr/share/kantor/sample/DEMOS20.uta -o /home/user/demo.wav
ls -l "$ROOT/home/user/demo.wav"
as_user sh -c 'MANPAGER=cat MANWIDTH=80 man kantor-cli 2>/dev/null | head -n 12'
# The screenshot mode also names every enabled button that draws nothing (an icon that did
# not load) and every clash of Alt-key letters.
as_user env QT_QPA_PLATFORM=offscreen kantor --screenshots /home/user/shots >"$ROOT/tmp/shots.log" 2>&1 || true
shots=$(find "$ROOT/home/user/shots" -name '*.png' 2>/dev/null | wc -l)
echo "screenshots: $shots; blank buttons: $(grep -c 'BLANK BUTTON' "$ROOT/tmp/shots.log" || true)"
grep -E 'BLANK BUTTON|MNEMONIC CLASH|FAILED' "$ROOT/tmp/shots.log" || true
# The same in English, as a user who chose it sees the windows; the command line in English too.
as_user env QT_QPA_PLATFORM=offscreen kantor --lang en --screenshots /home/user/shots-en >"$ROOT/tmp/shots-en.log" 2>&1 || true
shots_en=$(find "$ROOT/home/user/shots-en" -name '*.png' 2>/dev/null | wc -l)
echo "English screenshots: $shots_en; blank buttons: $(grep -c 'BLANK BUTTON' "$ROOT/tmp/shots-en.log" || true);" \
  "cut texts: $(grep -c 'CUT TEXT' "$ROOT/tmp/shots-en.log" || true); Japanese texts: $(grep -c 'JAPANESE TEXT' "$ROOT/tmp/shots-en.log" || true)"
grep -E 'BLANK BUTTON|MNEMONIC CLASH|FAILED|CUT TEXT|JAPANESE TEXT' "$ROOT/tmp/shots-en.log" | head -n 20 || true
as_user kantor-cli --lang en info /home/user/missing.uta || true

echo "== report"
echo "package: $(basename "$deb"), $(du -h "$deb" | cut -f1)"
echo "installed voices: $(du -sh "$ROOT/var/lib/kantor/voices" 2>/dev/null | cut -f1)"
# The home without the files this check made itself (the render and the screenshots).
home_kb=$(du -sk --exclude=demo.wav --exclude=shots --exclude=shots-en "$ROOT/home/user" | cut -f1)
du -ak --exclude=demo.wav --exclude=shots --exclude=shots-en "$ROOT/home/user" | sort -rn | sed -n 2,6p
echo "user's home after the first start: ${home_kb} KB"
echo "lintian:"
lintian "$deb" && echo "  no errors or warnings"
