// Memory instructions: constant-buffer loads, global/local/shared loads and
// stores, global and shared atomics, global reductions.
//
// Global accesses keep one fixed shape, (low word, high word) address pairs
// with the offset added by IAdd, because the storage-buffer rewrite later
// matches it to find which buffer a pointer comes from.
#include <charconv>
#include <string>
#include <string_view>
#include <utility>

#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFieldsMemory.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/ShaderStage.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using namespace Translation::EmitterContextInsts;
using Decoders::AtomOp;
using Decoders::AtomSize;
using Decoders::LsSize2;
using IntermediateRepresentation::Operand;
using IntermediateRepresentation::StorageKind;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;

namespace {

constexpr int RZ = 255;

Operand* Const(EmitterContext& context, int32_t value) { return OH::MakeConstant(context.Arena(), value); }
Operand* Reg(EmitterContext& context, int reg) { return InstEmitHelper::ReadRegister(context, reg); }

std::string Number(int32_t value) {
    char buffer[16];
    const auto end = std::to_chars(buffer, buffer + sizeof(buffer), value).ptr;
    return std::string(buffer, end);
}

// Member name of an encoded value, or its number when it has none.
std::string SizeName(LsSize2 size) {
    static constexpr std::string_view names[] = {"U8", "S8", "U16", "S16", "B32", "B64", "B128"};
    const auto v = static_cast<int32_t>(size);
    return v >= 0 && v < 7 ? std::string(names[v]) : Number(v);
}

std::string AtomSizeName(AtomSize size) {
    static constexpr std::string_view names[] = {"U32", "S32", "U64", "F32FtzRn", "F16x2FtzRn", "S64"};
    const auto v = static_cast<int32_t>(size);
    return v >= 0 && v < 6 ? std::string(names[v]) : Number(v);
}

std::string AtomOpName(AtomOp op) {
    static constexpr std::string_view names[] = {"Add", "Min", "Max", "Inc", "Dec",    "And",
                                                 "Or",  "Xor", "Exch", "",   "Safeadd"};
    const auto v = static_cast<int32_t>(op);
    return v >= 0 && v < 11 && !names[v].empty() ? std::string(names[v]) : Number(v);
}

void Log(EmitterContext& context, const std::string& message) { context.GpuAccessor().Log(message); }

StorageKind GetStorageKind(LsSize2 size) {
    switch (static_cast<int32_t>(size)) {
    case 0:
        return StorageKind::GlobalMemoryU8;
    case 1:
        return StorageKind::GlobalMemoryS8;
    case 2:
        return StorageKind::GlobalMemoryU16;
    case 3:
        return StorageKind::GlobalMemoryS16;
    default:
        return StorageKind::GlobalMemory;
    }
}

int GetVectorCount(LsSize2 size) {
    switch (static_cast<int32_t>(size)) {
    case 5:
        return 2;
    case 6:
    case 7:
        return 4;
    default:
        return 1;
    }
}

bool IsSmall(LsSize2 size) { return static_cast<int32_t>(size) < 4; }

Operand* ExtractSmallInt(EmitterContext& context, LsSize2 size, Operand* bitOffset, Operand* value) {
    value = ShiftRightU32(context, value, bitOffset);
    switch (size) {
    case LsSize2::U8:
        return InstEmitHelper::ZeroExtendTo32(context, value, 8);
    case LsSize2::U16:
        return InstEmitHelper::ZeroExtendTo32(context, value, 16);
    case LsSize2::S8:
    case LsSize2::S16: {
        Operand* zero = Const(context, 0);
        Operand* bits = Const(context, size == LsSize2::S8 ? 8 : 16);
        return BitfieldExtractS32(context, value, zero, bits);
    }
    default:
        return value;
    }
}

Operand* InsertSmallInt(EmitterContext& context, LsSize2 size, Operand* bitOffset, Operand* word, Operand* value) {
    int bits = 0;
    switch (size) {
    case LsSize2::U8:
    case LsSize2::S8:
        bits = 8;
        break;
    case LsSize2::U16:
    case LsSize2::S16:
        bits = 16;
        break;
    default:
        return value;
    }
    Operand* mask = Const(context, bits == 8 ? 0xFF : 0xFFFF);
    Operand* masked = BitwiseAnd(context, value, mask);
    Operand* width = Const(context, bits);
    return BitfieldInsert(context, word, masked, bitOffset, width);
}

// (low, high) of Ra (+ Ra + 1 when extended) plus a byte offset. RZ reads 0,
// so an RZ base addresses the offset itself.
std::pair<Operand*, Operand*> Get40BitsAddress(EmitterContext& context, int ra, bool extended, int32_t offset) {
    Operand* low = Reg(context, ra);
    Operand* high = extended && ra != RZ ? Reg(context, ra + 1) : Const(context, 0);
    Operand* offsetConst = Const(context, offset);
    low = IAdd(context, low, offsetConst);
    if (extended) {
        Operand* offsetAgain = Const(context, offset);
        Operand* carry = ICompareLessUnsigned(context, low, offsetAgain);
        Operand* one = Const(context, 1);
        Operand* zero = Const(context, 0);
        Operand* carryValue = ConditionalSelect(context, carry, one, zero);
        high = IAdd(context, high, carryValue);
    }
    return {low, high};
}

// The base of a global access. An RZ base reads the constant 0 (an absolute
// address): a raw GPR 255 operand would read a register nothing ever wrote.
Operand* GlobalBase(EmitterContext& context, int ra) {
    Operand* reg = Reg(context, ra);
    return Copy(context, reg);
}

void EmitLdg(EmitterContext& context, LsSize2 size, int ra, int rd, int32_t offset, bool extended) {
    const int count = GetVectorCount(size);
    const StorageKind kind = GetStorageKind(size);
    // The low word's IAdd is still emitted; the loads add the offset to the
    // base themselves.
    Operand* high = Get40BitsAddress(context, ra, extended, offset).second;
    Operand* base = GlobalBase(context, ra);
    for (int i = 0; i < count; i++) {
        if (rd + i == RZ) break;
        Operand* wordOffset = Const(context, offset + 4 * i);
        Operand* address = IAdd(context, base, wordOffset);
        Operand* value = Load(context, kind, address, high);
        Operand* dest = Reg(context, rd + i);
        Copy(context, dest, value);
    }
}

void EmitStg(EmitterContext& context, LsSize2 size, int ra, int rd, int32_t offset, bool extended) {
    if (static_cast<int32_t>(size) > 6) {
        Log(context, "Invalid store size: " + SizeName(size) + ".");
        return;
    }
    const int count = GetVectorCount(size);
    const StorageKind kind = GetStorageKind(size);
    auto addr = Get40BitsAddress(context, ra, extended, offset);
    Operand* high = addr.second;
    Operand* base = GlobalBase(context, ra);
    for (int i = 0; i < count; i++) {
        Operand* value = Reg(context, rd + i >= RZ ? rd : rd + i);
        Operand* wordOffset = Const(context, offset + 4 * i);
        Operand* address = IAdd(context, base, wordOffset);
        Operand* sources[] = {address, high, value};
        context.Add(IntermediateRepresentation::Instruction::Store, kind, nullptr, sources);
    }
}

int32_t MemoryId(EmitterContext& context, StorageKind kind) {
    return kind == StorageKind::LocalMemory ? context.ResourceManager->LocalMemoryId
                                            : context.ResourceManager->SharedMemoryId;
}

int LocalCount(LsSize2 size) { return size == LsSize2::B64 ? 2 : size == LsSize2::B128 ? 4 : 1; }

// Word offset and bit offset of a byte address, in this order: IAdd,
// ShiftRightU32, BitwiseAnd, ShiftLeft.
struct ByteAddress {
    Operand* Address;
    Operand* WordOffset;
    Operand* BitOffset;
};

ByteAddress SplitAddress(EmitterContext& context, Operand* base, int32_t offset) {
    Operand* offsetConst = Const(context, offset);
    Operand* address = IAdd(context, base, offsetConst);
    Operand* two = Const(context, 2);
    Operand* wordOffset = ShiftRightU32(context, address, two);
    Operand* three = Const(context, 3);
    Operand* byteInWord = BitwiseAnd(context, address, three);
    Operand* threeAgain = Const(context, 3);
    Operand* bitOffset = ShiftLeft(context, byteInWord, threeAgain);
    return {address, wordOffset, bitOffset};
}

void EmitLoad(EmitterContext& context, StorageKind kind, LsSize2 size, Operand* srcA, int rd, int32_t offset) {
    if (static_cast<int32_t>(size) > 6) {
        Log(context, "Invalid load size: " + SizeName(size) + ".");
        return;
    }
    const int32_t id = MemoryId(context, kind);
    const int count = LocalCount(size);
    Operand* base = Copy(context, srcA);
    for (int i = 0; i < count; i++) {
        if (rd + i == RZ) break;
        const ByteAddress a = SplitAddress(context, base, offset + 4 * i);
        Operand* value = Load(context, kind, id, a.WordOffset);
        if (IsSmall(size)) value = ExtractSmallInt(context, size, a.BitOffset, value);
        Operand* dest = Reg(context, rd + i);
        Copy(context, dest, value);
    }
}

void EmitStore(EmitterContext& context, StorageKind kind, LsSize2 size, Operand* srcA, int rd, int32_t offset) {
    if (static_cast<int32_t>(size) > 6) {
        Log(context, "Invalid store size: " + SizeName(size) + ".");
        return;
    }
    const int32_t id = MemoryId(context, kind);
    const int count = LocalCount(size);
    Operand* base = Copy(context, srcA);
    for (int i = 0; i < count; i++) {
        Operand* value = Reg(context, rd + i >= RZ ? rd : rd + i);
        const ByteAddress a = SplitAddress(context, base, offset + 4 * i);
        if (kind == StorageKind::LocalMemory) {
            if (IsSmall(size)) {
                Operand* word = Load(context, StorageKind::LocalMemory, id, a.WordOffset);
                value = InsertSmallInt(context, size, a.BitOffset, word, value);
            }
            Store(context, StorageKind::LocalMemory, id, a.WordOffset, value);
        } else if (size == LsSize2::U8 || size == LsSize2::S8) {
            Store(context, StorageKind::SharedMemory8, id, a.Address, value);
        } else if (size == LsSize2::U16 || size == LsSize2::S16) {
            Store(context, StorageKind::SharedMemory16, id, a.Address, value);
        } else {
            Store(context, StorageKind::SharedMemory, id, a.WordOffset, value);
        }
    }
}

// The old memory word, or the constant 0 for a rejected combination.
Operand* EmitAtomicOp(EmitterContext& context, StorageKind kind, AtomOp op, AtomSize size, Operand* e0, Operand* e1,
                      Operand* value) {
    using Builder = Operand* (*)(EmitterContext&, StorageKind, Operand*, Operand*, Operand*);
    const bool is32 = size == AtomSize::U32 || size == AtomSize::S32;
    Builder builder = nullptr;
    switch (op) {
    case AtomOp::Add:
        builder = &AtomicAdd;
        break;
    case AtomOp::Min:
        builder = size == AtomSize::S32 ? static_cast<Builder>(&AtomicMinS32) : static_cast<Builder>(&AtomicMinU32);
        break;
    case AtomOp::Max:
        builder = size == AtomSize::S32 ? static_cast<Builder>(&AtomicMaxS32) : static_cast<Builder>(&AtomicMaxU32);
        break;
    case AtomOp::And:
        builder = &AtomicAnd;
        break;
    case AtomOp::Or:
        builder = &AtomicOr;
        break;
    case AtomOp::Xor:
        builder = &AtomicXor;
        break;
    case AtomOp::Exch:
        builder = &AtomicSwap;
        break;
    default:
        Log(context, "Invalid atomic operation: " + AtomOpName(op) + ".");
        return Const(context, 0);
    }
    if (!is32) {
        Log(context, "Invalid reduction type: " + AtomSizeName(size) + ".");
        return Const(context, 0);
    }
    return builder(context, kind, e0, e1, value);
}

// The new value of a compare-and-swap: the register after the compare value.
// Past RZ it reads 0, as RZ itself does, so an RZ pair compares and swaps 0.
Operand* CasNewValue(EmitterContext& context, int rb) { return Reg(context, rb >= RZ ? RZ : rb + 1); }

// Shared memory exists only in compute shaders; elsewhere the instruction is
// reported and dropped.
bool CheckComputeStage(EmitterContext& context, const char* name) {
    const ShaderStage stage = context.Definitions().Stage;
    if (stage == ShaderStage::Compute) return true;
    Log(context, std::string(name) + " instruction is not valid on \"" + ShaderStageName(stage) + "\" stage.");
    return false;
}

Operand* EmitLoadConstant(EmitterContext& context, Operand* slot, Operand* offset) {
    Operand* two = Const(context, 2);
    Operand* vecIndex = ShiftRightU32(context, offset, two);
    Operand* three = Const(context, 3);
    Operand* elemIndex = BitwiseAnd(context, offset, three);
    if (slot->Type != IntermediateRepresentation::OperandType::Constant) {
        // A computed slot cannot name a binding; the load reads 0.
        return Const(context, 0);
    }
    const int32_t binding = context.ResourceManager->GetConstantBufferBinding(slot->Value);
    Operand* zero = Const(context, 0);
    return Load(context, StorageKind::ConstantBuffer, binding, zero, vecIndex, elemIndex);
}

} // namespace

