#!/usr/bin/env zsh
# SPDX-License-Identifier: GPL-3.0-or-later
# zsh_completion.zsh FPATH_DIR LINE: what zsh's completion offers on Tab after LINE, one
# match a line. An interactive zsh in a pseudo-terminal loads the completions of FPATH_DIR;
# compadd is wrapped so that every match is printed (marked "<m>") instead of listed or
# inserted, and a function run after each completion prints "<done>".
zmodload zsh/zpty
fpath_dir=$1 line=$2
zpty shell zsh -f -i
zpty -w shell "PROMPT='' RPROMPT=''"
zpty -w shell "fpath=($fpath_dir \$fpath); autoload -Uz compinit; compinit -u -D"
zpty -w shell 'compadd() {
  if [[ ${@[1,(i)(-|--)]} == *-(O|A|D)\ * ]]; then builtin compadd "$@"; return; fi
  local -a hits; builtin compadd -A hits "$@"
  (( $#hits )) || return 1
  print -r -- "" ${^hits}"<""m>" >/dev/tty
  builtin compadd -U -Q ""
}'
# The markers are written split in two, so that the shell's echo of these lines is
# never taken for them.
zpty -w shell '_say_done() { print -r -- "<do""ne>" >/dev/tty }
_mark() { comppostfuncs+=(_say_done); return 1 }
zstyle ":completion:*" completer _mark _complete'

# read_until PATTERN: reads the shell's output into $output until it matches, for at
# most ten seconds.
output=""
read_until() {
  local chunk
  integer tries=0
  while (( tries++ < 200 )); do
    if zpty -r -t shell chunk 2>/dev/null; then output+=$chunk; else sleep 0.05; fi
    [[ $output == $~1 ]] && return 0
  done
  return 1
}
zpty -w -n shell "$line"$'\t'
read_until '*<done>*' || print -u2 "zsh did not complete '$line'"
zpty -d shell
print -rl -- ${${(M)${(s: :)${output//$'\r'/ }}:#*<m>}%<m>}
