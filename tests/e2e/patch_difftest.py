#!/usr/bin/env python3
"""Writes a patched copy of the shared difftest harness (which is read-only).

usage: patch_difftest.py SOURCE DEST

Two differences from the harness, both about how it binds the translator's
module, never about what it compares:

1. The translator reports a bound texture's handle with constant-buffer slot
   -1 ("the texture constant buffer", which is c[0] in this corpus); the
   harness only accepts 0. The copy accepts both.
2. The translator declares every sampled texture with 32-bit float texels,
   because a job cannot state a texture's component type; integer texels
   travel as the float's bits. The harness binds the GLSL's integer format
   (r32ui for a usampler), which vkrun refuses for a float sampled image.
   The same holds for a storage image the module declares without a format
   (the guest's typed stores carry register bits, declared as float texels),
   for which the harness binds the GLSL's integer format. When the module
   declares float texels for a sampler or image binding whose format would
   be integer with 32-bit components, the copy binds the float format with
   the same texel size and component count (r32f for r32ui/r32i, rg32f for
   rg32ui/rg32i, rgba32f for rgba32ui/rgba32i): the same bytes go in and are
   read back, or written and compared, as the same bits, just as the harness
   already swaps r32i for r32ui when the module declares that.

Every edit must apply exactly once; otherwise this exits non-zero so that a
changed harness fails loudly instead of running unpatched.
"""
import sys

# (what, old text, new text)
EDITS = [
    ("accept texture handles in constant-buffer slot -1",
     'if t["cbuf_slot"] != 0:',
     'if t["cbuf_slot"] not in (0, -1):'),
    ("spv_info: collect the texel kind of sampled images",
     '    kinds, formats = {}, {}\n',
     '    kinds, formats, texels = {}, {}, {}\n'),
    ("spv_info: record float or integer texels per sampled binding",
     '        if kind:\n            kinds[decos[vid][33]] = kind\n',
     '        if kind:\n            kinds[decos[vid][33]] = kind\n'
     '        image = types.get(t[2]) if op == 27 and len(t) > 2 else t if op == 25 else None\n'
     '        if kind in IMAGE_KINDS and image and len(image) > 2:\n'
     '            sampled = types.get(image[2])\n'
     '            if sampled and (sampled[0] & 0xffff) in (21, 22):\n'
     '                texels[decos[vid][33]] = "f" if (sampled[0] & 0xffff) == 22 else "i"\n'),
    ("spv_info: return the texel kinds",
     '    return {"entries": entries, "kinds": kinds, "formats": formats, "io": io}\n',
     '    return {"entries": entries, "kinds": kinds, "formats": formats, "io": io, "texels": texels}\n'),
    ("map_candidate: bind a float view of 32-bit integer texels for a float image",
     '            elif kind not in SAMPLED_KINDS:\n                kind = "combined_image_sampler"\n',
     '            elif kind not in SAMPLED_KINDS:\n                kind = "combined_image_sampler"\n'
     '            if info.get("texels", {}).get(t["binding"]) == "f" and FORMATS[fmt or r.format][1] != "f":\n'
     '                fmt = FLOAT_VIEW_OF_INT.get(fmt or r.format)\n'
     '                if fmt is None:\n'
     '                    raise Fail(f"cannot map {where}: the module declares float texels and the GLSL\'s "\n'
     '                               f"{r.label} is {r.format}, which has no float format of the same bits")\n'),
    ("float formats with the bits of the integer ones",
     'SAMPLED_KINDS = ("combined_image_sampler", "sampled_image")\n',
     'SAMPLED_KINDS = ("combined_image_sampler", "sampled_image")\n'
     'FLOAT_VIEW_OF_INT = {"r32ui": "r32f", "r32i": "r32f", "rg32ui": "rg32f", "rg32i": "rg32f",\n'
     '                     "rgba32ui": "rgba32f", "rgba32i": "rgba32f"}\n'),
]


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: patch_difftest.py SOURCE DEST")
    with open(sys.argv[1], encoding="utf-8") as f:
        text = f.read()
    for what, old, new in EDITS:
        n = text.count(old)
        if n != 1:
            sys.exit(f"patch_difftest.py: cannot apply '{what}': the harness text occurs {n} times, not once")
        text = text.replace(old, new)
    with open(sys.argv[2], "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    main()
