#!/usr/bin/env bash
# link_cycle_under_wine.sh TOOL_EXE EMULATOR...: runs the Windows build on a
# tree whose directory links form a cycle and alias a directory, and checks
# that the walk ends with each file reported once (the directories are told
# apart by volume serial number and file index).
set -euo pipefail
tool=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/in/a/b" "$work/out"
{
  head -c 229 /dev/zero | tr '\0' 'L'
  printf 'Loop\0'
  head -c 38 /dev/zero
  printf 'RIFF-payload'
} >"$work/in/a/b/t.bin"
ln -s ../.. "$work/in/a/b/up"     # back to the top: a cycle
ln -s "$work/in/a" "$work/in/alias"  # a second way into a

win_path() { printf 'Z:%s' "${1//\//\\}"; }
in=$(win_path "$work/in")
actual=$("$@" "$tool" "$in" "$(win_path "$work/out")" | od -c)
expected=$(printf 'Tolvane Music Extractor 0.1\r\nBy Darnwick\r\n%s\r\n%s\r\n%s\r\n' \
  "Extracted music from $in\\a\\b\\t.bin" 'Extraction done!' 'By Darnwick.' | od -c)
alias_first=$(printf 'Tolvane Music Extractor 0.1\r\nBy Darnwick\r\n%s\r\n%s\r\n%s\r\n' \
  "Extracted music from $in\\alias\\b\\t.bin" 'Extraction done!' 'By Darnwick.' | od -c)
if [ "$actual" != "$expected" ] && [ "$actual" != "$alias_first" ]; then
  echo "unexpected output:"
  printf '%s\n' "$actual"
  exit 1
fi
cmp <(printf 'RIFF-payload') "$work/out/Loop.wav"
echo "link cycle: walk ended, file reported once"
