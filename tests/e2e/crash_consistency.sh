#!/usr/bin/env bash
# Kills the tool at random points, alone and while a second process writes
# the same keys, in both modes, and checks after every round what readers
# rely on: a ".res.json" present means the ".spv" beside it is the complete
# module of the same job; any other state is a ".spv" alone (incomplete) or
# nothing. A run that ends normally leaves no temporary behind.
# Args: tool path, repo root, scratch dir. Exit 77 = skipped.
set -uo pipefail
TOOL="$(cd "$(dirname "$1")" 2>/dev/null && pwd)/$(basename "$1")"
ROOT="$2"
SCRATCH="$3"
CORPUS="$ROOT/../shared/corpus"
ROUNDS="${CRASH_ROUNDS:-300}"
[ -x "$TOOL" ] || exit 77
# Two real shaders whose modules and resource files both differ, so that a
# mixed pair would show.
A="$CORPUS/compute_ssbo_atomics.bin"
B="$CORPUS/compute_prefix_sum.bin"
[ -f "$A" ] && [ -f "$B" ] || exit 77
export LC_ALL=C
rm -rf "$SCRATCH"
mkdir -p "$SCRATCH"
cd "$SCRATCH" || exit 1

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

KEYS=24
jobs_for() { # code file, stage text, local size x
    local out="[" k
    for ((k = 0; k < KEYS; k++)); do
        [ "$k" -gt 0 ] && out+=","
        out+="{\"key\":\"k$k\",\"code\":\"$1\",\"stage\":\"$2\",\"local\":[$3,1,1]}"
    done
    echo "$out]"
}
jobs_for "$A" cs 64 >a.json
jobs_for "$B" cs 128 >b.json
python3 -c 'import json,sys
for j in json.load(open(sys.argv[1])): print(json.dumps({"job": j, "out": sys.argv[2]}))' a.json out >a.req
python3 -c 'import json,sys
for j in json.load(open(sys.argv[1])): print(json.dumps({"job": j, "out": sys.argv[2]}))' b.json out >b.req

# Reference results of uninterrupted runs.
"$TOOL" a.json ref-a >/dev/null 2>&1 || { echo "reference run a failed"; exit 1; }
"$TOOL" b.json ref-b >/dev/null 2>&1 || { echo "reference run b failed"; exit 1; }
cmp -s ref-a/k0.spv ref-b/k0.spv && fail "the two variants have the same module"
cmp -s ref-a/k0.res.json ref-b/k0.res.json && fail "the two variants have the same resource file"

start() { # variant, mode: starts the tool in the background, sets PID
    if [ "$2" = serve ]; then
        "$TOOL" --serve <"$1.req" >/dev/null 2>&1 &
    else
        "$TOOL" "$1.json" out >/dev/null 2>&1 &
    fi
    PID=$!
}

# Content hashes: of the two references once, of what a round left once per
# round (one process, not one per file).
declare -A REF
while read -r hash file; do REF[$file]=$hash; done < <(md5sum ref-a/* ref-b/*)
check_pairs() { # round
    local -A got=()
    local hash file k v matched
    while read -r hash file; do got[$file]=$hash; done < <(md5sum out/*.spv out/*.res.json 2>/dev/null)
    for ((k = 0; k < KEYS; k++)); do
        local spv="${got[out/k$k.spv]:-}" res="${got[out/k$k.res.json]:-}"
        if [ -n "$res" ]; then
            matched=""
            for v in a b; do
                [ "$res" = "${REF[ref-$v/k$k.res.json]}" ] && [ "$spv" = "${REF[ref-$v/k$k.spv]}" ] && matched=$v
            done
            [ -n "$matched" ] || fail "round $1: k$k has a resource file that does not belong to its module"
        elif [ -e "out/k$k.res.json" ]; then
            fail "round $1: k$k.res.json cannot be read"
        elif [ -n "$spv" ]; then
            [ "$spv" = "${REF[ref-a/k$k.spv]}" ] || [ "$spv" = "${REF[ref-b/k$k.spv]}" ] ||
                fail "round $1: k$k.spv is partial"
        fi
    done
}

complete=0
incomplete=0
for ((round = 1; round <= ROUNDS; round++)); do
    mode=oneshot
    [ $((RANDOM % 3)) -eq 0 ] && mode=serve
    first=a
    [ $((RANDOM % 2)) -eq 0 ] && first=b
    start "$first" "$mode"
    pids=("$PID")
    # Every fourth round a second process writes the other variant into the
    # same directory at the same time.
    if [ $((round % 4)) -eq 0 ]; then
        second=b
        [ "$first" = b ] && second=a
        start "$second" "$mode"
        pids+=("$PID")
    fi
    # Kill somewhere in the run, or now and then let it finish.
    if [ $((RANDOM % 10)) -ne 0 ]; then
        sleep "0.0$((RANDOM % 10))$((RANDOM % 10))"
        kill -9 "${pids[0]}" 2>/dev/null
    fi
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
    check_pairs "$round"
done

# Tally of what the last round left, then one clean run: every pair is
# complete, and the temporaries of the killed runs are gone.
for ((k = 0; k < KEYS; k++)); do
    if [ -e "out/k$k.res.json" ]; then complete=$((complete + 1)); else incomplete=$((incomplete + 1)); fi
done
"$TOOL" a.json out >/dev/null 2>&1 || fail "the clean run failed"
for ((k = 0; k < KEYS; k++)); do
    cmp -s "out/k$k.spv" "ref-a/k$k.spv" && cmp -s "out/k$k.res.json" "ref-a/k$k.res.json" || fail "clean run: k$k"
done
left=$(find out -name '.fenkvanter-*' | wc -l)
[ "$left" -eq 0 ] || fail "$left temporaries left after a clean run"

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "crash consistency: $ROUNDS rounds, every pair complete or recognisably incomplete (last round: $complete complete, $incomplete incomplete)"