void Ldc(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstLdc>();
    const LsSize2 size = op.LsSize();
    if (static_cast<int32_t>(size) > 5) {
        Log(context, "Invalid LDC size: " + SizeName(size) + ".");
        return;
    }
    const int count = size == LsSize2::B64 ? 2 : 1;
    Operand* slot = Const(context, op.Slot());
    Operand* srcA = Reg(context, op.Ra());
    if (op.AddressMode() == 2 || op.AddressMode() == 3) {
        Operand* sixteen = Const(context, 16);
        Operand* sixteenAgain = Const(context, 16);
        Operand* upper = BitfieldExtractU32(context, srcA, sixteen, sixteenAgain);
        slot = IAdd(context, slot, upper);
        Operand* lowMask = Const(context, 0xFFFF);
        srcA = BitwiseAnd(context, srcA, lowMask);
    }
    Operand* offsetConst = Const(context, op.Imm16());
    Operand* address = IAdd(context, srcA, offsetConst);
    Operand* two = Const(context, 2);
    Operand* wordOffset = ShiftRightU32(context, address, two);
    for (int i = 0; i < count; i++) {
        if (op.Rd() + i == RZ) break;
        Operand* index = Const(context, i);
        Operand* offset = IAdd(context, wordOffset, index);
        Operand* value = EmitLoadConstant(context, slot, offset);
        if (IsSmall(size)) {
            Operand* three = Const(context, 3);
            Operand* byteInWord = BitwiseAnd(context, address, three);
            Operand* threeAgain = Const(context, 3);
            Operand* bitOffset = ShiftLeft(context, byteInWord, threeAgain);
            value = ExtractSmallInt(context, size, bitOffset, value);
        }
        Operand* dest = Reg(context, op.Rd() + i);
        Copy(context, dest, value);
    }
}

