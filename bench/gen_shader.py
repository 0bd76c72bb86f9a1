#!/usr/bin/env python3
"""Writes a generated compute shader code file for the size benchmarks.

gen_shader.py KIND N OUT.bin [MAX_DEPTH]
  straight:    N dependent integer adds in one block.
  nested:      N/4 if-levels, each closing after all inner ones.
  diamonds:    N/5 if/else diamonds one after another.
  loops:       N/3 loops one after another (add, compare, branch back).
  nestedloops: N/3 loop levels, each inner loop inside the one before; the
               back branches close from the innermost out.
  breaks:      N/5 loops one after another, each left early by a forward
               branch past its back branch (a break the structurer turns
               into a goto and eliminates).
  crossed:     N/3 loops that overlap: each back branch goes to the head of
               the loop before the one it closes, so no loop nests in
               another and the structurer needs gotos.
  calls:       a chain of N/3 functions, each adding, then calling the next
               and returning.
  orphans:     a never-taken branch (@!pt bra) to the last of N/2 blocks
               placed after the exit, each adding and branching back to the
               block before it (the first exits). The decoder walks the
               chain, but the translation has no edge into it, so the
               blocks are unreachable, each orphaned only once the block
               after it is gone.
Nests (nested, nestedloops) are at most MAX_DEPTH (default 1000) levels deep,
one nest after another, since the translator refuses nesting past 1023. The
shapes have about N instructions in all. Every result feeds one global
store, so nothing is dead code.
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
]
BRANCH_TO_SELF = 0xE2400FFFFF87000F
EXIT = 0xE30000000007000F
RET = 0xE32000000007000F  # ret (always)
NOP = 0x50B0000000070F00
MAX_DEPTH = 1000


def iadd_r4(imm):
    return 0x3810000000070404 | (imm & 0x7FFFF) << 20


def isetp_ne_p0_r4(imm):
    return 0x366A038000070407 | (imm & 0x7FFFF) << 20


def addr(index):
    """Byte address of instruction `index` (a control word leads every 4 words)."""
    return 8 * (index + index // 3 + 1)


def offset(at, target):
    return (addr(target) - (addr(at) + 8)) & 0xFFFFFF


def bra_p0(at, target):
    """@p0 bra target, for the instruction at index `at`."""
    return 0xE24000000000000F | offset(at, target) << 20


def bra(at, target):
    """bra target (always)."""
    return 0xE24000000007000F | offset(at, target) << 20


def bra_never(at, target):
    """@!pt bra target: decoded as a branch, never taken."""
    return 0xE24000000007000F | 0x8 << 16 | offset(at, target) << 20


def cal(at, target):
    return 0xE260000000000040 | offset(at, target) << 20


def nests(levels, max_depth):
    """Depths of the nests one after another for `levels` levels."""
    while levels > 0:
        depth = min(max_depth, levels)
        yield depth
        levels -= depth


def main():
    kind, n, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    max_depth = int(sys.argv[4]) if len(sys.argv) > 4 else MAX_DEPTH
    ins = list(PROLOGUE)
    tail = []  # functions placed after the main one
    if kind == "straight":
        ins += [iadd_r4(1 + i % 7) for i in range(n)]
    elif kind == "nested":
        done = 0
        for depth in nests(max(1, n // 4), max_depth):
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
                ins[at] = bra_p0(at, targets[i])
            done += depth
    elif kind == "diamonds":
        for i in range(max(1, n // 5)):
            ins.append(isetp_ne_p0_r4(i))
            at_else = len(ins)
            ins.append(None)
            ins.append(iadd_r4(1))
            at_end = len(ins)
            ins.append(None)
            ins[at_else] = bra_p0(at_else, len(ins))
            ins.append(iadd_r4(2))
            ins[at_end] = bra(at_end, len(ins))
    elif kind == "loops":
        for i in range(max(1, n // 3)):
            head = len(ins)
            ins.append(iadd_r4(1))
            ins.append(isetp_ne_p0_r4(i))
            ins.append(bra_p0(len(ins), head))
    elif kind == "nestedloops":
        done = 0
        for depth in nests(max(1, n // 3), max_depth):
            heads = []
            for i in range(depth):
                heads.append(len(ins))
                ins.append(iadd_r4(1))
            for i in reversed(range(depth)):
                ins.append(isetp_ne_p0_r4(done + i))
                ins.append(bra_p0(len(ins), heads[i]))
            done += depth
    elif kind == "breaks":
        for i in range(max(1, n // 5)):
            head = len(ins)
            ins.append(iadd_r4(1))
            ins.append(isetp_ne_p0_r4(i))
            at_break = len(ins)
            ins.append(None)
            ins.append(isetp_ne_p0_r4(i + 1))
            ins.append(bra_p0(len(ins), head))
            ins[at_break] = bra_p0(at_break, len(ins))
    elif kind == "crossed":
        heads = []
        for i in range(max(2, n // 3)):
            heads.append(len(ins))
            ins.append(iadd_r4(1))
            ins.append(isetp_ne_p0_r4(i))
            ins.append(bra_p0(len(ins), heads[max(0, i - 1)]))
    elif kind == "calls":
        count = max(1, n // 3)
        calls = []  # (index of the CAL, index of the function it calls)
        calls.append(len(ins))
        ins.append(None)
        tail = []
        for i in range(count):
            tail.append([iadd_r4(1 + i % 7), "cal" if i + 1 < count else None, RET])
    elif kind == "orphans":
        calls = [len(ins)]  # the @!pt bra, patched once the chain is placed
        ins.append(None)
        tail = [max(1, n // 2)]
    else:
        sys.exit("kind must be straight, nested, diamonds, loops, nestedloops, breaks, crossed, calls or orphans")
    ins += EPILOGUE
    ins.append(BRANCH_TO_SELF)
    if kind == "calls":
        # Each function starts on a fresh instruction; the CAL before it
        # (in main or in the function before) is patched to its index.
        caller = calls[0]
        for body in tail:
            start = len(ins)
            ins[caller] = cal(caller, start)
            for w in body:
                if w == "cal":
                    caller = len(ins)
                    ins.append(None)
                elif w is not None:
                    ins.append(w)
    if kind == "orphans":
        first = len(ins)
        for i in range(tail[0]):
            ins.append(iadd_r4(1 + i % 7))
            ins.append(EXIT if i == 0 else bra(len(ins), len(ins) - 3))
        ins[calls[0]] = bra_never(calls[0], len(ins) - 2)
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
