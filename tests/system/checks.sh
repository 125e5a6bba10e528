# The checks of a system test script: each prints PASS or FAIL! with its description, as
# the Qt tests do, and the script ends with the totals. Sourced by the run_*.sh scripts.

failures=0

check() {  # check DESCRIPTION COMMAND...: runs the command, reports the outcome
    local description=$1
    shift
    if "$@"; then
        echo "PASS   : $description"
    else
        echo "FAIL!  : $description"
        failures=$((failures + 1))
    fi
}

checks_done() {  # prints the totals; the status is 0 when no check failed
    echo "Totals: $failures failed"
    [ "$failures" -eq 0 ]
}