void Ldg(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstLdg>();
    EmitLdg(context, op.LsSize(), op.Ra(), op.Rd(), op.Imm24(), op.E());
}

void Stg(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstStg>();
    EmitStg(context, op.LsSize(), op.Ra(), op.Rd(), op.Imm24(), op.E());
}

void Ldl(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstLdl>();
    Operand* srcA = Reg(context, op.Ra());
    EmitLoad(context, StorageKind::LocalMemory, op.LsSize(), srcA, op.Rd(), op.Imm24());
}

void Lds(EmitterContext& context) {
    if (!CheckComputeStage(context, "Lds")) return;
    const auto op = context.GetOp<Decoders::InstLds>();
    Operand* srcA = Reg(context, op.Ra());
    EmitLoad(context, StorageKind::SharedMemory, op.LsSize(), srcA, op.Rd(), op.Imm24());
}

void Stl(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstStl>();
    Operand* srcA = Reg(context, op.Ra());
    EmitStore(context, StorageKind::LocalMemory, op.LsSize(), srcA, op.Rd(), op.Imm24());
}

void Sts(EmitterContext& context) {
    if (!CheckComputeStage(context, "Sts")) return;
    const auto op = context.GetOp<Decoders::InstSts>();
    Operand* srcA = Reg(context, op.Ra());
    EmitStore(context, StorageKind::SharedMemory, op.LsSize(), srcA, op.Rd(), op.Imm24());
}

