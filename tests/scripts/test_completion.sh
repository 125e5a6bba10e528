#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# tarnwick-cli's bash and zsh completion, driven as each shell drives it on Tab: each row
# is a command line and the words its last word completes to in bash and in zsh ("=": the
# same as in bash), from the built program's usage, its verbs' help and its catalogue of
# settings. zsh lists a file by its name alone. Exits 77 (a skip) where Debian's
# bash-completion is missing; without zsh the zsh column is left out.
# Usage: test_completion.sh BASH_COMPLETION ZSH_COMPLETION_DIR TARNWICK_CLI
set -uo pipefail
completion=$1
zsh_completion_dir=$2
program=$3
framework=/usr/share/bash-completion/bash_completion
if [ ! -f "$framework" ]; then
    echo "skipped: $framework (Debian's bash-completion) is missing"
    exit 77
fi
# shellcheck source=/dev/null
source "$framework"
# shellcheck source=SCRIPTDIR/../../packaging/completion/tarnwick-cli.bash
source "$completion"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The program as a shell finds it, under the name the completion is registered for.
mkdir "$work/bin" "$work/profiles"
ln -s "$(realpath "$program")" "$work/bin/tarnwick-cli"
PATH="$work/bin:$PATH"
touch "$work/profiles/plant.json" "$work/profiles/plant.csv" "$work/profiles/handover.jsonl"
failures=0

# completes LINE: what Tab after LINE offers, sorted, one line.
completes() {
    local line=$1
    read -r -a COMP_WORDS <<<"$line"
    [[ $line == *' ' ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    _tarnwick_cli tarnwick-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd' '
}

zsh_completes() {
    zsh "$(dirname "$0")/zsh_completion.zsh" "$zsh_completion_dir" "$1" | sort | paste -sd' '
}
command -v zsh >/dev/null || echo "zsh is missing: its completion is not tried"

while IFS='|' read -r line expected zsh_expected; do
    line=${line//WORK/$work}
    expected=${expected//WORK/$work}
    [ "$zsh_expected" = "=" ] && zsh_expected=$expected
    actual=$(completes "$line")
    [ "$actual" = "$expected" ] || {
        echo "FAIL: bash: '$line<Tab>' offers '$actual', not '$expected'" >&2
        failures=$((failures + 1))
    }
    command -v zsh >/dev/null || continue
    actual=$(zsh_completes "$line")
    [ "$actual" = "$zsh_expected" ] || {
        echo "FAIL: zsh: '$line<Tab>' offers '$actual', not '$zsh_expected'" >&2
        failures=$((failures + 1))
    }
done <<'ROWS'
tarnwick-cli wr|write|=
tarnwick-cli |--help --version apply backup commission read report search watch write|=
tarnwick-cli write op|operator=|=
tarnwick-cli write --logger 192.0.2.1 dev|devices+= devices=|=
tarnwick-cli read sig|signal|=
tarnwick-cli read pi||=
tarnwick-cli search --pro|--probes|=
tarnwick-cli read --format j|json|=
tarnwick-cli backup --output WORK/profiles/plant.j|WORK/profiles/plant.json|plant.json
tarnwick-cli apply WORK/profiles/pl|WORK/profiles/plant.json|plant.json
tarnwick-cli watch --logger ||=
tarnwick-cli commission --max|--max-time|=
tarnwick-cli report WORK/profiles/|WORK/profiles/handover.jsonl|handover.jsonl
ROWS

[ "$failures" -eq 0 ] || exit 1
echo "passed: tarnwick-cli's completion"
