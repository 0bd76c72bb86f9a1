#pragma once
#include <cstdint>
#include <string_view>

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

// IR operation: the code sits in the low 16 bits, the float precision flags
// above it. A code shared by integer and float forms is the signed 32-bit
// integer operation when neither FP32 nor FP64 is set.
enum class Instruction : uint32_t {
    None = 0,
    Absolute = 1,
    Add = 2,
    AtomicAdd = 3,
    AtomicAnd = 4,
    AtomicCompareAndSwap = 5,
    AtomicMinS32 = 6,
    AtomicMinU32 = 7,
    AtomicMaxS32 = 8,
    AtomicMaxU32 = 9,
    AtomicOr = 10,
    AtomicSwap = 11,
    AtomicXor = 12,
    Ballot = 13,
    Barrier = 14,
    BitCount = 15,
    BitfieldExtractS32 = 16,
    BitfieldExtractU32 = 17,
    BitfieldInsert = 18,
    BitfieldReverse = 19,
    BitwiseAnd = 20,
    BitwiseExclusiveOr = 21,
    BitwiseNot = 22,
    BitwiseOr = 23,
    Branch = 24,
    BranchIfFalse = 25,
    BranchIfTrue = 26,
    Call = 27,
    Ceiling = 28,
    Clamp = 29,
    ClampU32 = 30,
    Comment = 31,
    CompareEqual = 32,
    CompareGreater = 33,
    CompareGreaterOrEqual = 34,
    CompareGreaterOrEqualU32 = 35,
    CompareGreaterU32 = 36,
    CompareLess = 37,
    CompareLessOrEqual = 38,
    CompareLessOrEqualU32 = 39,
    CompareLessU32 = 40,
    CompareNotEqual = 41,
    ConditionalSelect = 42,
    ConvertFP32ToFP64 = 43,
    ConvertFP64ToFP32 = 44,
    ConvertFP32ToS32 = 45,
    ConvertFP32ToU32 = 46,
    ConvertFP64ToS32 = 47,
    ConvertFP64ToU32 = 48,
    ConvertS32ToFP32 = 49,
    ConvertS32ToFP64 = 50,
    ConvertU32ToFP32 = 51,
    ConvertU32ToFP64 = 52,
    Copy = 53,
    Cosine = 54,
    Ddx = 55,
    Ddy = 56,
    Discard = 57,
    Divide = 58,
    EmitVertex = 59,
    EndPrimitive = 60,
    ExponentB2 = 61,
    FSIBegin = 62,
    FSIEnd = 63,
    FindLSB = 64,
    FindMSBS32 = 65,
    FindMSBU32 = 66,
    Floor = 67,
    FusedMultiplyAdd = 68,
    GroupMemoryBarrier = 69,
    ImageLoad = 70,
    ImageStore = 71,
    ImageAtomic = 72,
    IsNan = 73,
    Load = 74,
    Lod = 75,
    LogarithmB2 = 76,
    LogicalAnd = 77,
    LogicalExclusiveOr = 78,
    LogicalNot = 79,
    LogicalOr = 80,
    LoopBreak = 81,
    LoopContinue = 82,
    MarkLabel = 83,
    Maximum = 84,
    MaximumU32 = 85,
    MemoryBarrier = 86,
    Minimum = 87,
    MinimumU32 = 88,
    Modulo = 89,
    Multiply = 90,
    MultiplyHighS32 = 91,
    MultiplyHighU32 = 92,
    Negate = 93,
    PackDouble2x32 = 94,
    PackHalf2x16 = 95,
    ReciprocalSquareRoot = 96,
    Return = 97,
    Round = 98,
    ShiftLeft = 99,
    ShiftRightS32 = 100,
    ShiftRightU32 = 101,
    Shuffle = 102,
    ShuffleDown = 103,
    ShuffleUp = 104,
    ShuffleXor = 105,
    Sine = 106,
    SquareRoot = 107,
    Store = 108,
    Subtract = 109,
    SwizzleAdd = 110,
    TextureSample = 111,
    TextureQuerySamples = 112,
    TextureQuerySize = 113,
    Truncate = 114,
    UnpackDouble2x32 = 115,
    UnpackHalf2x16 = 116,
    VectorExtract = 117,
    VoteAll = 118,
    VoteAllEqual = 119,
    VoteAny = 120,

    Count = 121,
    Mask = 0xFFFF,

    FP32 = 0x10000,
    FP64 = 0x20000,
};

constexpr Instruction operator|(Instruction a, Instruction b) {
    return static_cast<Instruction>(static_cast<uint32_t>(a) | static_cast<uint32_t>(b));
}
constexpr Instruction operator&(Instruction a, Instruction b) {
    return static_cast<Instruction>(static_cast<uint32_t>(a) & static_cast<uint32_t>(b));
}
constexpr Instruction operator~(Instruction a) { return static_cast<Instruction>(~static_cast<uint32_t>(a)); }
constexpr Instruction& operator|=(Instruction& a, Instruction b) { return a = a | b; }
constexpr Instruction& operator&=(Instruction& a, Instruction b) { return a = a & b; }

// The operation code without precision flags; index for every per-instruction table.
constexpr Instruction InstCode(Instruction inst) { return inst & Instruction::Mask; }
constexpr uint32_t InstIndex(Instruction inst) { return static_cast<uint32_t>(inst) & 0xFFFFu; }

// Member name of an operation code ("Add", "None" for 0); the precision flags
// are ignored. Codes above 120 give empty text.
std::string_view InstructionName(Instruction inst);

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
