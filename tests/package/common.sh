# Shared by the packaging checks: fail() and expect_output().
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# expect_output WHAT EXPECTED COMMAND...: runs the command, which must
# succeed and print exactly EXPECTED.
expect_output() {
    what=$1 want=$2
    shift 2
    got=$("$@") || fail "$what: '$*' exited with $?"
    [ "$got" = "$want" ] || fail "$what: printed '$got', expected '$want'"
    echo "ok: $what"
}
