#include "Zerivox.Graphics.Shader/Translation/HelperFunctionManager.h"

#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Function.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/SupportBuffer.h"
#include "Zerivox.Graphics.Shader/Translation/ControlFlowGraph.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"

namespace Zerivox::Graphics::Shader::Translation {

using namespace EmitterContextInsts;
using IntermediateRepresentation::IrArena;
using IntermediateRepresentation::OperandHelper::MakeArgument;
using IntermediateRepresentation::OperandHelper::MakeConstant;
using IntermediateRepresentation::OperandHelper::MakeFloatConstant;
using IntermediateRepresentation::OperandHelper::MakeLabel;

const char* HelperFunctionNameText(HelperFunctionName name) noexcept {
    static constexpr const char* Names[] = {
        "Invalid",
        "ConvertDoubleToFloat",
        "ConvertFloatToDouble",
        "SharedAtomicMaxS32",
        "SharedAtomicMinS32",
        "SharedStore8",
        "SharedStore16",
        "Shuffle",
        "ShuffleDown",
        "ShuffleUp",
        "ShuffleXor",
        "TexelFetchScale",
        "TextureSizeUnscale",
    };
    auto index = static_cast<std::size_t>(static_cast<uint32_t>(name));
    return index < std::size(Names) ? Names[index] : "Unknown";
}

namespace {

[[noreturn]] void ThrowInvalidName(HelperFunctionName name) {
    auto index = static_cast<uint32_t>(name);
    std::string text = index <= static_cast<uint32_t>(HelperFunctionName::TextureSizeUnscale)
                           ? HelperFunctionNameText(name)
                           : std::to_string(static_cast<int32_t>(name));
    throw Common::ArgumentException("Invalid function name " + text);
}

void ReturnNothing(EmitterContext& context) { context.Add(IntermediateRepresentation::Instruction::Return); }

} // namespace

HelperFunctionManager::HelperFunctionManager(IrArena& arena, std::vector<Function*>& functions, ShaderStage stage)
    : _arena(&arena), _functions(&functions), _stage(stage) {}

int32_t HelperFunctionManager::AddFunction(int32_t key, Function* function) {
    auto id = static_cast<int32_t>(_functions->size());
    _functions->push_back(function);
    _functionIds.Set(key, id);
    return id;
}

int32_t HelperFunctionManager::GetOrCreateFunctionId(HelperFunctionName functionName) {
    auto key = static_cast<int32_t>(functionName);
    if (const int32_t* id = _functionIds.Find(key)) {
        return *id;
    }
    Function* function = GenerateFunction(functionName);
    return AddFunction(key, function);
}

int32_t HelperFunctionManager::GetOrCreateFunctionId(HelperFunctionName functionName, int32_t id) {
    auto key = static_cast<int32_t>(static_cast<uint32_t>(functionName) | (static_cast<uint32_t>(id) << 16));
    if (const int32_t* existing = _functionIds.Find(key)) {
        return *existing;
    }
    Function* function = GenerateFunction(functionName, id);
    return AddFunction(key, function);
}

int32_t HelperFunctionManager::GetOrCreateShuffleFunctionId(HelperFunctionName functionName, int32_t subgroupSize) {
    auto key = static_cast<int32_t>(functionName);
    if (const int32_t* id = _functionIds.Find(key)) {
        return *id;
    }
    Function* function = GenerateShuffleFunction(functionName, subgroupSize);
    return AddFunction(key, function);
}

HelperFunctionManager::Function* HelperFunctionManager::GenerateFunction(HelperFunctionName functionName) {
    switch (functionName) {
    case HelperFunctionName::ConvertDoubleToFloat:
        return GenerateConvertDoubleToFloatFunction();
    case HelperFunctionName::ConvertFloatToDouble:
        return GenerateConvertFloatToDoubleFunction();
    case HelperFunctionName::TexelFetchScale:
        return GenerateTexelFetchScaleFunction();
    case HelperFunctionName::TextureSizeUnscale:
        return GenerateTextureSizeUnscaleFunction();
    default:
        ThrowInvalidName(functionName);
    }
}

HelperFunctionManager::Function* HelperFunctionManager::GenerateFunction(HelperFunctionName functionName, int32_t id) {
    switch (functionName) {
    case HelperFunctionName::SharedAtomicMaxS32:
        return GenerateSharedAtomicSigned(id, false);
    case HelperFunctionName::SharedAtomicMinS32:
        return GenerateSharedAtomicSigned(id, true);
    case HelperFunctionName::SharedStore8:
        return GenerateSharedStore(id, 8);
    case HelperFunctionName::SharedStore16:
        return GenerateSharedStore(id, 16);
    default:
        ThrowInvalidName(functionName);
    }
}

HelperFunctionManager::Function* HelperFunctionManager::GenerateShuffleFunction(HelperFunctionName functionName,
                                                                                int32_t subgroupSize) {
    switch (functionName) {
    case HelperFunctionName::Shuffle:
    case HelperFunctionName::ShuffleDown:
    case HelperFunctionName::ShuffleUp:
    case HelperFunctionName::ShuffleXor:
        return GenerateShuffle(functionName, subgroupSize);
    default:
        ThrowInvalidName(functionName);
    }
}

HelperFunctionManager::Function* HelperFunctionManager::MakeFunction(EmitterContext& context, const char* name,
                                                                     bool returnsValue, int inArgumentsCount,
                                                                     int outArgumentsCount) {
    ControlFlowGraph cfg = ControlFlowGraph::Create(*_arena, context.Operations);
    return _arena->NewFunction(cfg.Blocks, name, returnsValue, inArgumentsCount, outArgumentsCount);
}

// Exact binary64 -> binary32 conversion with round-to-nearest-even, done on
// the two 32-bit words of the double because the host has no 64-bit floats.
// Covers normal and subnormal results, overflow to infinity, underflow to a
// signed zero, infinities and NaNs (quieted, keeping the top payload bits) -
// the same results as an IEEE host conversion.
HelperFunctionManager::Function* HelperFunctionManager::GenerateConvertDoubleToFloatFunction() {
    IrArena& arena = *_arena;
    EmitterContext context(arena);
    Operand* low = MakeArgument(arena, 0);
    Operand* high = MakeArgument(arena, 1);

    // Sign, 11-bit exponent and the 30 highest fraction bits, with every
    // lower bit folded into a sticky bit 0 so rounding still sees it.
    Operand* sign = BitwiseAnd(context, high, MakeConstant(arena, static_cast<int32_t>(0x80000000u)));
    Operand* expShifted = ShiftRightU32(context, high, MakeConstant(arena, 20));
    Operand* exp = BitwiseAnd(context, expShifted, MakeConstant(arena, 0x7FF));
    Operand* fracHigh = BitwiseAnd(context, high, MakeConstant(arena, 0xFFFFF));
    Operand* fracHighAligned = ShiftLeft(context, fracHigh, MakeConstant(arena, 10));
    Operand* fracLowTop = ShiftRightU32(context, low, MakeConstant(arena, 22));
    Operand* frac30 = BitwiseOr(context, fracHighAligned, fracLowTop);
    Operand* lowRest = BitwiseAnd(context, low, MakeConstant(arena, 0x3FFFFF));
    Operand* hasLowRest = ICompareNotEqual(context, lowRest, MakeConstant(arena, 0));
    Operand* sticky = ConditionalSelect(context, hasLowRest, MakeConstant(arena, 1), MakeConstant(arena, 0));
    Operand* fracSticky = BitwiseOr(context, frac30, sticky);
    // Significand with its leading one at bit 30: value = m * 2^(exp - 1053).
    Operand* m = BitwiseOr(context, fracSticky, MakeConstant(arena, 0x40000000));

    // Biased float exponent. Normal results drop 7 bits; subnormal ones drop
    // 1 - e more, and keep an exponent field of 0.
    Operand* e = ISubtract(context, exp, MakeConstant(arena, 896));
    Operand* underBy = ISubtract(context, MakeConstant(arena, 1), e);
    Operand* extraShift = IMaximumS32(context, underBy, MakeConstant(arena, 0));
    Operand* shift = IAdd(context, extraShift, MakeConstant(arena, 7));
    Operand* tooSmall = ICompareGreater(context, shift, MakeConstant(arena, 31));
    Operand* shiftClamped = IMinimumS32(context, shift, MakeConstant(arena, 31));

    // Round to nearest, ties to even: compare the dropped bits with one half.
    Operand* r = ShiftRightU32(context, m, shiftClamped);
    Operand* kept = ShiftLeft(context, r, shiftClamped);
    Operand* dropped = ISubtract(context, m, kept);
    Operand* halfShift = ISubtract(context, shiftClamped, MakeConstant(arena, 1));
    Operand* half = ShiftLeft(context, MakeConstant(arena, 1), halfShift);
    Operand* aboveHalf = ICompareGreaterUnsigned(context, dropped, half);
    Operand* atHalf = ICompareEqual(context, dropped, half);
    Operand* rOdd = BitwiseAnd(context, r, MakeConstant(arena, 1));
    Operand* isOdd = ICompareNotEqual(context, rOdd, MakeConstant(arena, 0));
    Operand* tieToOdd = BitwiseAnd(context, atHalf, isOdd);
    Operand* roundUp = BitwiseOr(context, aboveHalf, tieToOdd);
    Operand* increment = ConditionalSelect(context, roundUp, MakeConstant(arena, 1), MakeConstant(arena, 0));
    Operand* rounded = IAdd(context, r, increment);

    // The leading one (bit 23) adds one to the exponent field, and a
    // rounding carry out of the significand moves on into it; a subnormal
    // that rounds up to 2^23 so becomes the smallest normal, and the largest
    // finite values round up to infinity.
    Operand* eMinusOne = ISubtract(context, e, MakeConstant(arena, 1));
    Operand* expField = IMaximumS32(context, eMinusOne, MakeConstant(arena, 0));
    Operand* expBits = ShiftLeft(context, expField, MakeConstant(arena, 23));
    Operand* magnitude = IAdd(context, expBits, rounded);
    Operand* finite = BitwiseOr(context, magnitude, sign);

    Operand* overflow = ICompareGreater(context, e, MakeConstant(arena, 254));
    Operand* infinity = BitwiseOr(context, sign, MakeConstant(arena, 0x7F800000));
    Operand* notTooBig = ConditionalSelect(context, overflow, infinity, finite);
    Operand* result = ConditionalSelect(context, tooSmall, sign, notTooBig);

    // Infinity keeps its sign; a NaN is quieted and keeps its 22 highest
    // payload bits.
    Operand* fracLowOr = BitwiseOr(context, fracHigh, low);
    Operand* isNan = ICompareNotEqual(context, fracLowOr, MakeConstant(arena, 0));
    Operand* payloadHigh = ShiftLeft(context, fracHigh, MakeConstant(arena, 3));
    Operand* payloadLow = ShiftRightU32(context, low, MakeConstant(arena, 29));
    Operand* payload = BitwiseOr(context, payloadHigh, payloadLow);
    Operand* quietPayload = BitwiseOr(context, payload, MakeConstant(arena, 0x400000));
    Operand* nanBits = ConditionalSelect(context, isNan, quietPayload, MakeConstant(arena, 0));
    Operand* special = BitwiseOr(context, infinity, nanBits);
    Operand* isSpecial = ICompareEqual(context, exp, MakeConstant(arena, 0x7FF));
    Operand* value = ConditionalSelect(context, isSpecial, special, result);

    Return(context, value);
    return MakeFunction(context, "ConvertDoubleToFloat", true, 2, 0);
}

// Exact binary32 -> binary64 conversion (every float is a double): normal
// values rebias the exponent, subnormal ones are normalised, zeros keep their
// sign, infinities stay infinite and NaNs are quieted keeping their payload.
HelperFunctionManager::Function* HelperFunctionManager::GenerateConvertFloatToDoubleFunction() {
    IrArena& arena = *_arena;
    EmitterContext context(arena);
    Operand* value = MakeArgument(arena, 0);
    Operand* outLow = MakeArgument(arena, 1);
    Operand* outHigh = MakeArgument(arena, 2);

    Operand* sign = BitwiseAnd(context, value, MakeConstant(arena, static_cast<int32_t>(0x80000000u)));
    Operand* expShifted = ShiftRightU32(context, value, MakeConstant(arena, 23));
    Operand* exp = BitwiseAnd(context, expShifted, MakeConstant(arena, 0xFF));
    Operand* frac = BitwiseAnd(context, value, MakeConstant(arena, 0x7FFFFF));

    // Subnormal: move the highest set bit to the implicit position (bit 23,
    // then masked off) and lower the exponent to match.
    Operand* msb = FindMSBU32(context, frac);
    Operand* normShift = ISubtract(context, MakeConstant(arena, 23), msb);
    Operand* normShiftClamped = IMinimumS32(context, normShift, MakeConstant(arena, 23));
    Operand* shiftedFrac = ShiftLeft(context, frac, normShiftClamped);
    Operand* normFrac = BitwiseAnd(context, shiftedFrac, MakeConstant(arena, 0x7FFFFF));
    Operand* denormalExp = IAdd(context, msb, MakeConstant(arena, 874));
    Operand* normalExp = IAdd(context, exp, MakeConstant(arena, 896));

    Operand* expIsZero = ICompareEqual(context, exp, MakeConstant(arena, 0));
    Operand* fracIsZero = ICompareEqual(context, frac, MakeConstant(arena, 0));
    Operand* expIsMax = ICompareEqual(context, exp, MakeConstant(arena, 0xFF));
    Operand* isZero = BitwiseAnd(context, expIsZero, fracIsZero);
    Operand* fracNotZero = ICompareNotEqual(context, frac, MakeConstant(arena, 0));
    Operand* isNan = BitwiseAnd(context, expIsMax, fracNotZero);

    Operand* finiteExp = ConditionalSelect(context, expIsZero, denormalExp, normalExp);
    Operand* nonZeroExp = ConditionalSelect(context, expIsMax, MakeConstant(arena, 0x7FF), finiteExp);
    Operand* expD = ConditionalSelect(context, isZero, MakeConstant(arena, 0), nonZeroExp);
    Operand* fracD = ConditionalSelect(context, expIsZero, normFrac, frac);
    Operand* quietBit = ConditionalSelect(context, isNan, MakeConstant(arena, 0x80000), MakeConstant(arena, 0));

    Operand* lowWord = ShiftLeft(context, fracD, MakeConstant(arena, 29));
    Operand* fracTop = ShiftRightU32(context, fracD, MakeConstant(arena, 3));
    Operand* expBits = ShiftLeft(context, expD, MakeConstant(arena, 20));
    Operand* highMagnitude = BitwiseOr(context, fracTop, expBits);
    Operand* highQuiet = BitwiseOr(context, highMagnitude, quietBit);
    Operand* highWord = BitwiseOr(context, highQuiet, sign);

    Copy(context, outLow, lowWord);
    Copy(context, outHigh, highWord);
    ReturnNothing(context);
    return MakeFunction(context, "ConvertFloatToDouble", false, 1, 2);
}

namespace {

// Compare-and-swap loop on one word of shared memory `memoryId`: retried
// until no other invocation changed the word in between. Gives the word's
// value before this invocation's update.
template <typename Operation>
IntermediateRepresentation::Operand* GenerateSharedAtomicCasLoop(EmitterContext& context,
                                                                 IntermediateRepresentation::Operand* wordOffset,
                                                                 int32_t memoryId, Operation operation) {
    IrArena& arena = context.Arena();
    IntermediateRepresentation::Operand* loop = MakeLabel(arena);
    context.MarkLabel(loop);
    IntermediateRepresentation::Operand* oldValue = Load(context, StorageKind::SharedMemory, memoryId, wordOffset);
    IntermediateRepresentation::Operand* newValue = operation(oldValue);
    IntermediateRepresentation::Operand* result =
        AtomicCompareAndSwap(context, StorageKind::SharedMemory, memoryId, wordOffset, oldValue, newValue);
    IntermediateRepresentation::Operand* failed = ICompareNotEqual(context, result, oldValue);
    BranchIfTrue(context, loop, failed);
    return oldValue;
}

} // namespace

HelperFunctionManager::Function* HelperFunctionManager::GenerateSharedAtomicSigned(int32_t id, bool isMin) {
    IrArena& arena = *_arena;
    EmitterContext context(arena);
    Operand* wordOffset = MakeArgument(arena, 0);
    Operand* value = MakeArgument(arena, 1);

    Operand* result = GenerateSharedAtomicCasLoop(context, wordOffset, id, [&](Operand* memValue) {
        return isMin ? IMinimumS32(context, memValue, value) : IMaximumS32(context, memValue, value);
    });
    Return(context, result);

    std::string name = std::string(isMin ? "SharedAtomicMin" : "SharedAtomicMax") + "_" + std::to_string(id);
    return MakeFunction(context, name.c_str(), true, 2, 0);
}

HelperFunctionManager::Function* HelperFunctionManager::GenerateSharedStore(int32_t id, int32_t bitSize) {
    IrArena& arena = *_arena;
    EmitterContext context(arena);
    Operand* offset = MakeArgument(arena, 0);
    Operand* value = MakeArgument(arena, 1);

    Operand* wordOffset = ShiftRightU32(context, offset, MakeConstant(arena, 2));
    Operand* bitOffset = GetBitOffset(context, offset);
    GenerateSharedAtomicCasLoop(context, wordOffset, id, [&](Operand* memValue) {
        return BitfieldInsert(context, memValue, value, bitOffset, MakeConstant(arena, bitSize));
    });
    ReturnNothing(context);

    std::string name = "SharedStore" + std::to_string(bitSize) + "_" + std::to_string(id);
    return MakeFunction(context, name.c_str(), false, 2, 0);
}

IntermediateRepresentation::Operand* HelperFunctionManager::GetBitOffset(EmitterContext& context, Operand* byteOffset) {
    IrArena& arena = context.Arena();
    Operand* byteInWord = BitwiseAnd(context, byteOffset, MakeConstant(arena, 3));
    return ShiftLeft(context, byteInWord, MakeConstant(arena, 3));
}

namespace {

IntermediateRepresentation::Operand* GenerateLoadSubgroupLaneId(EmitterContext& context, int32_t subgroupSize) {
    IrArena& arena = context.Arena();
    IntermediateRepresentation::Operand* laneId =
        Load(context, StorageKind::Input, static_cast<int>(IoVariable::SubgroupLaneId));
    if (subgroupSize <= 32) {
        return laneId;
    }
    return BitwiseAnd(context, laneId, MakeConstant(arena, 0x1F));
}

// A 32-lane guest warp stays within its own 32 lanes of a wider host subgroup.
IntermediateRepresentation::Operand* GenerateSubgroupShuffleIndex(EmitterContext& context,
                                                                  IntermediateRepresentation::Operand* srcIndex,
                                                                  int32_t subgroupSize) {
    if (subgroupSize <= 32) {
        return srcIndex;
    }
    IrArena& arena = context.Arena();
    IntermediateRepresentation::Operand* laneId =
        Load(context, StorageKind::Input, static_cast<int>(IoVariable::SubgroupLaneId));
    IntermediateRepresentation::Operand* warpBase = BitwiseAnd(context, laneId, MakeConstant(arena, 0x60));
    return BitwiseOr(context, warpBase, srcIndex);
}

} // namespace

HelperFunctionManager::Function* HelperFunctionManager::GenerateShuffle(HelperFunctionName functionName,
                                                                        int32_t subgroupSize) {
    IrArena& arena = *_arena;
    EmitterContext context(arena);
    Operand* value = MakeArgument(arena, 0);
    Operand* index = MakeArgument(arena, 1);
    Operand* mask = MakeArgument(arena, 2);
    Operand* validOut = MakeArgument(arena, 3);

    Operand* clamp = BitwiseAnd(context, mask, MakeConstant(arena, 0x1F));
    Operand* segMaskShifted = ShiftRightU32(context, mask, MakeConstant(arena, 8));
    Operand* segMask = BitwiseAnd(context, segMaskShifted, MakeConstant(arena, 0x1F));
    Operand* laneId = GenerateLoadSubgroupLaneId(context, subgroupSize);
    Operand* notSegMask = BitwiseNot(context, segMask);
    Operand* clampNotSegMask = BitwiseAnd(context, clamp, notSegMask);
    Operand* minThreadId = BitwiseAnd(context, laneId, segMask);
    Operand* maxThreadId = BitwiseOr(context, clampNotSegMask, minThreadId);

    Operand* srcThreadId;
    Operand* valid;
    const char* name;
    switch (functionName) {
    case HelperFunctionName::Shuffle: {
        Operand* indexNotSegMask = BitwiseAnd(context, index, notSegMask);
        srcThreadId = BitwiseOr(context, indexNotSegMask, minThreadId);
        valid = ICompareLessOrEqualUnsigned(context, srcThreadId, maxThreadId);
        name = "Shuffle";
        break;
    }
    case HelperFunctionName::ShuffleDown:
        srcThreadId = IAdd(context, laneId, index);
        valid = ICompareLessOrEqualUnsigned(context, srcThreadId, maxThreadId);
        name = "ShuffleDown";
        break;
    case HelperFunctionName::ShuffleUp:
        srcThreadId = ISubtract(context, laneId, index);
        valid = ICompareGreaterOrEqual(context, srcThreadId, minThreadId);
        name = "ShuffleUp";
        break;
    default:
        srcThreadId = BitwiseExclusiveOr(context, laneId, index);
        valid = ICompareLessOrEqualUnsigned(context, srcThreadId, maxThreadId);
        name = "ShuffleXor";
        break;
    }

    Copy(context, validOut, valid);
    Operand* shuffleIndex = GenerateSubgroupShuffleIndex(context, srcThreadId, subgroupSize);
    Operand* shuffled = EmitterContextInsts::Shuffle(context, value, shuffleIndex);
    Operand* result = ConditionalSelect(context, valid, shuffled, value);
    Return(context, result);
    return MakeFunction(context, name, true, 3, 1);
}

IntermediateRepresentation::Operand* HelperFunctionManager::GetScaleIndex(EmitterContext& context, Operand* index) {
    IrArena& arena = context.Arena();
    Operand* scaleIndex = index;
    if (_stage == ShaderStage::Vertex) {
        // Vertex shaders come after the fragment shader's textures in the
        // render-scale table.
        Operand* fragScaleCount =
            Load(context, StorageKind::ConstantBuffer, 0, MakeConstant(arena, SupportBuffer::FieldFragScaleCount));
        scaleIndex = IAdd(context, index, fragScaleCount);
    }
    // Element 0 belongs to the fragment coordinate.
    return IAdd(context, scaleIndex, MakeConstant(arena, 1));
}

HelperFunctionManager::Function* HelperFunctionManager::GenerateTexelFetchScaleFunction() {
    IrArena& arena = *_arena;
    EmitterContext context(arena);
    Operand* input = MakeArgument(arena, 0);
    Operand* samplerIndex = MakeArgument(arena, 1);
    Operand* index = GetScaleIndex(context, samplerIndex);
    Operand* scale =
        Load(context, StorageKind::ConstantBuffer, 0, MakeConstant(arena, SupportBuffer::FieldRenderScale), index);

    Operand* scaleIsOne = FPCompareEqual(context, scale, MakeFloatConstant(arena, 1.0f));
    Operand* notOne = MakeLabel(arena);
    BranchIfFalse(context, notOne, scaleIsOne);
    Return(context, input);
    context.MarkLabel(notOne);

    const bool isFragment = _stage == ShaderStage::Fragment;
    if (isFragment) {
        // A negative scale marks a texture rendered at a scaled resolution
        // and read with unscaled coordinates: map the fragment's own pixel.
        Operand* scaleIsLessThanZero = FPCompareLess(context, scale, MakeFloatConstant(arena, 0.0f));
        Operand* notLessThanZero = MakeLabel(arena);
        BranchIfFalse(context, notLessThanZero, scaleIsLessThanZero);

        Operand* negScale = FPNegate(context, scale);
        Operand* inputAsFloat = IConvertS32ToFP32(context, input);
        Operand* inputScaled = FPMultiply(context, inputAsFloat, negScale);
        Operand* fragCoordY =
            Load(context, StorageKind::Input, static_cast<int>(IoVariable::FragmentCoord), MakeConstant(arena, 1));
        Operand* fragCoordX =
            Load(context, StorageKind::Input, static_cast<int>(IoVariable::FragmentCoord), MakeConstant(arena, 0));
        Operand* fragCoord = ConditionalSelect(context, MakeArgument(arena, 2), fragCoordY, fragCoordX);
        Operand* inputBias = FPModulo(context, fragCoord, negScale);
        Operand* inputWithBias = FPAdd(context, inputScaled, inputBias);
        Operand* biased = FP32ConvertToS32(context, inputWithBias);
        Return(context, biased);
        context.MarkLabel(notLessThanZero);
    }

    Operand* inputFloat = IConvertS32ToFP32(context, input);
    Operand* scaled = FPMultiply(context, inputFloat, scale);
    Operand* result = FP32ConvertToS32(context, scaled);
    Return(context, result);
    return MakeFunction(context, "TexelFetchScale", true, isFragment ? 3 : 2, 0);
}

HelperFunctionManager::Function* HelperFunctionManager::GenerateTextureSizeUnscaleFunction() {
    IrArena& arena = *_arena;
    EmitterContext context(arena);
    Operand* input = MakeArgument(arena, 0);
    Operand* samplerIndex = MakeArgument(arena, 1);
    Operand* index = GetScaleIndex(context, samplerIndex);
    Operand* loaded =
        Load(context, StorageKind::ConstantBuffer, 0, MakeConstant(arena, SupportBuffer::FieldRenderScale), index);
    Operand* scale = FPAbsolute(context, loaded);

    Operand* scaleIsOne = FPCompareEqual(context, scale, MakeFloatConstant(arena, 1.0f));
    Operand* notOne = MakeLabel(arena);
    BranchIfFalse(context, notOne, scaleIsOne);
    Return(context, input);
    context.MarkLabel(notOne);

    Operand* inputFloat = IConvertS32ToFP32(context, input);
    Operand* unscaled = FPDivide(context, inputFloat, scale);
    Operand* result = FP32ConvertToS32(context, unscaled);
    Return(context, result);
    return MakeFunction(context, "TextureSizeUnscale", true, 2, 0);
}

} // namespace Zerivox::Graphics::Shader::Translation
