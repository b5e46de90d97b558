#!/usr/bin/env bash
# `cmake --install` into a temporary prefix: the programs with their voice beside them (an
# installed sintonix starts and speaks outside the build tree), the manual pages rendering without
# a warning and naming themselves for whatis, and a valid desktop entry.
#
#   tests/e2e/install.sh BUILD_DIR VERSION
#
# Exit status: 0 passed, 1 failed, 77 skipped (groff or desktop-file-validate missing).
set -u

build=${1:?usage: install.sh BUILD_DIR VERSION}
version=${2:?usage: install.sh BUILD_DIR VERSION}
for program in groff desktop-file-validate; do
    if ! command -v "$program" >/dev/null; then
        echo "SKIPPED: $program is not installed (./setup.sh installs it)"
        exit 77
    fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefixo
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || fail "cmake --install: $(cat "$work/install.log")"
for f in bin/sintonix bin/parlendo bin/sintonix-fontes share/oralix/difones/DIFONES2.IND \
    share/man/man1/sintonix.1 share/man/man1/parlendo.1 share/man/man1/sintonix-fontes.1 \
    share/applications/sintonix.desktop lib/sintonix/libbrisa-mbrola.so share/oralix/brisa/br4; do
    [[ -e $prefix/$f ]] || fail "$f is not installed"
done

for page in sintonix parlendo sintonix-fontes; do
    file=$prefix/share/man/man1/$page.1
    [[ -e $file ]] || continue
    # Bold and underlining come as overstrikes, which are taken out.
    groff -k -man -Tutf8 -ww "$file" 2>"$work/$page.err" | sed 's/.\x08//g' >"$work/$page.txt"
    [[ -s $work/$page.err ]] && fail "$page.1: groff says $(cat "$work/$page.err")"
    grep -q "^NOME" "$work/$page.txt" && grep -q "$page $version" "$work/$page.txt" ||
        fail "$page.1 renders without its NOME section or the version $version"
    if command -v lexgrog >/dev/null; then
        lexgrog "$file" | grep -q ": \"$page - " || fail "$page.1: whatis finds no name: $(lexgrog "$file")"
    fi
done

# Not even a hint from the validator.
desktop-file-validate "$prefix/share/applications/sintonix.desktop" >"$work/desktop.err" 2>&1 &&
    [[ ! -s $work/desktop.err ]] || fail "sintonix.desktop: $(cat "$work/desktop.err")"
grep -qx "Exec=sintonix --janela" "$prefix/share/applications/sintonix.desktop" &&
    grep -qx "Terminal=false" "$prefix/share/applications/sintonix.desktop" ||
    fail "sintonix.desktop does not start sintonix in its window"

# The installed tuner, started from elsewhere, finds its voice under ../share and greets.
(cd "$work" && SINTONIX_DIR=$work/pasta "$prefix/bin/sintonix" --headless --audio null \
    --settings "$work/oralix.ini" --keys '{#27}s' --speech-log "$work/fala.txt" --dump-screen "$work/tela.txt" \
    </dev/null >/dev/null 2>&1)
status=$?
[[ $status == 0 && $(head -1 "$work/fala.txt") == "Sintonix - versão $version" ]] ||
    fail "the installed sintonix: status $status, screen: $(head -3 "$work/tela.txt")"

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "install: all checks passed"
