#!/usr/bin/env bash
# The command line of parlendo and sintonix as a user meets it: --help and --version on standard
# output with status 0 before anything starts, and bad command lines told in Portuguese (UTF-8)
# on standard error with status 2 and a pointer to --help.
#
#   tests/e2e/command_line.sh PARLENDO SINTONIX VERSION
#
# Exit status: 0 passed, 1 failed.
set -u

parlendo=${1:?usage: command_line.sh PARLENDO SINTONIX VERSION}
sintonix=${2:?usage: command_line.sh PARLENDO SINTONIX VERSION}
version=${3:?usage: command_line.sh PARLENDO SINTONIX VERSION}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# run NAME PROGRAM ARGS...: status in $status, the streams in $work/NAME.out and NAME.err. The
# tuner's folder would be made in $work/pasta.
run() {
    local name=$1
    shift
    SINTONIX_DIR=$work/pasta "$@" >"$work/$name.out" 2>"$work/$name.err" </dev/null
    status=$?
}

for program in "$parlendo" "$sintonix"; do
    name=$(basename "$program")
    run help "$program" --help --bogus
    [[ $status == 0 ]] || fail "$name --help: status $status"
    [[ -s $work/help.err ]] && fail "$name --help wrote on standard error: $(cat "$work/help.err")"
    iconv -f UTF-8 -t UTF-8 "$work/help.out" >/dev/null 2>&1 || fail "$name --help: not UTF-8"
    head -1 "$work/help.out" | grep -q "^Uso: $name \[OPÇÕES\]" || fail "$name --help: $(head -1 "$work/help.out")"
    for option in --help --version --headless --keys --dump-screen --speech-log --audio --settings; do
        grep -q -- "^  $option\b" "$work/help.out" || fail "$name --help does not list $option"
    done
    width=$(LC_ALL=C.UTF-8 wc -L <"$work/help.out")
    ((width <= 79)) || fail "$name --help has a line of $width columns"

    run version "$program" --headless --version
    [[ $status == 0 && $(cat "$work/version.out") == "$name $version" && ! -s $work/version.err ]] ||
        fail "$name --version: status $status, '$(cat "$work/version.out")' '$(cat "$work/version.err")'"

    run bad "$program" --bogus script.plo
    [[ $status == 2 && ! -s $work/bad.out ]] || fail "$name --bogus: status $status"
    [[ $(cat "$work/bad.err") == "$name: opção desconhecida: --bogus."$'\n'"Use $name --help para ver as opções." ]] ||
        fail "$name --bogus said: $(cat "$work/bad.err")"

    run keys "$program" --headless --keys '{#' script.plo
    [[ $status == 2 ]] && grep -q "^$name: as teclas de --keys estão malformadas: {#.$" "$work/keys.err" ||
        fail "$name with malformed keys: status $status, $(cat "$work/keys.err")"
done
[[ -e $work/pasta ]] && fail "the tuner's folder was made by a command line that runs nothing"

run missing "$parlendo" --headless "$work/não há.plo"
[[ $status == 2 && $(cat "$work/missing.err") == "parlendo: não foi possível ler o script $work/não há.plo: não existe." ]] ||
    fail "a missing script: status $status, $(cat "$work/missing.err")"

# A tuner folder that cannot be made (under a file) is told with its reason.
: >"$work/arquivo"
SINTONIX_DIR=$work/arquivo/sintonix "$sintonix" --headless --audio null --settings "$work/o.ini" \
    >/dev/null 2>"$work/folder.err" </dev/null
status=$?
[[ $status == 2 && $(cat "$work/folder.err") == "sintonix: não foi possível criar a pasta $work/arquivo/sintonix: parte do caminho não é uma pasta." ]] ||
    fail "an impossible folder: status $status, $(cat "$work/folder.err")"

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "command line: all checks passed"
