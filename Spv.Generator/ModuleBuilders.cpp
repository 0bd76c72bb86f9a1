// The per-instruction builder methods of Module. Each creates one pooled
// instruction, takes its result id first (when it has one), adds the
// operands in the order SPIR-V defines them and places the instruction in
// its section.
#include <array>
#include <bit>
#include <iterator>

#include <spirv/unified1/GLSL.std.450.h>

#include "Spv.Generator/Module.h"

namespace Spv::Generator {

// ---- shared shapes ----------------------------------------------------------

Instruction* Module::Unary(Op opcode, Instruction* resultType, Instruction* operand) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(opcode, id, resultType);
    instruction->AddOperand(operand);
    return AddToFunctionDefinitions(instruction);
}

Instruction* Module::Binary(Op opcode, Instruction* resultType, Instruction* operand1, Instruction* operand2) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(opcode, id, resultType);
    instruction->AddOperand(operand1);
    instruction->AddOperand(operand2);
    return AddToFunctionDefinitions(instruction);
}

Instruction* Module::Ternary(Op opcode, Instruction* resultType, Instruction* operand1, Instruction* operand2,
                             Instruction* operand3) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(opcode, id, resultType);
    instruction->AddOperand(operand1);
    instruction->AddOperand(operand2);
    instruction->AddOperand(operand3);
    return AddToFunctionDefinitions(instruction);
}

Instruction* Module::Quaternary(Op opcode, Instruction* resultType, Instruction* operand1, Instruction* operand2,
                                Instruction* operand3, Instruction* operand4) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(opcode, id, resultType);
    instruction->AddOperand(operand1);
    instruction->AddOperand(operand2);
    instruction->AddOperand(operand3);
    instruction->AddOperand(operand4);
    return AddToFunctionDefinitions(instruction);
}

Instruction* Module::NoResult(Op opcode) { return AddToFunctionDefinitions(NewInstruction(opcode)); }

// ---- debug and annotations --------------------------------------------------

Instruction* Module::Name(Instruction* target, std::string_view name) {
    Instruction* instruction = NewInstruction(Op::OpName);
    instruction->AddOperand(target);
    instruction->AddOperand(NewString(name));
    _debug.push_back(instruction);
    return instruction;
}

Instruction* Module::MemberName(Instruction* type, LiteralInteger* member, std::string_view name) {
    Instruction* instruction = NewInstruction(Op::OpMemberName);
    instruction->AddOperand(type);
    instruction->AddOperand(member);
    instruction->AddOperand(NewString(name));
    _debug.push_back(instruction);
    return instruction;
}

Instruction* Module::Decorate(Instruction* target, Decoration decoration) {
    Instruction* instruction = NewInstruction(Op::OpDecorate);
    instruction->AddOperand(target);
    instruction->AddOperand(LiteralInteger::FromEnum(decoration));
    _annotations.push_back(instruction);
    return instruction;
}

Instruction* Module::Decorate(Instruction* target, Decoration decoration, IOperand* parameter) {
    Instruction* instruction = Decorate(target, decoration);
    instruction->AddOperand(parameter);
    return instruction;
}

Instruction* Module::MemberDecorate(Instruction* type, LiteralInteger* member, Decoration decoration) {
    Instruction* instruction = NewInstruction(Op::OpMemberDecorate);
    instruction->AddOperand(type);
    instruction->AddOperand(member);
    instruction->AddOperand(LiteralInteger::FromEnum(decoration));
    _annotations.push_back(instruction);
    return instruction;
}

Instruction* Module::MemberDecorate(Instruction* type, LiteralInteger* member, Decoration decoration,
                                    IOperand* parameter) {
    Instruction* instruction = MemberDecorate(type, member, decoration);
    instruction->AddOperand(parameter);
    return instruction;
}

// ---- types ------------------------------------------------------------------

Instruction* Module::TypeVoid() {
    Instruction* instruction = NewInstruction(Op::OpTypeVoid);
    AddTypeDeclaration(instruction, false);
    return instruction;
}

