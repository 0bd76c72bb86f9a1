#!/usr/bin/env bash
# Hostile jobs and requests through both modes. Every case must end in an
# error that names its cause (or, where marked VALID, in a module that
# spirv-val accepts or a typed error), the next job or request must still be
# answered, nothing may appear outside the output directory, no temporary may
# stay behind, and the whole run must stay within a time and memory bound.
# Args: tool path, repo root, scratch dir. Exit 77 = skipped.
set -uo pipefail
TOOL="$(cd "$(dirname "$1")" 2>/dev/null && pwd)/$(basename "$1")"
ROOT="$2"
SCRATCH="$3"
[ -x "$TOOL" ] || exit 77
command -v python3 >/dev/null || exit 77
export LC_ALL=C
rm -rf "$SCRATCH"
mkdir -p "$SCRATCH"
cd "$SCRATCH" || exit 1
CORPUS="$ROOT/../shared/corpus"

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Fixtures: a valid compute shader, a call that recurses, branches nested
# past the nesting limit, a code file past the code size limit, a FIFO, a
# directory, a link from inside the output directory to outside it, and a
# directory where a module should go.
python3 "$ROOT/bench/gen_shader.py" straight 8 ok.bin
python3 "$ROOT/bench/gen_shader.py" nested 4200 nested.bin 1050 # one nest of 1,050 levels
python3 - <<'PY'
import struct
CTRL, EXIT, RET = 0x001F9800FCC007E6, 0xE30000000007000F, 0xE32000000007000F
def cal(at, target):  # unconditional CAL at byte address `at`
    return 0xE260000000070000 | (((target - at - 8) & 0xFFFFFF) << 20)
words = [CTRL, cal(0x08, 0x28), EXIT, EXIT, CTRL, cal(0x28, 0x28), RET, RET]
open("recurse.bin", "wb").write(struct.pack("<8Q", *words))
PY
truncate -s 3M big.bin
mkfifo fifo
mkdir codedir outside out
ln -s ../outside out/sub
mkdir out/taken.spv

# name|job|expected text in the error, or VALID
cases=(
    'linked subdirectory|{"key":"sub/x","code":"ok.bin","stage":"cs"}|is a symbolic link or no directory'
    'FIFO as code|{"key":"fifo","code":"fifo","stage":"cs"}|it is a FIFO, not a regular file'
    'device as code|{"key":"dev","code":"/dev/zero","stage":"cs"}|it is a character device, not a regular file'
    'directory as code|{"key":"dir","code":"codedir","stage":"cs"}|it is a directory, not a regular file'
    'code too large|{"key":"big","code":"big.bin","stage":"cs"}|the code size limit of 2097152 bytes'
    'name taken by a directory|{"key":"taken","code":"ok.bin","stage":"cs"}|only regular files are replaced'
    'recursive call|{"key":"rec","code":"recurse.bin","stage":"cs"}|recursion cannot be translated'
    'nesting too deep|{"key":"deep","code":"nested.bin","stage":"cs"}|past the nesting limit'
    'compute code as graphics|{"key":"cs-as-gfx","code":"ok.bin","stage":"CS"}|VALID'
)
if [ -f "$CORPUS/tess_ctrl_quad_lod.bin" ]; then
    cases+=("feedback on a control shader|{\"key\":\"tcs\",\"code\":\"$CORPUS/tess_ctrl_quad_lod.bin\",\"tf\":[{\"words\":[32,33,34,35],\"stride\":16}]}|VALID")
fi
good='{"key":"good","code":"ok.bin","stage":"cs"}'

# The error text a case must have; VALID answers are checked by check_valid.
check_valid() { # key, answer text ("" for ok)
    if [ -z "$2" ]; then
        if command -v spirv-val >/dev/null; then
            spirv-val --target-env vulkan1.1 "out/$1.spv" 2>/dev/null || fail "$1: ok with an invalid module"
        fi
    else
        [[ "$2" =~ ^[A-Za-z]+Exception:\  ]] || fail "$1: untyped error: $2"
    fi
}

# Memory and time of a whole run: GNU time's peak RSS, and a timeout.
bounded() { # output file for the peak RSS in KB, then the command
    local rss="$1"
    shift
    timeout 120 /usr/bin/time -f '%M' -o "$rss" "$@"
}
check_bounds() { # what, rss file, exit code
    [ "$3" -ne 124 ] || fail "$1: did not end within 120 s"
    local kb
    kb=$(tail -1 "$2" 2>/dev/null || echo 0)
    [ "${kb:-0}" -lt 1000000 ] || fail "$1: peak RSS $kb KB"
}

# --- one-shot: every case is a job of one file, each followed by a good one.
jobs="["
for c in "${cases[@]}"; do
    IFS='|' read -r _ job _ <<<"$c"
    jobs+="$job,$good,"