void Atom(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstAtom>();
    auto [low, high] = Get40BitsAddress(context, op.Ra(), op.E(), op.Imm20());
    Operand* value = Reg(context, op.Rb());
    Operand* result = EmitAtomicOp(context, StorageKind::GlobalMemory, op.Op(), op.Size(), low, high, value);
    Operand* dest = Reg(context, op.Rd());
    Copy(context, dest, result);
}

void Atoms(EmitterContext& context) {
    if (!CheckComputeStage(context, "Atoms")) return;
    const auto op = context.GetOp<Decoders::InstAtoms>();
    static constexpr AtomSize sizes[] = {AtomSize::U32, AtomSize::S32, AtomSize::U64, AtomSize::S64};
    const AtomSize size = sizes[op.AtomsSize() & 3];
    Operand* address = Reg(context, op.Ra());
    Operand* two = Const(context, 2);
    Operand* word = ShiftRightU32(context, address, two);
    Operand* offsetConst = Const(context, op.Imm22());
    Operand* wordOffset = IAdd(context, word, offsetConst);
    Operand* id = Const(context, context.ResourceManager->SharedMemoryId);
    Operand* value = Reg(context, op.Rb());
    Operand* result = EmitAtomicOp(context, StorageKind::SharedMemory, op.Op(), size, id, wordOffset, value);
    Operand* dest = Reg(context, op.Rd());
    Copy(context, dest, result);
}