Instruction* Module::TypeBool() {
    Instruction* instruction = NewInstruction(Op::OpTypeBool);
    AddTypeDeclaration(instruction, false);
    return instruction;
}

Instruction* Module::TypeSampler() {
    Instruction* instruction = NewInstruction(Op::OpTypeSampler);
    AddTypeDeclaration(instruction, false);
    return instruction;
}

Instruction* Module::TypeInt(LiteralInteger* width, LiteralInteger* signedness, bool forceIdAllocation) {
    Instruction* instruction = NewInstruction(Op::OpTypeInt);
    instruction->AddOperand(width);
    instruction->AddOperand(signedness);
    AddTypeDeclaration(instruction, forceIdAllocation);
    return instruction;
}

Instruction* Module::TypeFloat(LiteralInteger* width, bool forceIdAllocation) {
    Instruction* instruction = NewInstruction(Op::OpTypeFloat);
    instruction->AddOperand(width);
    AddTypeDeclaration(instruction, forceIdAllocation);
    return instruction;
}

Instruction* Module::TypeVector(Instruction* componentType, LiteralInteger* componentCount,
                                bool forceIdAllocation) {
    Instruction* instruction = NewInstruction(Op::OpTypeVector);
    instruction->AddOperand(componentType);
    instruction->AddOperand(componentCount);
    AddTypeDeclaration(instruction, forceIdAllocation);
    return instruction;
}

Instruction* Module::TypeImage(Instruction* sampledType, Dim dim, LiteralInteger* depth, LiteralInteger* arrayed,
                               LiteralInteger* ms, LiteralInteger* sampled, ImageFormat imageFormat) {
    Instruction* instruction = NewInstruction(Op::OpTypeImage);
    instruction->AddOperand(sampledType);
    instruction->AddOperand(LiteralInteger::FromEnum(dim));
    instruction->AddOperand(depth);
    instruction->AddOperand(arrayed);
    instruction->AddOperand(ms);
    instruction->AddOperand(sampled);
    instruction->AddOperand(LiteralInteger::FromEnum(imageFormat));
    AddTypeDeclaration(instruction, false);
    return instruction;
}

Instruction* Module::TypeSampledImage(Instruction* imageType, bool forceIdAllocation) {
    Instruction* instruction = NewInstruction(Op::OpTypeSampledImage);
    instruction->AddOperand(imageType);
    AddTypeDeclaration(instruction, forceIdAllocation);
    return instruction;
}

Instruction* Module::TypeArray(Instruction* elementType, Instruction* length, bool forceIdAllocation) {
    // Buffer and I/O declarations ask for the same arrays again and again.
    // As for pointer types, the ids of element type and length name the
    // array type the type table would find.
    const bool cacheable = elementType->Id != Instruction::InvalidId && length->Id != Instruction::InvalidId;
    const uint64_t key = (uint64_t{elementType->Id} << 32) | length->Id;
    if (cacheable && !forceIdAllocation) {
        if (Instruction* known = _arrayTypes.Find(key)) return known;
    }
    Instruction* instruction = NewInstruction(Op::OpTypeArray);
    instruction->AddOperand(elementType);
    instruction->AddOperand(length);
    AddTypeDeclaration(instruction, forceIdAllocation);
    // After a forced declaration, later equal array types resolve to it.
    if (cacheable) _arrayTypes.Set(key, instruction);
    return instruction;
}

Instruction* Module::TypeRuntimeArray(Instruction* elementType, bool forceIdAllocation) {
    Instruction* instruction = NewInstruction(Op::OpTypeRuntimeArray);
    instruction->AddOperand(elementType);
    AddTypeDeclaration(instruction, forceIdAllocation);
    return instruction;
}

Instruction* Module::TypeStruct(bool forceIdAllocation, InstructionSpan memberTypes) {
    Instruction* instruction = NewInstruction(Op::OpTypeStruct);
    instruction->AddOperand(memberTypes);
    AddTypeDeclaration(instruction, forceIdAllocation);
    return instruction;
}