done
jobs+="$good]"
printf '%s' "$jobs" >jobs.json
bounded rss.txt "$TOOL" jobs.json out >oneshot.out 2>oneshot.err
rc=$?
check_bounds "one-shot" rss.txt "$rc"
[ "$rc" -eq 1 ] || fail "one-shot exited $rc"
for c in "${cases[@]}"; do
    IFS='|' read -r name job expected <<<"$c"
    key=$(python3 -c 'import json,sys; print(json.loads(sys.argv[1])["key"])' "$job")
    line=$(grep -F "【红】$key：" oneshot.err | head -1)
    if [ "$expected" = VALID ]; then
        check_valid "$key" "${line#*：}"
    else
        [[ "$line" == *"$expected"* ]] || fail "one-shot $name: '$line' lacks '$expected'"
    fi
done
n=${#cases[@]}
grep -q "成功" oneshot.out || fail "one-shot summary: $(cat oneshot.out)"
[ "$(grep -c '^【红】good' oneshot.err)" -eq 0 ] || fail "one-shot: a good job after a bad one failed"

# Whole-run limits of one-shot mode: a jobs file past its size limit and one
# with more jobs than the job count limit stop before any job.
truncate -s 65M huge.json
python3 -c 'print("[" + ",".join(["{}"] * 100001) + "]")' >many.json
for f in huge.json:"jobs file size limit" many.json:"job count limit"; do
    "$TOOL" "${f%%:*}" out >run.out 2>run.err
    rc=$?
    [ "$rc" -ne 0 ] && [ ! -s run.out ] || fail "${f%%:*}: exit $rc, $(cat run.out)"
    grep -q "${f#*:}" run.err || fail "${f%%:*}: $(cat run.err)"
done

# --- serve: the same cases as requests, plus requests that are hostile as
# lines: longer than the request size limit, holding a NUL or trailing
# garbage, or an object of hundreds of thousands of members (legal, and
# parsed in linear time).
request() { printf '{"job":%s,"out":"out"}\n' "$1"; }
{
    for c in "${cases[@]}"; do
        IFS='|' read -r _ job _ <<<"$c"
        request "$job"
        request "$good"
    done
    python3 -c 'import sys; sys.stdout.write("{\"job\":{\"key\":\"long\",\"pad\":\"" + "x" * (5 << 20) + "\"},\"out\":\"out\"}\n")'
    request "$good"
    printf '{"job":%s,"out":"out"}\0{"job":{"key":"nul"}}\n' "$good"
    request "$good"
    printf '{"job":%s,"out":"out"} {"more":1}\n' "$good"
    request "$good"
    python3 -c 'import sys; sys.stdout.write("{\"job\":{\"key\":\"wide\",\"code\":\"ok.bin\",\"stage\":\"cs\",\"tex\":{" + ",".join("\"%d\":\"2d\"" % i for i in range(300000)) + "}},\"out\":\"out\"}\n")'
    request "$good"
} >requests.txt
bounded rss.txt "$TOOL" --serve <requests.txt >serve.out 2>serve.err
rc=$?
check_bounds "serve" rss.txt "$rc"
[ "$rc" -eq 0 ] || fail "serve exited $rc"
mapfile -t answers < <(tr -d '\r' <serve.out)
i=0
for c in "${cases[@]}"; do
    IFS='|' read -r name job expected <<<"$c"
    key=$(python3 -c 'import json,sys; print(json.loads(sys.argv[1])["key"])' "$job")
    answer="${answers[$i]:-}"
    if [ "$expected" = VALID ]; then
        if [ "$answer" = "ok $key" ]; then check_valid "$key" ""; else check_valid "$key" "${answer#fail "$key" }"; fi
    else
        [[ "$answer" == "fail $key "*"$expected"* ]] || fail "serve $name: '$answer' lacks '$expected'"
    fi
    [ "${answers[$((i + 1))]:-}" = "ok good" ] || fail "serve: no answer after $name: '${answers[$((i + 1))]:-}'"
    i=$((i + 2))
done
for expected in "the request size limit of 4194304 bytes" "holds a NUL byte" "Invalid JSON" "ok wide"; do
    [[ "${answers[$i]:-}" == *"$expected"* ]] || fail "serve: '${answers[$i]:-}' lacks '$expected'"
    [ "${answers[$((i + 1))]:-}" = "ok good" ] || fail "serve: no answer after '$expected'"
    i=$((i + 2))
done
[ "${#answers[@]}" -eq "$i" ] || fail "serve: ${#answers[@]} answers for $i requests"

# Nothing outside the output directory, and no temporaries anywhere.
[ -z "$(ls -A outside)" ] || fail "files appeared outside the output directory: $(ls -A outside)"
[ -z "$(find . -name '.fenkvanter-*')" ] || fail "temporaries left: $(find . -name '.fenkvanter-*')"
[ -d out/taken.spv ] || fail "the directory in the way was moved"

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "hostile input: $n job cases and 4 request cases in both modes passed"
