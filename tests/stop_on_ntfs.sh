#!/usr/bin/env bash
# stop_on_ntfs.sh TOOL: on a real NTFS (an image made by mkntfs, mounted by
# ntfs-3g over FUSE), where no unnamed files exist and a track is staged
# under a temporary name, stops the tool with SIGINT, SIGTERM and SIGHUP
# while it copies a 1 GiB track: each time the output directory must be
# exactly as it was, and the tool must end by that signal. Needs root and
# the ntfs-3g package; skips without them (exit 77), except in CI.
set -euo pipefail
tool=$1

source "$(dirname "$0")/skip.sh"
[ "$(id -u)" -eq 0 ] || skip "mounting an NTFS image needs root"
command -v mkntfs >/dev/null && command -v ntfs-3g >/dev/null || skip "needs the ntfs-3g package"
[ -e /dev/fuse ] || skip "needs /dev/fuse"

work=$(mktemp -d)
cleanup() {
  umount "$work/ntfs" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
truncate -s 3G "$work/ntfs.img"
mkntfs -q -F -f "$work/ntfs.img" >/dev/null 2>&1
mkdir "$work/ntfs"
ntfs-3g "$work/ntfs.img" "$work/ntfs"

# The track is named T, like a track already in the output directory, beside
# a file of the user's: both must stay as they were.
mkdir -p "$work/in" "$work/ntfs/out"
{
  head -c 229 /dev/zero | tr '\0' 'L'
  printf 'T\0'
  head -c 41 /dev/zero
  printf 'RIFF'
} >"$work/in/big.bin"
truncate -s $((276 + (1 << 30))) "$work/in/big.bin"
printf 'an earlier track' >"$work/ntfs/out/T.wav"
printf 'notes' >"$work/ntfs/out/notes.txt"
# Names, sizes, times and bytes of what is in it (the directory's own time
# changes as a file comes and goes).
state() { (cd "$work/ntfs/out" && find . -mindepth 1 -printf '%p %s %T@\n' | sort && cat ./*); }
before=$(state)

# Job control gives the tool its own process group, in which SIGINT is not
# ignored as it is for a script's background jobs.
set -m
for signal in INT TERM HUP; do
  "$tool" "$work/in" "$work/ntfs/out" >"$work/console.txt" &
  pid=$!
  # Wait until the copy is well under way: its temporary file, given its
  # whole size at once, holds 64 MiB of data.
  for _ in $(seq 600); do
    copied=$(find "$work/ntfs/out" -name '.tolvanemusicextract-*' -printf '%b\n' | head -n 1)
    if [ "${copied:-0}" -gt $((64 << 11)) ]; then
      break
    fi
    sleep 0.05
  done
  kill -s "$signal" "$pid"
  status=0
  wait "$pid" 2>/dev/null || status=$?
  expected=$((128 + $(kill -l "$signal")))
  if [ "$status" -ne "$expected" ]; then
    echo "SIG$signal: exit status $status, expected $expected"
    cat "$work/console.txt"
    exit 1
  fi
  if [ "$(state)" != "$before" ]; then
    echo "SIG$signal: the output directory changed:"
    diff <(printf '%s\n' "$before") <(printf '%s\n' "$(state)") || true
    exit 1
  fi
  echo "SIG$signal: stopped by it (status $status), the output directory as it was"
done