LiteralInteger* Module::StorageClassLiteral(StorageClass storageClass) {
    // Literals are never changed once made, so instructions can share one.
    const auto value = static_cast<uint32_t>(storageClass);
    if (value >= std::size(_storageClassLiterals)) return LiteralInteger::FromEnum(storageClass);
    LiteralInteger*& literal = _storageClassLiterals[value];
    if (literal == nullptr) literal = LiteralInteger::FromEnum(storageClass);
    return literal;
}

Instruction* Module::NewTypePointer(StorageClass storageClass, Instruction* type, bool forceIdAllocation) {
    Instruction* instruction = NewInstruction(Op::OpTypePointer);
    instruction->AddOperand(StorageClassLiteral(storageClass));
    instruction->AddOperand(type);
    AddTypeDeclaration(instruction, forceIdAllocation);
    // After a forced declaration, later equal pointer types resolve to it.
    if (type->Id != Instruction::InvalidId) _pointerTypes.Set(PointerTypeKey(storageClass, type), instruction);
    return instruction;
}

Instruction* Module::TypeFunction(Instruction* returnType, InstructionSpan parameterTypes) {
    Instruction* instruction = NewInstruction(Op::OpTypeFunction);
    instruction->AddOperand(returnType);
    instruction->AddOperand(parameterTypes);
    AddTypeDeclaration(instruction, false);
    return instruction;
}

// ---- constants --------------------------------------------------------------

Instruction* Module::Constant(Instruction* resultType, LiteralInteger* value) {
    // Every operation asks for its constants; one-word literals of a result
    // type (equal type ids mean equal types) find the constant the constant
    // table would give, without building and hashing an instruction first.
    const bool cacheable = value->GetWordCount() == 1 && HasScalarConstantKey(resultType);
    uint64_t key = 0;
    if (cacheable) {
        key = ScalarConstantKey(resultType, value->GetIntegerType(), static_cast<uint32_t>(value->Data()));
        if (Instruction* known = _scalarConstants.Find(key)) return known;
    }
    Instruction* instruction = NewInstruction(Op::OpConstant, Instruction::InvalidId, resultType);
    instruction->AddOperand(value);
    AddConstant(instruction);
    if (cacheable) _scalarConstants.Set(key, instruction);
    return instruction;
}

Instruction* Module::NewConstantWord(Instruction* resultType, LiteralInteger::IntegerType kind, uint32_t bits) {
    LiteralInteger* value;
    switch (kind) {
    case LiteralInteger::IntegerType::Int32: value = LiteralInteger::FromInt32(static_cast<int32_t>(bits)); break;
    case LiteralInteger::IntegerType::UInt32: value = LiteralInteger::FromUInt32(bits); break;
    default: value = LiteralInteger::FromFloat32(std::bit_cast<float>(bits)); break;
    }
    return Constant(resultType, value);
}

Instruction* Module::ConstantComposite(Instruction* resultType, InstructionSpan constituents) {
    Instruction* instruction = NewInstruction(Op::OpConstantComposite, Instruction::InvalidId, resultType);
    instruction->AddOperand(constituents);
    AddConstant(instruction);
    return instruction;
}

Instruction* Module::ConstantTrue(Instruction* resultType) {
    Instruction* instruction = NewInstruction(Op::OpConstantTrue, Instruction::InvalidId, resultType);
    AddConstant(instruction);
    return instruction;
}

Instruction* Module::ConstantFalse(Instruction* resultType) {
    Instruction* instruction = NewInstruction(Op::OpConstantFalse, Instruction::InvalidId, resultType);
    AddConstant(instruction);
    return instruction;
}

// ---- one operand ------------------------------------------------------------

