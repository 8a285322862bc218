# Shared by the shell tests (sourced): a scratch folder, a background process ended on
# exit, failures counted rather than ending the run.
WORK="$(mktemp -d)"
BACKGROUND=""
trap '[ -n "$BACKGROUND" ] && kill $BACKGROUND 2>/dev/null; rm -rf "$WORK"' EXIT
FAILURES=0
fail() {
    echo "FAILED: $*" >&2
    FAILURES=$((FAILURES + 1))
}
# wait_for FILE TEXT [SECONDS]: until FILE holds TEXT (a process says it is ready); ends
# the test after SECONDS (20 by default).
wait_for() {
    tries=0
    until grep -qF -- "$2" "$1" 2>/dev/null; do
        tries=$((tries + 1))
        [ "$tries" -gt "$((${3:-20} * 10))" ] && { fail "no \"$2\" in $1: $(cat "$1")"; exit 1; }
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
