#!/usr/bin/env bash
# names_on_fat.sh TOOL [exfat|vfat]: extracts 49 tracks, many of them of a
# name used before, onto a FAT drive mounted through FUSE (exfat-fuse on a
# loop device, or fusefat), where names are compared without case and inode
# numbers are not stable. Every track must land whole under a name of its
# own. The suite runs it on exFAT: fusefat itself corrupts files renamed in
# a directory of a few dozen entries, whatever program renames them. Needs
# root and the drive's packages; skips without them (exit 77), except in CI.
set -euo pipefail
export LC_ALL=C
tool=$1
kind=${2:-exfat}

source "$(dirname "$0")/skip.sh"
[ "$(id -u)" -eq 0 ] || skip "mounting a FAT image needs root"
[ -e /dev/fuse ] || skip "needs /dev/fuse"
case $kind in
  vfat) command -v mkfs.vfat >/dev/null && command -v fusefat >/dev/null ||
    skip "needs the dosfstools and fusefat packages" ;;
  exfat) command -v mkfs.exfat >/dev/null && command -v mount.exfat-fuse >/dev/null ||
    skip "needs the exfatprogs and exfat-fuse packages" ;;
  *) echo "unknown drive $kind" && exit 2 ;;
esac

work=$(mktemp -d)
loop=
cleanup() {
  umount "$work/fat" 2>/dev/null || true
  [ -z "$loop" ] || losetup -d "$loop"
  rm -rf "$work"
}
trap cleanup EXIT
truncate -s 64M "$work/fat.img"
mkdir "$work/fat" "$work/in"
if [ "$kind" = vfat ]; then
  mkfs.vfat "$work/fat.img" >/dev/null
  fusefat -o rw+ "$work/fat.img" "$work/fat" >/dev/null
else
  mkfs.exfat "$work/fat.img" >/dev/null
  loop=$(losetup -f --show "$work/fat.img")
  mount.exfat-fuse "$loop" "$work/fat" >/dev/null 2>&1
fi
mkdir "$work/fat/out"

count=0
container() {  # NAME: a container of that name, with a payload of its own
  count=$((count + 1))
  mkdir -p "$work/in/d$((count % 7))"
  {
    head -c 229 /dev/zero | tr '\0' 'L'
    printf '%s\0' "$1"
    head -c $((42 - ${#1})) /dev/zero
    printf 'RIFF-track-%02d' "$count"
  } >"$work/in/d$((count % 7))/c$count.bin"
}
# 16 names used twice, one three times, and one that looks numbered.
for i in $(seq 16); do
  container "t$i"
  container "t$i"
done
container x
container x
container x
container 'x (2)'
for i in $(seq 13); do
  container "solo$i"
done

"$tool" "$work/in" "$work/fat/out" >"$work/console.txt"
extracted=$(grep -c '^Extracted music from ' "$work/console.txt" || true)
# Only the tracks: fusefat's own rename leaves stray entries of long names
# that begin with a dot (a create-and-rename loop in any program shows it).
files=$(find "$work/fat/out" -type f -name '*.wav' ! -name '.*' | wc -l)
expected_names=$(
  for i in $(seq 16); do printf 't%s.wav\nt%s (2).wav\n' "$i" "$i"; done
  printf 'x.wav\nx (2).wav\nx (3).wav\nx (2) (2).wav\n'
  for i in $(seq 13); do printf 'solo%s.wav\n' "$i"; done
)
# Every payload is in exactly one file, and the files have exactly the names.
if [ "$extracted" -ne 49 ] || [ "$files" -ne 49 ] ||
  [ "$(cat "$work/fat/out"/*.wav | grep -a -o 'RIFF-track-[0-9]*' | sort -u | wc -l)" -ne 49 ] ||
  [ "$(ls "$work/fat/out" | sort)" != "$(printf '%s\n' "$expected_names" | sort)" ]; then
  echo "$kind: $extracted lines, $files files; expected 49 of each:"
  diff <(ls "$work/fat/out" | sort) <(printf '%s\n' "$expected_names" | sort) || true
  cat "$work/console.txt"
  exit 1
fi
echo "$kind: 49 tracks, 49 files, every payload whole under a name of its own"