Instruction* Module::ConvertFToU(Instruction* rt, Instruction* v) { return Unary(Op::OpConvertFToU, rt, v); }
Instruction* Module::ConvertFToS(Instruction* rt, Instruction* v) { return Unary(Op::OpConvertFToS, rt, v); }
Instruction* Module::ConvertSToF(Instruction* rt, Instruction* v) { return Unary(Op::OpConvertSToF, rt, v); }
Instruction* Module::ConvertUToF(Instruction* rt, Instruction* v) { return Unary(Op::OpConvertUToF, rt, v); }
Instruction* Module::FConvert(Instruction* rt, Instruction* v) { return Unary(Op::OpFConvert, rt, v); }
Instruction* Module::Bitcast(Instruction* rt, Instruction* v) { return Unary(Op::OpBitcast, rt, v); }
Instruction* Module::SNegate(Instruction* rt, Instruction* v) { return Unary(Op::OpSNegate, rt, v); }
Instruction* Module::FNegate(Instruction* rt, Instruction* v) { return Unary(Op::OpFNegate, rt, v); }
Instruction* Module::Not(Instruction* rt, Instruction* v) { return Unary(Op::OpNot, rt, v); }
Instruction* Module::BitReverse(Instruction* rt, Instruction* v) { return Unary(Op::OpBitReverse, rt, v); }
Instruction* Module::BitCount(Instruction* rt, Instruction* v) { return Unary(Op::OpBitCount, rt, v); }
Instruction* Module::IsNan(Instruction* rt, Instruction* v) { return Unary(Op::OpIsNan, rt, v); }
Instruction* Module::LogicalNot(Instruction* rt, Instruction* v) { return Unary(Op::OpLogicalNot, rt, v); }
Instruction* Module::DPdx(Instruction* rt, Instruction* v) { return Unary(Op::OpDPdx, rt, v); }
Instruction* Module::DPdy(Instruction* rt, Instruction* v) { return Unary(Op::OpDPdy, rt, v); }
Instruction* Module::Load(Instruction* rt, Instruction* pointer) { return Unary(Op::OpLoad, rt, pointer); }
Instruction* Module::Image(Instruction* rt, Instruction* sampledImage) {
    return Unary(Op::OpImage, rt, sampledImage);
}
Instruction* Module::ImageQuerySize(Instruction* rt, Instruction* image) {
    return Unary(Op::OpImageQuerySize, rt, image);
}
Instruction* Module::ImageQueryLevels(Instruction* rt, Instruction* image) {
    return Unary(Op::OpImageQueryLevels, rt, image);
}
Instruction* Module::ImageQuerySamples(Instruction* rt, Instruction* image) {
    return Unary(Op::OpImageQuerySamples, rt, image);
}

Instruction* Module::FunctionParameter(Instruction* resultType) {
    uint32_t id = TakeId();
    return AddToFunctionDefinitions(NewInstruction(Op::OpFunctionParameter, id, resultType));
}

// ---- two operands -----------------------------------------------------------

