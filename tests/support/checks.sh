# Shared by the shell tests (sourced): a scratch folder, the background processes named
# in BACKGROUND ended on exit, failures counted rather than ending the run.
WORK="$(mktemp -d)"
BACKGROUND=""
trap '[ -n "$BACKGROUND" ] && kill $BACKGROUND 2>/dev/null; rm -rf "$WORK"' EXIT
FAILURES=0
fail() {
    echo "FAILED: $*" >&2
    FAILURES=$((FAILURES + 1))
}
# wait_for FILE TEXT [SECONDS [ERRORS]]: until FILE holds TEXT (a process says it is
# ready); ends the test after SECONDS (20 by default), saying what FILE and the file
# ERRORS (where the process writes its errors, when not to FILE) hold.
wait_for() {
    tries=0
    until grep -qF -- "$2" "$1" 2>/dev/null; do
        tries=$((tries + 1))
        if [ "$tries" -gt "$((${3:-20} * 10))" ]; then
            fail "no \"$2\" in $1: $(cat "$1")${4:+; $4: $(cat "$4")}"
            exit 1
        fi
        sleep 0.1
    done
}
finish() {
    if [ "$FAILURES" -ne 0 ]; then
        echo "$FAILURES check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}
