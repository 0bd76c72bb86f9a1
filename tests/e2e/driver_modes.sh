#!/usr/bin/env bash
# Exit codes, console lines and the serve protocol of the built tool.
# Args: tool path, repo root, scratch dir. Exit 77 = skipped.
set -uo pipefail
TOOL="$(cd "$(dirname "$1")" 2>/dev/null && pwd)/$(basename "$1")"
ROOT="$2"
SCRATCH="$3"
[ -x "$TOOL" ] || exit 77
export LC_ALL=C
rm -rf "$SCRATCH"
mkdir -p "$SCRATCH"
cd "$SCRATCH" || exit 1

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
crlf() { printf '%s\r\n' "$@"; }

# Bad command lines stop with a message and a non-zero status.
for args in "" "only-one-arg" "--SERVE"; do
    # shellcheck disable=SC2086
    "$TOOL" $args >out.txt 2>err.txt </dev/null
    rc=$?
    [ "$rc" -ne 0 ] || fail "command line '$args' exited 0"
    [ -s err.txt ] || fail "command line '$args' wrote no message"
    [ ! -s out.txt ] || fail "command line '$args' wrote to stdout"
done

# An empty jobs array.
printf '[]' >empty.json
"$TOOL" empty.json out >out.txt 2>err.txt
rc=$?
[ "$rc" -eq 0 ] || fail "empty jobs array exited $rc"
cmp -s out.txt <(crlf "翻译 0 成功，0 失败") || fail "empty summary: $(od -c out.txt | head -3)"

# Failing jobs: the exit code, one red line each, nothing outside the output dir.
printf '[{"key":"../escape","code":"x.bin"},{"code":"missing.bin"},7]' >bad.json
"$TOOL" bad.json out >out.txt 2>err.txt
rc=$?
[ "$rc" -eq 1 ] || fail "failing jobs exited $rc"
cmp -s out.txt <(crlf "翻译 0 成功，3 失败") || fail "failing summary: $(cat out.txt)"
[ "$(grep -c '^【红】' err.txt)" -eq 3 ] || fail "expected three red lines: $(cat err.txt)"
grep -q '^【红】../escape：ArgumentException: ' err.txt || fail "escaping key not rejected: $(cat err.txt)"
grep -q '^【红】：FileNotFoundException: ' err.txt || fail "missing code not reported: $(cat err.txt)"
[ ! -e escape.spv ] && [ ! -e escape.res.json ] || fail "a file was written outside the output directory"

# The examples: each job either succeeds or has its red line, and the exit
# code agrees with the summary.
if [ -f "$ROOT/examples/jobs.json" ]; then
    (cd "$ROOT/examples" && "$TOOL" jobs.json "$SCRATCH/examples") >out.txt 2>err.txt
    rc=$?
    summary="$(tr -d '\r' <out.txt)"
    if [[ "$summary" =~ ^翻译\ ([0-9]+)\ 成功，([0-9]+)\ 失败$ ]]; then
        failed="${BASH_REMATCH[2]}"
        [ "$(grep -c '^【红】' err.txt)" -eq "$failed" ] || fail "examples: red lines do not match $failed failures"
        if [ "$failed" -eq 0 ]; then [ "$rc" -eq 0 ] || fail "examples exited $rc"; else [ "$rc" -eq 1 ] || fail "examples exited $rc"; fi
    else
        fail "examples summary: $summary"
    fi
fi

# KTRV_STACK: a job that fails once its translation has started writes a
# trace; without the variable only the red line appears.
printf '[{"key":"s","code":"no-such-code.bin","stage":"cs"}]' >one.json
"$TOOL" one.json out >/dev/null 2>err.txt
KTRV_STACK= "$TOOL" one.json out >/dev/null 2>trace.txt
[ "$(wc -l <err.txt)" -eq 1 ] || fail "stack trace written without KTRV_STACK: $(cat err.txt)"
[ "$(wc -l <trace.txt)" -gt 1 ] || fail "KTRV_STACK wrote no stack trace"

# Serve: one answer per non-empty line, CR LF endings, exit 0 at end of input.
printf '\n\r\n   \n{"job":{"key":"k"},"out":"served"}\r\n[1]' | "$TOOL" --serve >serve.txt 2>serve_err.txt
rc=$?
[ "$rc" -eq 0 ] || fail "serve exited $rc"
expected="$(crlf 'fail ? JsonException: Invalid JSON: X' 'fail k ArgumentException: The job has no "code".' \
    'fail ? JsonException: A request must be a JSON object.')"
actual="$(sed 's/Invalid JSON: .*\r$/Invalid JSON: X\r/' serve.txt)"
[ "$actual" = "$expected" ] || fail "serve transcript: $(od -c serve.txt | head -20)"

# Serve fed random bytes: every non-empty line is answered and the process survives.
head -c 400000 /dev/urandom >random.bin
printf '\n{"job":{"key":"last"},"out":"served"}\n' >>random.bin
want=$(grep -a -c -v -x -E $'\r?' random.bin)
"$TOOL" --serve <random.bin >random_out.txt 2>/dev/null
rc=$?
[ "$rc" -eq 0 ] || fail "serve on random input exited $rc"
got=$(grep -a -c '' random_out.txt)
[ "$got" -eq "$want" ] || fail "random input: $want requests, $got answers"
bad=$(grep -a -c -v -E $'^(ok|fail) .*\r$' random_out.txt)
[ "$bad" -eq 0 ] || fail "random input: $bad malformed answer lines"
tail -n 1 random_out.txt | grep -q '^fail last ' || fail "random input: last request not answered last"

# A client that hangs up early must not kill the worker with SIGPIPE.
yes '{}' | head -n 200000 | "$TOOL" --serve 2>/dev/null | head -n 1 >/dev/null
status=("${PIPESTATUS[@]}")
[ "${status[2]}" -eq 0 ] || fail "serve died when its reader closed (status ${status[2]})"

[ "$failures" -eq 0 ] || exit 1
echo "driver_modes: ok"
