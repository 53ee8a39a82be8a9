#!/bin/bash
# The bash completion of yel, run as bash runs it (COMP_WORDS, COMP_CWORD,
# COMPREPLY) against the program itself: commands, a command's options
# (from its --help), the files each command takes, and the installed
# templates and loading bars of `yel themes`.
#
# Usage: yel_completion_check.sh COMPLETION_SCRIPT YEL_PROGRAM
set -u
source "$1"
yel=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir -p "sub folder"
touch a.yel B.YEL c.swf d.as e.txt "my album.yel" song.mp3 tune.WAV page.html

failures=0
# expect "WANTED|REPLIES|" WORD...: completes the last word of `yel WORD...`.
expect() {
  local wanted=$1
  shift
  COMP_WORDS=("$yel" "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _yel
  local got
  got=
  ((${#COMPREPLY[@]})) && got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' '|')
  if [[ $got != "$wanted" ]]; then
    echo "yel $*<TAB>: got '$got', wanted '$wanted'"
    failures=$((failures + 1))
  fi
}

expect "preview|project|" pr
expect "publish|" pu
expect "--help|--version|" --
expect "--html|--html-folder|--html-plain|" publish a.yel --html
expect "--actions|--help|" dump c.swf --
expect "B.YEL|a.yel|my album.yel|sub folder|" publish ""
expect "B.YEL|a.yel|my album.yel|sub folder|" preview ""
expect "c.swf|sub folder|" dump ""
expect "c.swf|sub folder|" copy c.swf ""
expect "d.as|sub folder|" compile ""
expect "c.swf|sub folder|" compile d.as -o ""
expect "B.YEL|a.yel|my album.yel|sub folder|" project new --photos . -o ""
expect "song.mp3|sub folder|tune.WAV|" publish a.yel --music ""
expect "page.html|sub folder|" publish a.yel --html ""
expect "sub folder|" publish a.yel --app-folder ""
expect "jpeg|" publish a.yel --slide-format j
# The forms of yel project that its --help shows (new, show and any added).
forms=$("$yel" project --help | sed -n 's/^.*yel project \([a-z][a-z-]*\).*/\1/p' | sort -u | tr '\n' '|')
[[ $forms == *"new|"* && $forms == *"show|"* ]] || { echo "yel project --help shows no new and show: $forms"; failures=$((failures + 1)); }
expect "$forms" project ""

# Theme names come from the program's folder, or the --app-folder given.
templates=$("$yel" themes | sed -n '/^Templates/,/^Loading/s/^  [* ] \(.*\)/\1/p' | sort | tr '\n' '|')
bars=$("$yel" themes | sed -n '/^Loading bars/,$s/^  [* ] \(.*\)/\1/p' | sort | tr '\n' '|')
if [[ -z $templates || -z $bars ]]; then
  echo "yel themes lists no templates or loading bars"
  failures=$((failures + 1))
fi
expect "$templates" publish a.yel --template ""
expect "$bars" preview a.yel --loading-bar ""
expect "" publish a.yel --app-folder "sub folder" --template ""

if ((failures)); then exit 1; fi
echo "yel completion: every case completes as it should"