#define ZV_BINARY(name)                                                                  \
    Instruction* Module::name(Instruction* rt, Instruction* a, Instruction* b) {         \
        return Binary(Op::Op##name, rt, a, b);                                           \
    }
ZV_BINARY(IAdd)
ZV_BINARY(FAdd)
ZV_BINARY(ISub)
ZV_BINARY(FSub)
ZV_BINARY(IMul)
ZV_BINARY(FMul)
ZV_BINARY(SDiv)
ZV_BINARY(FDiv)
ZV_BINARY(FMod)
ZV_BINARY(UMulExtended)
ZV_BINARY(SMulExtended)
ZV_BINARY(ShiftRightLogical)
ZV_BINARY(ShiftRightArithmetic)
ZV_BINARY(ShiftLeftLogical)
ZV_BINARY(BitwiseOr)
ZV_BINARY(BitwiseXor)
ZV_BINARY(BitwiseAnd)
ZV_BINARY(LogicalNotEqual)
ZV_BINARY(LogicalOr)
ZV_BINARY(LogicalAnd)
ZV_BINARY(IEqual)
ZV_BINARY(INotEqual)
ZV_BINARY(UGreaterThan)
ZV_BINARY(SGreaterThan)
ZV_BINARY(UGreaterThanEqual)
ZV_BINARY(SGreaterThanEqual)
ZV_BINARY(ULessThan)
ZV_BINARY(SLessThan)
ZV_BINARY(ULessThanEqual)
ZV_BINARY(SLessThanEqual)
ZV_BINARY(FOrdEqual)
ZV_BINARY(FOrdNotEqual)
ZV_BINARY(FOrdLessThan)
ZV_BINARY(FOrdGreaterThan)
ZV_BINARY(FOrdLessThanEqual)
ZV_BINARY(FOrdGreaterThanEqual)
ZV_BINARY(VectorExtractDynamic)
ZV_BINARY(SampledImage)
ZV_BINARY(ImageQuerySizeLod)
ZV_BINARY(ImageQueryLod)
ZV_BINARY(GroupNonUniformAll)
ZV_BINARY(GroupNonUniformAny)
ZV_BINARY(GroupNonUniformAllEqual)
ZV_BINARY(GroupNonUniformBallot)
#undef ZV_BINARY

// ---- three and more operands ------------------------------------------------

#define ZV_TERNARY(name)                                                                          \
    Instruction* Module::name(Instruction* rt, Instruction* a, Instruction* b, Instruction* c) { \
        return Ternary(Op::Op##name, rt, a, b, c);                                                \
    }
ZV_TERNARY(Select)
ZV_TERNARY(BitFieldSExtract)
ZV_TERNARY(BitFieldUExtract)
ZV_TERNARY(ImageTexelPointer)
ZV_TERNARY(GroupNonUniformShuffle)
ZV_TERNARY(GroupNonUniformShuffleXor)
ZV_TERNARY(GroupNonUniformShuffleUp)
ZV_TERNARY(GroupNonUniformShuffleDown)
ZV_TERNARY(AtomicIIncrement)
ZV_TERNARY(AtomicIDecrement)
#undef ZV_TERNARY

#define ZV_QUATERNARY(name)                                                                  \
    Instruction* Module::name(Instruction* rt, Instruction* a, Instruction* b, Instruction* c, \
                              Instruction* d) {                                              \
        return Quaternary(Op::Op##name, rt, a, b, c, d);                                     \
    }
ZV_QUATERNARY(BitFieldInsert)
ZV_QUATERNARY(AtomicExchange)
ZV_QUATERNARY(AtomicIAdd)
ZV_QUATERNARY(AtomicSMin)
ZV_QUATERNARY(AtomicUMin)
ZV_QUATERNARY(AtomicSMax)
ZV_QUATERNARY(AtomicUMax)
ZV_QUATERNARY(AtomicAnd)
ZV_QUATERNARY(AtomicOr)
ZV_QUATERNARY(AtomicXor)
#undef ZV_QUATERNARY

Instruction* Module::AtomicCompareExchange(Instruction* resultType, Instruction* pointer, Instruction* memory,
                                           Instruction* equal, Instruction* unequal, Instruction* value,
                                           Instruction* comparator) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(Op::OpAtomicCompareExchange, id, resultType);
    instruction->AddOperand(pointer);
    instruction->AddOperand(memory);
    instruction->AddOperand(equal);
    instruction->AddOperand(unequal);
    instruction->AddOperand(value);
    instruction->AddOperand(comparator);
    return AddToFunctionDefinitions(instruction);
}

// ---- operand lists ----------------------------------------------------------

Instruction* Module::AccessChain(Instruction* resultType, Instruction* base, Instruction* index) {
    return Binary(Op::OpAccessChain, resultType, base, index);
}

Instruction* Module::AccessChain(Instruction* resultType, Instruction* base, Instruction* index1,
                                 Instruction* index2) {
    return Ternary(Op::OpAccessChain, resultType, base, index1, index2);
}

Instruction* Module::AccessChain(Instruction* resultType, Instruction* base, Instruction* index1,
                                 Instruction* index2, Instruction* index3) {
    return Quaternary(Op::OpAccessChain, resultType, base, index1, index2, index3);
}

Instruction* Module::AccessChain(Instruction* resultType, Instruction* base, InstructionSpan indexes) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(Op::OpAccessChain, id, resultType);
    instruction->AddOperand(base);
    instruction->AddOperand(indexes);
    return AddToFunctionDefinitions(instruction);
}

Instruction* Module::FunctionCall(Instruction* resultType, Instruction* function, InstructionSpan arguments) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(Op::OpFunctionCall, id, resultType);
    instruction->AddOperand(function);
    instruction->AddOperand(arguments);
    return AddToFunctionDefinitions(instruction);
}

