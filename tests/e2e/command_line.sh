#!/usr/bin/env bash
# The command line of parlendo and sintonix as a user meets it: --help and --version on standard
# output with status 0 before anything starts, and bad command lines told in Portuguese (UTF-8)
# on standard error with status 2 and a pointer to --help; a tuner folder that fails (status 4)
# and a settings path that is a folder, told the same way.
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

# A script too long for the store and a speech log that cannot be written are told in
# Portuguese, as a bad command line.
for ((i = 0; i < 5001; i++)); do echo "seja x 1"; done >"$work/longo.plo"
run long "$parlendo" --headless --audio null --settings "$work/o.ini" "$work/longo.plo"
[[ $status == 2 && $(cat "$work/long.err") == "parlendo: o script tem mais de 5000 linhas." ]] ||
    fail "a script too long: status $status, $(cat "$work/long.err")"
printf 'termina mudo\n' >"$work/curto.plo"
run log "$parlendo" --headless --audio null --settings "$work/o.ini" --speech-log "$work/falta/fala.log" "$work/curto.plo"
[[ $status == 2 && $(cat "$work/log.err") == "parlendo: não foi possível gravar o arquivo de --speech-log $work/falta/fala.log: não existe." ]] ||
    fail "a speech log that cannot be written: status $status, $(cat "$work/log.err")"

# A tuner folder that cannot be made (under a file) is told with its reason, with the status of
# a folder that failed (4), not that of a bad command line.
: >"$work/arquivo"
SINTONIX_DIR=$work/arquivo/sintonix "$sintonix" --headless --audio null --settings "$work/o.ini" \
    >/dev/null 2>"$work/folder.err" </dev/null
status=$?
[[ $status == 4 && $(cat "$work/folder.err") == "sintonix: não foi possível criar a pasta $work/arquivo/sintonix: parte do caminho não é uma pasta." ]] ||
    fail "an impossible folder: status $status, $(cat "$work/folder.err")"

# A full disk at the first start: each seed file is written first under NAME.novo, here a link to
# /dev/full, where every write fails with ENOSPC (nothing is ever renamed over the link's target).
if [[ -c /dev/full ]]; then
    mkdir "$work/cheio"
    for seed in segmentos.lst sintonix.ajd sintonix.cfg; do ln -s /dev/full "$work/cheio/$seed.novo"; done
    SINTONIX_DIR=$work/cheio "$sintonix" --headless --audio null --settings "$work/o.ini" \
        >/dev/null 2>"$work/full.err" </dev/null
    status=$?
    [[ $status == 4 ]] && grep -qx "sintonix: não foi possível gravar $work/cheio/[a-z]*\.[a-z]*: o disco está cheio\." "$work/full.err" ||
        fail "a full disk at start: status $status, $(cat "$work/full.err")"
    [[ -c /dev/full ]] || fail "/dev/full is no longer a device"
else
    echo "SKIP: no /dev/full, the full disk at start is not tried"
fi

# A folder given as the settings file is said, the run goes on with the defaults, and nothing is
# written into it.
mkdir "$work/config.ini"
printf 'termina mudo\n' >"$work/fim.plo"
run settings "$parlendo" --headless --audio null --settings "$work/config.ini" "$work/fim.plo"
[[ $status == 0 && $(cat "$work/settings.err") == "parlendo: não foi possível usar o arquivo de configurações $work/config.ini: é uma pasta. O programa segue com as configurações padrão, sem gravar nesse arquivo." ]] ||
    fail "a folder as the settings file: status $status, $(cat "$work/settings.err")"
[[ -z $(ls -A "$work/config.ini") ]] || fail "something was written into the settings folder: $(ls -A "$work/config.ini")"

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "command line: all checks passed"
