#!/usr/bin/env bash
# Every corpus job, in every variant of job facts the tool's tests use, goes
# through the GLSL back end into text that glslang compiles, for all six
# stages: fenkvanter-glsl fails a job whose text glslang rejects.
# Args: fenkvanter-glsl path, repo root, scratch dir. Exits 77 (skipped) only
# when the shared corpus is absent.
set -uo pipefail
TOOL="$1"; ROOT="$2"; SCRATCH="$3"
SHARED="${ZV_SHARED_DIR:-$ROOT/../shared}"
if [ ! -f "$SHARED/corpus/jobs.json" ]; then
  echo "corpus absent: skipped"; exit 77
fi
rm -rf "$SCRATCH"; mkdir -p "$SCRATCH"
python3 - "$SHARED/corpus" "$SCRATCH/jobs.json" <<'PY'
import json, os, sys
corpus, out = sys.argv[1], sys.argv[2]
base = json.load(open(os.path.join(corpus, "jobs.json")))
tex_types = ["1d", "2d", "3d", "cube", "buffer", "1darray", "2darray", "cubearray", "2dms", "2dmsarray"]
def textures(suffix):
    return {str(s): tex_types[(s + k) % len(tex_types)] + suffix for k in range(1) for s in range(16)}
variants = {
    "plain": {},
    "nodebug": {"debug": False},
    "softfloat64": {"softfloat64": True},
    "reduced": {"reduced": True},
    "host": {"subgroup": 64, "sbuf_align": 64, "gather_bias": 8},
    "early": {"early_fragment_tests": True},
    "points": {"topology": "points"},
    "lines": {"topology": "lines"},
    "lines_adj": {"topology": "lines_adjacency"},
    "tris_adj": {"topology": "triangles_adjacency"},
    "xfb_vec": {"tf": [{"words": [28, 29, 30, 31, 32, 33, 34, 35], "stride": 32}]},
    "xfb_one": {"tf": [{"words": [33, 255, 36], "stride": 16}, {"words": [28], "stride": 4}]},
    "xfb_empty": {"tf": []},
    "sint": {"attr": {str(i): "sint" for i in range(32)}, "fout": {str(i): "sint" for i in range(8)}},
    "uint": {"attr": {str(i): "uint" for i in range(32)}, "fout": {str(i): "uint" for i in range(8)}},
    "tex": {"tex": textures("")},
    "tex_depth": {"tex": textures("_depth")},
    "img_uint": {"img": {str(s): {"type": "2d", "fmt": "R32Uint"} for s in range(8)}},
    "img_sint": {"img": {str(s): {"type": "2darray", "fmt": "R32Sint"} for s in range(8)}},
}
jobs = []
for name, extra in variants.items():
    for job in base:
        j = dict(job)
        j["key"] = job["key"] + "." + name
        j["code"] = os.path.join(corpus, job["code"])
        j.update(extra)
        jobs.append(j)
json.dump(jobs, open(out, "w"))
print(f"{len(jobs)} jobs in {len(variants)} variants")
PY
"$TOOL" "$SCRATCH/jobs.json" "$SCRATCH/out" > "$SCRATCH/stdout.txt" 2> "$SCRATCH/stderr.txt"
rc=$?
cat "$SCRATCH/stderr.txt" "$SCRATCH/stdout.txt"
# A job the translator itself rejects with a typed error (the same in both
# back ends) is no finding here; only glslang's rejections are.
if grep -q "glslang rejected" "$SCRATCH/stderr.txt"; then
  echo "GLSL text rejected by glslang"; exit 1
fi
if [ "$rc" -ne 0 ] && [ "$rc" -ne 1 ]; then
  echo "fenkvanter-glsl ended with status $rc"; exit 1
fi
exit 0
