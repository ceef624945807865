#!/usr/bin/env bash
# trees_under_wine.sh CASE TOOL_EXE EMULATOR...: runs the Windows build on a
# tree made from the Linux side, where names that Windows would parse are
# plain, and checks its whole console output and the tracks it wrote.
#   link-cycle: directory links that form a cycle and alias a directory; the
#     walk ends with the file reported once (the directories are told apart
#     by volume serial number and file index).
#   exact-names: files named like devices (con.bin, AUX.bin, nul.tar.bin), a
#     directory with a trailing dot, and a track named COM¹, which Windows
#     would take for a device: every track extracted, under exact names.
#   never-waits: in a Unix terminal, with its output piped or redirected or
#     its input piped, or neither: the tool never asks for a key.
set -euo pipefail
# Byte lengths and byte order, whatever the locale.
export LC_ALL=C
case=$1
tool=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/out"

container() {  # PATH NAME PAYLOAD
  mkdir -p "$(dirname "$1")"
  {
    head -c 229 /dev/zero | tr '\0' 'L'
    printf '%s\0' "$2"
    head -c $((42 - ${#2})) /dev/zero
    printf '%s' "$3"
  } >"$1"
}
win_path() { printf 'Z:%s' "${1//\//\\}"; }
in=$(win_path "$work/in")
run() { "$@" "$tool" "$in" "$(win_path "$work/out")"; }
# Console lines as the tool prints them, banner and closing message around them.
console() {
  printf 'Tolvane Music Extractor 0.1\r\nBy Darnwick\r\n'
  printf '%s\r\n' "$@" 'Extraction done!' 'By Darnwick.'
}
fail() {
  echo "$1"
  printf '%s\n' "$2" | od -c | head -40
  exit 1
}

case $case in
  link-cycle)
    container "$work/in/a/b/t.bin" Loop RIFF-payload
    ln -s ../.. "$work/in/a/b/up"        # back to the top: a cycle
    ln -s "$work/in/a" "$work/in/alias"  # a second way into a
    actual=$(run "$@")
    if [ "$actual" != "$(console "Extracted music from $in\\a\\b\\t.bin")" ] &&
      [ "$actual" != "$(console "Extracted music from $in\\alias\\b\\t.bin")" ]; then
      fail "unexpected output:" "$actual"
    fi
    cmp <(printf 'RIFF-payload') "$work/out/Loop.wav"
    echo "link cycle: walk ended, file reported once"
    ;;
  exact-names)
    declare -A tracks=([con.bin]=t-con [AUX.bin]=t-aux [nul.tar.bin]=t-nul [dot./a.bin]=t-dot
      [super.bin]='COM¹')
    lines=()
    for file in "${!tracks[@]}"; do
      container "$work/in/$file" "${tracks[$file]}" "RIFF-${tracks[$file]}"
      lines+=("Extracted music from $in\\${file//\//\\}")
    done
    actual=$(run "$@")
    # The listing decides the order of the lines; the set must be exact.
    if [ "$(printf '%s\n' "$actual" | sort)" != "$(console "${lines[@]}" | sort)" ] ||
      [ "$(printf '%s\n' "$actual" | head -c 42)" != "$(console | head -c 42)" ]; then
      fail "unexpected output:" "$actual"
    fi
    for track in t-con t-aux t-nul t-dot; do
      cmp <(printf 'RIFF-%s' "$track") "$work/out/$track.wav"
    done
    cmp <(printf 'RIFF-COM¹') "$work/out/_COM¹.wav"
    [ "$(ls "$work/out" | wc -l)" -eq 5 ]
    echo "exact names: every track extracted, under exact names"
    ;;
  never-waits)
    # Input that stays open and sends nothing: a tool that waited for a key
    # would still be waiting when timeout stops it.
    mkfifo "$work/keys"
    sleep 600 >"$work/keys" &
    trap 'kill $!; rm -rf "$work"' EXIT
    command=$(printf '%q ' "$@" "$tool")
    declare -A ways=([file]="$command >$work/out.txt; cat $work/out.txt"
      [terminal]="$command" [terminal-output-piped]="$command | cat"
      [terminal-input-piped]="$command <$work/keys")
    for way in "${!ways[@]}"; do
      # script gives the command a terminal of its own.
      actual=$(timeout 60 script -qefc "${ways[$way]}" /dev/null <"$work/keys")
      if [[ $actual == *"Press any key"* || $actual != *"Usage: "* ]]; then
        fail "$way: unexpected output:" "$actual"
      fi
    done
    echo "never waits: ${!ways[*]}"
    ;;
  *)
    echo "unknown case $case"
    exit 2
    ;;
esac
