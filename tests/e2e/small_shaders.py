"""Writes a small corpus of hand-assembled shaders with GLSL references
(code files, jobs.json, meta.json and the harness's runs file) into the
directory given as the only argument, for the differential harness.

Each shader is a form that once gave an invalid module: the words are
assembled here from the instruction table's prefixes and field positions."""
import json, os, struct, sys
out = sys.argv[1]
os.makedirs(out, exist_ok=True)

# An instruction word: the 14-character prefix (bit 63 first, x read as 0),
# the guard PT, then (low bit, width, value) fields.
def word(prefix, fields):
    w = 0
    for i, c in enumerate(prefix):
        if c == '1': w |= 1 << (63 - i)
    w |= 7 << 16
    for lo, count, value in fields:
        mask = ((1 << count) - 1) << lo
        w = (w & ~mask) | ((value << lo) & mask)
    return w

RZ = 255
EXIT = 0xE30000000007000F
def ipa(rd, offset):
    return word("11100000xxxxxx", [(0, 8, rd), (8, 8, RZ), (20, 8, RZ), (28, 10, offset), (39, 8, RZ)])
def mov(rd, rb):
    return word("0101110010011x", [(0, 8, rd), (20, 8, rb), (39, 4, 0xF)])
def tex_dc(rd, ra, rb, mask, handle):
    return word("11000xxxxxxxxx", [(0, 8, rd), (8, 8, ra), (20, 8, rb), (28, 3, 2), (31, 4, mask), (36, 13, handle), (50, 1, 1)])

# The code file: the 80-byte program header (stage in word 0, other words as
# given), then the words with a scheduling word before every three.
def code_file(stage, words, header_words):
    h = [0] * 20
    h[0] = stage << 10
    for k, v in header_words.items(): h[k] = v
    seq = []
    for w in words:
        if len(seq) % 4 == 0: seq.append(0)
        seq.append(w)
    return struct.pack('<20I', *h) + struct.pack('<%dQ' % len(seq), *seq), len(seq) * 8

shaders = {}
# Depth comparison written to two components: outColor = (d, d, 0, 0).
name = "fragment_depth_compare_pair"
words = [ipa(0, 0x80), ipa(1, 0x84), ipa(2, 0x88), tex_dc(0, 0, 2, 0x3, 0x690 // 4), mov(2, RZ), mov(3, RZ), EXIT]
# Fragment: attribute 0 interpolated flat (x, y, z, w Constant), render target 0 written.
data, size = code_file(5, words, {6: 0x55, 18: 0xF})
open(os.path.join(out, name + ".bin"), "wb").write(data)
open(os.path.join(out, name + ".frag"), "w").write("""#version 450
// A depth comparison whose result the code writes to two components.
layout(location = 0) flat in vec4 inCoord;
layout(binding = 0) uniform sampler2DShadow shadowMap;
layout(location = 0) out vec4 outColor;

void main()
{
    float lit = texture(shadowMap, inCoord.xyz);
    outColor = vec4(lit, lit, 0.0, 0.0);
}
""")
shaders[name] = {
    "meta": {"code_bytes": len(data), "early_fragment_tests": False, "instruction_bytes": size,
             "num_gprs": 4, "per_sample_invocation": False, "source": name + ".frag"},
    "job": {"key": name, "code": name + ".bin"},
    "runs": {"stage": "fragment", "graphics": {
        "width": 16, "height": 16,
        "inputs": {"0": "vec4(p.x, p.y, 0.25 + 0.5 * p.x, 1.0)"},
        "resources": [{"binding": 0, "kind": "combined_image_sampler", "format": "d32f", "width": 16, "height": 16,
                       "compare": "less", "init": [{"type": "f32", "values": ["((x * 5 + y * 7) % 16) / 16"]}]}],
        "tolerance": None}},
}

def ald(rd, offset, size, patch=False):
    return word("1110111111011x", [(0, 8, rd), (8, 8, RZ), (20, 11, offset), (31, 1, 1 if patch else 0), (39, 8, RZ), (47, 2, size)])
def ast(rs, offset, size):
    return word("1110111111110x", [(0, 8, rs), (8, 8, RZ), (20, 11, offset), (39, 8, RZ), (47, 2, size)])

# Tessellation evaluation reading a per-vertex and a per-patch attribute
# (GLSL patch location L is the guest's per-patch byte 0x20 + 16L).
name = "tess_eval_patch_and_vertex"
words = [ald(0, 0x70, 3), ald(4, 0x80, 3), ald(8, 0x30, 3, True), ast(0, 0x70, 3), ast(4, 0x80, 3), ast(8, 0x90, 3), EXIT]
data, size = code_file(3, words, {})
open(os.path.join(out, name + ".bin"), "wb").write(data)
open(os.path.join(out, name + ".tese"), "w").write("""#version 450
// Passes on a per-vertex and a per-patch input.
layout(quads, equal_spacing, ccw) in;
layout(location = 0) in vec4 inA[];
layout(location = 1) patch in vec4 patchB;
layout(location = 0) out vec4 outA;
layout(location = 1) out vec4 outB;

void main()
{
    gl_Position = gl_in[0].gl_Position;
    outA = inA[0];
    outB = patchB;
}
""")
shaders[name] = {
    "meta": {"code_bytes": len(data), "instruction_bytes": size, "num_gprs": 12, "source": name + ".tese",
             "tess_mode": {"domain": "quads", "output": "triangles_ccw", "spacing": "equal"}},
    "job": {"key": name, "code": name + ".bin"},
    "runs": {"stage": "tess_eval", "graphics": {
        "patches": 2, "patch_vertices": 4,
        "inputs": {"0": "vec4(float(v) + 0.5, 0.25 * float(p), 0.75, 1.0)"},
        "patch_inputs": {"1": "vec4(0.25 * float(p) + 0.5, 1.0 - 0.125 * float(p), 0.75, 2.0)"},
        "outer": ["2.0 + float(p)", "3.0", "1.0", "2.0"], "inner": ["2.0", "3.0"],
        "position": "vec4(0.25 * float(v) - 0.5, 0.125 * float(p), 0.5, 1.0)",
        "resources": [], "tolerance": None}},
}

json.dump([s["job"] for s in shaders.values()], open(os.path.join(out, "jobs.json"), "w"), indent=1)
json.dump({n: s["meta"] for n, s in shaders.items()}, open(os.path.join(out, "meta.json"), "w"), indent=1)
json.dump({"format": "difftest-runs/1", "corpus": os.path.basename(out),
           "shaders": {n: s["runs"] for n, s in shaders.items()}}, open(os.path.join(out, "runs.json"), "w"), indent=1)