Instruction* Module::CompositeConstruct(Instruction* resultType, InstructionSpan constituents) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(Op::OpCompositeConstruct, id, resultType);
    instruction->AddOperand(constituents);
    return AddToFunctionDefinitions(instruction);
}

Instruction* Module::CompositeExtract(Instruction* resultType, Instruction* composite, LiteralSpan indexes) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(Op::OpCompositeExtract, id, resultType);
    instruction->AddOperand(composite);
    instruction->AddOperand(indexes);
    return AddToFunctionDefinitions(instruction);
}

Instruction* Module::VectorShuffle(Instruction* resultType, Instruction* vector1, Instruction* vector2,
                                   LiteralSpan components) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(Op::OpVectorShuffle, id, resultType);
    instruction->AddOperand(vector1);
    instruction->AddOperand(vector2);
    instruction->AddOperand(components);
    return AddToFunctionDefinitions(instruction);
}

// ---- image access -----------------------------------------------------------

Instruction* Module::ImageAccess(Instruction* instruction, ImageOperandsMask imageOperands,
                                 InstructionSpan imageOperandValues) {
    if (imageOperands != NoImageOperands) instruction->AddOperand(LiteralInteger::FromEnum(imageOperands));
    instruction->AddOperand(imageOperandValues);
    return AddToFunctionDefinitions(instruction);
}

Instruction* Module::ImageSampleImplicitLod(Instruction* resultType, Instruction* sampledImage,
                                            Instruction* coordinate, ImageOperandsMask imageOperands,
                                            InstructionSpan imageOperandValues) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(Op::OpImageSampleImplicitLod, id, resultType);
    instruction->AddOperand(sampledImage);
    instruction->AddOperand(coordinate);
    return ImageAccess(instruction, imageOperands, imageOperandValues);
}

Instruction* Module::ImageSampleExplicitLod(Instruction* resultType, Instruction* sampledImage,
                                            Instruction* coordinate, ImageOperandsMask imageOperands,
                                            InstructionSpan imageOperandValues) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(Op::OpImageSampleExplicitLod, id, resultType);
    instruction->AddOperand(sampledImage);
    instruction->AddOperand(coordinate);
    return ImageAccess(instruction, imageOperands, imageOperandValues);
}

Instruction* Module::ImageSampleDrefImplicitLod(Instruction* resultType, Instruction* sampledImage,
                                                Instruction* coordinate, Instruction* dref,
                                                ImageOperandsMask imageOperands, InstructionSpan imageOperandValues) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(Op::OpImageSampleDrefImplicitLod, id, resultType);
    instruction->AddOperand(sampledImage);
    instruction->AddOperand(coordinate);
    instruction->AddOperand(dref);
    return ImageAccess(instruction, imageOperands, imageOperandValues);
}

Instruction* Module::ImageSampleDrefExplicitLod(Instruction* resultType, Instruction* sampledImage,
                                                Instruction* coordinate, Instruction* dref,
                                                ImageOperandsMask imageOperands, InstructionSpan imageOperandValues) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(Op::OpImageSampleDrefExplicitLod, id, resultType);
    instruction->AddOperand(sampledImage);
    instruction->AddOperand(coordinate);
    instruction->AddOperand(dref);
    return ImageAccess(instruction, imageOperands, imageOperandValues);
}

Instruction* Module::ImageGather(Instruction* resultType, Instruction* sampledImage, Instruction* coordinate,
                                 Instruction* component, ImageOperandsMask imageOperands,
                                 InstructionSpan imageOperandValues) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(Op::OpImageGather, id, resultType);
    instruction->AddOperand(sampledImage);
    instruction->AddOperand(coordinate);
    instruction->AddOperand(component);
    return ImageAccess(instruction, imageOperands, imageOperandValues);
}

Instruction* Module::ImageDrefGather(Instruction* resultType, Instruction* sampledImage, Instruction* coordinate,
                                     Instruction* dref, ImageOperandsMask imageOperands,
                                     InstructionSpan imageOperandValues) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(Op::OpImageDrefGather, id, resultType);
    instruction->AddOperand(sampledImage);
    instruction->AddOperand(coordinate);
    instruction->AddOperand(dref);
    return ImageAccess(instruction, imageOperands, imageOperandValues);
}