// The IR's atomics move 32-bit words: a 64-bit compare-and-swap is rejected
// like the 64-bit sizes of the other atomics, and Rd receives 0.
void AtomCas(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstAtomCas>();
    auto [low, high] = Get40BitsAddress(context, op.Ra(), op.E(), op.Imm20());
    Operand* result;
    if (op.B64()) {
        Log(context, "Invalid reduction type: B64.");
        result = Const(context, 0);
    } else {
        Operand* compare = Reg(context, op.Rb());
        Operand* value = CasNewValue(context, op.Rb());
        Operand* old = OH::MakeLocal(context.Arena());
        result = context.Add(IntermediateRepresentation::Instruction::AtomicCompareAndSwap, StorageKind::GlobalMemory,
                             old, {low, high, compare, value});
    }
    Operand* dest = Reg(context, op.Rd());
    Copy(context, dest, result);
}

// Only the CAS mode is the compare-and-swap that returns the old word; the
// CAST modes are rejected as unknown operations.
void AtomsCas(EmitterContext& context) {
    if (!CheckComputeStage(context, "AtomsCas")) return;
    const auto op = context.GetOp<Decoders::InstAtomsCas>();
    Operand* address = Reg(context, op.Ra());
    Operand* two = Const(context, 2);
    Operand* word = ShiftRightU32(context, address, two);
    Operand* offsetConst = Const(context, op.Imm22());
    Operand* wordOffset = IAdd(context, word, offsetConst);
    Operand* result;
    if (op.Mode() != Decoders::AtomsCasMode::Cas) {
        static constexpr std::string_view modes[] = {"Cast", "CastSpin", "Cas", "3"};
        Log(context, "Invalid atomic operation: " + std::string(modes[static_cast<int32_t>(op.Mode()) & 3]) + ".");
        result = Const(context, 0);
    } else if (op.B64()) {
        Log(context, "Invalid reduction type: B64.");
        result = Const(context, 0);
    } else {
        Operand* compare = Reg(context, op.Rb());
        Operand* value = CasNewValue(context, op.Rb());
        result = AtomicCompareAndSwap(context, StorageKind::SharedMemory, context.ResourceManager->SharedMemoryId,
                                      wordOffset, compare, value);
    }
    Operand* dest = Reg(context, op.Rd());
    Copy(context, dest, result);
}

void Red(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstRed>();
    auto [low, high] = Get40BitsAddress(context, op.Ra(), op.E(), op.Imm20());
    Operand* value = Reg(context, op.Rd());
    EmitAtomicOp(context, StorageKind::GlobalMemory, op.RedOp(), op.Size(), low, high, value);
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
