# Sourced by the script-driven suites: counts expectations and reports them in GoogleTest's
# words, so that the test command's summary counts them too.
passed=0
failed=0
expect() { # description condition
    if eval "$2"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; fi
}
# Prints the counts; fails when an expectation did.
expect_report() {
    echo "[  PASSED  ] $passed tests."
    [ $failed -eq 0 ] || echo "[  FAILED  ] $failed tests, listed above"
    [ $failed -eq 0 ]
}