Instruction* Module::ImageFetch(Instruction* resultType, Instruction* image, Instruction* coordinate,
                                ImageOperandsMask imageOperands, InstructionSpan imageOperandValues) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(Op::OpImageFetch, id, resultType);
    instruction->AddOperand(image);
    instruction->AddOperand(coordinate);
    return ImageAccess(instruction, imageOperands, imageOperandValues);
}

Instruction* Module::ImageRead(Instruction* resultType, Instruction* image, Instruction* coordinate,
                               ImageOperandsMask imageOperands, InstructionSpan imageOperandValues) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(Op::OpImageRead, id, resultType);
    instruction->AddOperand(image);
    instruction->AddOperand(coordinate);
    return ImageAccess(instruction, imageOperands, imageOperandValues);
}

Instruction* Module::ImageWrite(Instruction* image, Instruction* coordinate, Instruction* texel,
                                ImageOperandsMask imageOperands, InstructionSpan imageOperandValues) {
    Instruction* instruction = NewInstruction(Op::OpImageWrite);
    instruction->AddOperand(image);
    instruction->AddOperand(coordinate);
    instruction->AddOperand(texel);
    return ImageAccess(instruction, imageOperands, imageOperandValues);
}

// ---- no result --------------------------------------------------------------

Instruction* Module::Store(Instruction* pointer, Instruction* object) {
    Instruction* instruction = NewInstruction(Op::OpStore);
    instruction->AddOperand(pointer);
    instruction->AddOperand(object);
    return AddToFunctionDefinitions(instruction);
}

Instruction* Module::ControlBarrier(Instruction* execution, Instruction* memory, Instruction* semantics) {
    Instruction* instruction = NewInstruction(Op::OpControlBarrier);
    instruction->AddOperand(execution);
    instruction->AddOperand(memory);
    instruction->AddOperand(semantics);
    return AddToFunctionDefinitions(instruction);
}

Instruction* Module::MemoryBarrier(Instruction* memory, Instruction* semantics) {
    Instruction* instruction = NewInstruction(Op::OpMemoryBarrier);
    instruction->AddOperand(memory);
    instruction->AddOperand(semantics);
    return AddToFunctionDefinitions(instruction);
}

Instruction* Module::LoopMerge(Instruction* mergeBlock, Instruction* continueTarget, LoopControlMask loopControl) {
    Instruction* instruction = NewInstruction(Op::OpLoopMerge);
    instruction->AddOperand(mergeBlock);
    instruction->AddOperand(continueTarget);
    instruction->AddOperand(LiteralInteger::FromEnum(loopControl));
    return AddToFunctionDefinitions(instruction);
}

Instruction* Module::SelectionMerge(Instruction* mergeBlock, SelectionControlMask selectionControl) {
    Instruction* instruction = NewInstruction(Op::OpSelectionMerge);
    instruction->AddOperand(mergeBlock);
    instruction->AddOperand(LiteralInteger::FromEnum(selectionControl));
    return AddToFunctionDefinitions(instruction);
}

Instruction* Module::Branch(Instruction* targetLabel) {
    Instruction* instruction = NewInstruction(Op::OpBranch);
    instruction->AddOperand(targetLabel);
    return AddToFunctionDefinitions(instruction);
}

Instruction* Module::BranchConditional(Instruction* condition, Instruction* trueLabel, Instruction* falseLabel,
                                       LiteralSpan branchWeights) {
    Instruction* instruction = NewInstruction(Op::OpBranchConditional);
    instruction->AddOperand(condition);
    instruction->AddOperand(trueLabel);
    instruction->AddOperand(falseLabel);
    instruction->AddOperand(branchWeights);
    return AddToFunctionDefinitions(instruction);
}

Instruction* Module::ReturnValue(Instruction* value) {
    Instruction* instruction = NewInstruction(Op::OpReturnValue);
    instruction->AddOperand(value);
    return AddToFunctionDefinitions(instruction);
}

