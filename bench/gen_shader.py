#!/usr/bin/env python3
"""Writes a generated compute shader code file for the size benchmarks.

gen_shader.py straight|nested N OUT.bin [MAX_DEPTH]
  straight: N dependent integer adds in one block.
  nested:   N/4 if-levels, each closing after all inner ones, in nests of at
            most MAX_DEPTH (default 1000) levels one after another (the
            translator refuses nesting past 1023), about N instructions in all.
Every result feeds one global store, so nothing is dead code.
"""
import struct
import sys

CONTROL = 0x001F9800FCC007E6
PROLOGUE = [
    0xF0C8000002570000,  # mov r0, ctaid.x
    0xF0C8000002170001,  # mov r1, tid.x
    0x5C18030000170002,  # r2 = (r0 << 6) + r1
    0x3848000000270200,  # r0 = r2 << 2
    0x4C10800005070000,  # r0 += c0[0x140] (cc)
    0x4C1008000517FF01,  # r1 = c0[0x144] + carry
    0x5C98078000270004,  # r4 = r2
]
EPILOGUE = [
    0xEEDC200000070004,  # stg [r0:r1], r4
    0xE30000000007000F,  # exit
    0xE2400FFFFF87000F,  # branch to self
]
NOP = 0x50B0000000070F00
MAX_DEPTH = 1000


def iadd_r4(imm):
    return 0x3810000000070404 | (imm & 0x7FFFF) << 20


def isetp_ne_p0_r4(imm):
    return 0x366A038000070407 | (imm & 0x7FFFF) << 20


def addr(index):
    """Byte address of instruction `index` (a control word leads every 4 words)."""
    return 8 * (index + index // 3 + 1)


def main():
    kind, n, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    max_depth = int(sys.argv[4]) if len(sys.argv) > 4 else MAX_DEPTH
    ins = list(PROLOGUE)
    if kind == "straight":
        ins += [iadd_r4(1 + i % 7) for i in range(n)]
    elif kind == "nested":
        levels = max(1, n // 4)
        done = 0
        while done < levels:
            depth = min(max_depth, levels - done)
            branches = []
            for i in range(depth):
                ins.append(isetp_ne_p0_r4(done + i))
                branches.append(len(ins))
                ins.append(None)  # @p0 bra, patched below
                ins.append(iadd_r4(1))
            targets = [0] * depth
            for i in reversed(range(depth)):
                targets[i] = len(ins)
                ins.append(iadd_r4(3))
            for i, at in enumerate(branches):
                off = addr(targets[i]) - (addr(at) + 8)
                ins[at] = 0xE240000000000000 | (off & 0xFFFFFF) << 20 | 0xF
            done += depth
    else:
        sys.exit("kind must be straight or nested")
    ins += EPILOGUE
    while (len(ins) + len(ins) // 3 + (1 if len(ins) % 3 else 0)) % 8:
        ins.append(NOP)
    words = []
    for i, w in enumerate(ins):
        if i % 3 == 0:
            words.append(CONTROL)
        words.append(w)
    with open(out, "wb") as f:
        f.write(struct.pack("<%dQ" % len(words), *words))


if __name__ == "__main__":
    main()
