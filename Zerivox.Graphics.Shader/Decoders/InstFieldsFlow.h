#pragma once
// Field accessors of the control-flow forms: branches, calls, returns, exits and
// the branch-stack push (SSY, PBK, PCNT) and pop (SYNC, BRK, CONT) instructions.
// Ccc is the condition-code test (0xF = always); Imm24 is the signed byte
// offset of a relative target (InstOp::GetAbsoluteAddress adds it to the
// address of the following word).
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"

namespace Zerivox::Graphics::Shader::Decoders {

struct InstBra {
    ZV_INST_ACCESSOR(InstBra)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Ccc, int, 0, 5)
    ZV_INST_REL_OFFSET
};

struct InstBrx {
    ZV_INST_ACCESSOR(InstBrx)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Ccc, int, 0, 5)
    ZV_INST_FIELD(Ra, int, 8, 8)
    ZV_INST_REL_OFFSET
};

struct InstCal {
    ZV_INST_ACCESSOR(InstCal)
    ZV_INST_REL_OFFSET
};

struct InstJcal {
    ZV_INST_ACCESSOR(InstJcal)
    ZV_INST_GUARD_FIELDS
};

struct InstJmp {
    ZV_INST_ACCESSOR(InstJmp)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Ccc, int, 0, 5)
    ZV_INST_FIELD(Ra, int, 8, 8)
};

struct InstJmx {
    ZV_INST_ACCESSOR(InstJmx)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Ccc, int, 0, 5)
    ZV_INST_FIELD(Ra, int, 8, 8)
};

struct InstExit {
    ZV_INST_ACCESSOR(InstExit)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Ccc, int, 0, 5)
};

struct InstRet {
    ZV_INST_ACCESSOR(InstRet)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Ccc, int, 0, 5)
};

struct InstKil {
    ZV_INST_ACCESSOR(InstKil)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Ccc, int, 0, 5)
};

struct InstLongjmp {
    ZV_INST_ACCESSOR(InstLongjmp)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Ccc, int, 0, 5)
};

struct InstPlongjmp {
    ZV_INST_ACCESSOR(InstPlongjmp)
    ZV_INST_REL_OFFSET
};

struct InstPexit {
    ZV_INST_ACCESSOR(InstPexit)
    ZV_INST_GUARD_FIELDS
    ZV_INST_REL_OFFSET
};

struct InstPret {
    ZV_INST_ACCESSOR(InstPret)
    ZV_INST_REL_OFFSET
};

// Push instructions: no guard predicate.
struct InstSsy {
    ZV_INST_ACCESSOR(InstSsy)
    ZV_INST_REL_OFFSET
};

struct InstPbk {
    ZV_INST_ACCESSOR(InstPbk)
    ZV_INST_REL_OFFSET
};

struct InstPcnt {
    ZV_INST_ACCESSOR(InstPcnt)
    ZV_INST_REL_OFFSET
};

// Pop instructions.
struct InstSync {
    ZV_INST_ACCESSOR(InstSync)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Ccc, int, 0, 5)
};

struct InstBrk {
    ZV_INST_ACCESSOR(InstBrk)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Ccc, int, 0, 5)
};

struct InstCont {
    ZV_INST_ACCESSOR(InstCont)
    ZV_INST_GUARD_FIELDS
    ZV_INST_FIELD(Ccc, int, 0, 5)
};

} // namespace Zerivox::Graphics::Shader::Decoders