Instruction* Module::Return() { return NoResult(Op::OpReturn); }
Instruction* Module::Kill() { return NoResult(Op::OpKill); }
Instruction* Module::EmitVertex() { return NoResult(Op::OpEmitVertex); }
Instruction* Module::EndPrimitive() { return NoResult(Op::OpEndPrimitive); }
Instruction* Module::BeginInvocationInterlockEXT() { return NoResult(Op::OpBeginInvocationInterlockEXT); }
Instruction* Module::EndInvocationInterlockEXT() { return NoResult(Op::OpEndInvocationInterlockEXT); }
Instruction* Module::FunctionEnd() { return NoResult(Op::OpFunctionEnd); }

// ---- placed later -----------------------------------------------------------

Instruction* Module::Label() { return NewInstruction(Op::OpLabel); }

Instruction* Module::Variable(Instruction* resultType, StorageClass storageClass) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(Op::OpVariable, id, resultType);
    instruction->AddOperand(StorageClassLiteral(storageClass));
    return instruction;
}

Instruction* Module::Function(Instruction* resultType, FunctionControlMask functionControl,
                              Instruction* functionType) {
    uint32_t id = TakeId();
    Instruction* instruction = NewInstruction(Op::OpFunction, id, resultType);
    instruction->AddOperand(LiteralInteger::FromEnum(functionControl));
    instruction->AddOperand(functionType);
    return instruction;
}

// ---- GLSL.std.450 -----------------------------------------------------------

Instruction* Module::GlslCall(uint32_t glslInstruction, Instruction* resultType, OperandSpan operands) {
    Instruction* set = AddExtInstImport("GLSL.std.450");
    LiteralInteger* number = LiteralInteger::FromInt32(static_cast<int32_t>(glslInstruction));
    return ExtInst(resultType, set, number, operands);
}

#define ZV_GLSL1(name)                                                      \
    Instruction* Module::Glsl##name(Instruction* rt, Instruction* a) {      \
        std::array<IOperand*, 1> operands = {a};                            \
        return GlslCall(GLSLstd450##name, rt, operands);                    \
    }
#define ZV_GLSL2(name)                                                                  \
    Instruction* Module::Glsl##name(Instruction* rt, Instruction* a, Instruction* b) {  \
        std::array<IOperand*, 2> operands = {a, b};                                     \
        return GlslCall(GLSLstd450##name, rt, operands);                                \
    }
#define ZV_GLSL3(name)                                                                                  \
    Instruction* Module::Glsl##name(Instruction* rt, Instruction* a, Instruction* b, Instruction* c) {  \
        std::array<IOperand*, 3> operands = {a, b, c};                                                  \
        return GlslCall(GLSLstd450##name, rt, operands);                                                \
    }
ZV_GLSL1(RoundEven)
ZV_GLSL1(Trunc)
ZV_GLSL1(FAbs)
ZV_GLSL1(SAbs)
ZV_GLSL1(Floor)
ZV_GLSL1(Ceil)
ZV_GLSL1(Sin)
ZV_GLSL1(Cos)
ZV_GLSL1(Exp2)
ZV_GLSL1(Log2)
ZV_GLSL1(Sqrt)
ZV_GLSL1(InverseSqrt)
ZV_GLSL1(PackHalf2x16)
ZV_GLSL1(PackDouble2x32)
ZV_GLSL1(UnpackHalf2x16)
ZV_GLSL1(UnpackDouble2x32)
ZV_GLSL1(FindILsb)
ZV_GLSL1(FindSMsb)
ZV_GLSL1(FindUMsb)
ZV_GLSL2(FMin)
ZV_GLSL2(UMin)
ZV_GLSL2(SMin)
ZV_GLSL2(FMax)
ZV_GLSL2(UMax)
ZV_GLSL2(SMax)
ZV_GLSL3(FClamp)
ZV_GLSL3(UClamp)
ZV_GLSL3(SClamp)
ZV_GLSL3(Fma)
#undef ZV_GLSL1
#undef ZV_GLSL2
#undef ZV_GLSL3

} // namespace Spv::Generator
