#!/bin/sh
# Writes the engines' logs of the broken documents here anew, as the editor runs
# the engines: the chain's way (nonstop, every error of the run, sync data) and
# the plain run's (stops at the first error). The tests read the logs committed
# beside each document; run this after a TeX Live upgrade and review the changes
# of the expected.txt files that follow.
#   tests/data/compile/make-logs.sh [fixture...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)

# fixture: the engines its document is run through
engines() {
    case $1 in
    font-not-found) echo xelatex lualatex ;;
    undefined-command | missing-package | emergency-stop | no-pages | three-errors)
        echo pdflatex xelatex lualatex ;;
    *) echo pdflatex ;;
    esac
}

fixtures=${*:-"undefined-command unknown-commands missing-package missing-class
    mismatched-environment missing-end math-began extra-brace undefined-references
    missing-graphics runaway-argument missing-begin-document font-not-found no-pages
    emergency-stop three-errors"}

for fixture in $fixtures; do
    for engine in $(engines "$fixture"); do
        for mode in nonstop halt; do
            case $mode in
            nonstop) options="-interaction=nonstopmode -file-line-error -synctex=1" ;;
            halt) options="-halt-on-error -file-line-error" ;;
            esac
            work=$(mktemp -d)
            cp "$here/$fixture"/*.tex "$work/"
            # As the compiler runs the engine: long log lines kept whole, no input.
            (cd "$work" && max_print_line=100000 $engine $options main.tex </dev/null >/dev/null 2>&1) || true
            cp "$work/main.log" "$here/$fixture/main-$engine-$mode.log"
            rm -rf "$work"
        done
    done
done
