#pragma once
// One SPIR-V module while the back end builds it. Sections follow the SPIR-V
// logical layout; result ids come from one counter; types, constants and
// imported instruction sets are deduplicated by value; Generate encodes the
// whole module in the order SPIR-V requires, whatever the order of the calls.
//
// Builder methods are named after the instruction without "Op"; GLSL.std.450
// instructions carry the prefix Glsl. They check nothing: wrong arguments
// make an invalid module, not an error. The one failure detected is an id
// still unbound when Generate writes it (a label never placed).
//
// Literals: every numeric operand is a LiteralInteger made by one of its
// factories while this module is the thread's current one (from construction
// to Generate). Scope and memory-semantics values are unsigned 32-bit
// constants: build them as Constant(<32-bit unsigned int type>,
// LiteralInteger::FromUInt32(value)) so that equal scopes share one constant.
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Spv.Generator/ConstantKey.h"
#include "Spv.Generator/DeduplicationTable.h"
#include "Spv.Generator/DeterministicStringKey.h"
#include "Spv.Generator/GeneratorPool.h"
#include "Spv.Generator/Instruction.h"
#include "Spv.Generator/LiteralInteger.h"
#include "Spv.Generator/LiteralString.h"
#include "Spv.Generator/SpirvEnums.h"
#include "Spv.Generator/TypeDeclarationKey.h"
#include "Zerivox.Common/KeyedPointerTable.h"

namespace Spv::Generator {

class Module {
public:
    using Op = SpirvEnums::Op;
    using Capability = SpirvEnums::Capability;
    using ExecutionModel = SpirvEnums::ExecutionModel;
    using AddressingModel = SpirvEnums::AddressingModel;
    using MemoryModel = SpirvEnums::MemoryModel;
    using ExecutionMode = SpirvEnums::ExecutionMode;
    using StorageClass = SpirvEnums::StorageClass;
    using Dim = SpirvEnums::Dim;
    using ImageFormat = SpirvEnums::ImageFormat;
    using ImageOperandsMask = SpirvEnums::ImageOperandsMask;
    using Decoration = SpirvEnums::Decoration;
    using SelectionControlMask = SpirvEnums::SelectionControlMask;
    using LoopControlMask = SpirvEnums::LoopControlMask;
    using FunctionControlMask = SpirvEnums::FunctionControlMask;

    using InstructionSpan = std::span<Instruction* const>;
    using LiteralSpan = std::span<LiteralInteger* const>;
    using OperandSpan = std::span<IOperand* const>;

    // Image-operands value meaning "no image operands": the mask word is not
    // written at all (MaskNone, 0, writes an explicit zero mask word).
    static constexpr ImageOperandsMask NoImageOperands = static_cast<ImageOperandsMask>(0x7FFFFFFFu);

    static constexpr int32_t DefaultPoolCapacity = 1000;
    static constexpr int32_t DefaultPoolChunkSize = 200;

    // Either pool may be null: the module then creates and owns its own.
    // Makes the literal pool the calling thread's current one.
    explicit Module(uint32_t version, GeneratorPool<Instruction>* instructionPool = nullptr,
                    GeneratorPool<LiteralInteger>* literalPool = nullptr);
    virtual ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // The next id to hand out.
    uint32_t Bound() const noexcept { return _bound; }

    // ---- module-level declarations -------------------------------------
    void AddCapability(Capability capability);
    void AddExtension(std::string_view name);
    void SetMemoryModel(AddressingModel addressingModel, MemoryModel memoryModel);
    // The OpExtInstImport of a set name, created (and given an id) on first use.
    Instruction* AddExtInstImport(std::string_view name);
    Instruction* AddEntryPoint(ExecutionModel executionModel, Instruction* function, std::string_view name,
                               InstructionSpan interfaces);
    Instruction* AddExecutionMode(Instruction* function, ExecutionMode mode, OperandSpan parameters = {});

    // A type equal to one declared before takes that type's id and is not
    // placed again; a forced type always gets a new id, and later equal
    // types resolve to it.
    void AddTypeDeclaration(Instruction* type, bool forceIdAllocation);
    // A constant equal to an existing one (same value, equal result type)
    // takes its id.
    void AddConstant(Instruction* constant);
    // These take a new id that replaces the instruction's current one.
    void AddGlobalVariable(Instruction* variable);
    // Inline, as the function body's instructions are: every local and
    // every block passes through here.
    void AddLocalVariable(Instruction* variable) {
        variable->Id = TakeId();
        _functionsDefinitions.push_back(variable);
    }
    void AddLabel(Instruction* label) {
        label->Id = TakeId();
        _functionsDefinitions.push_back(label);
    }
    // Places an OpFunction (which Function gave its id) in the definitions.
    void AddFunction(Instruction* function);

    Instruction* ExtInst(Instruction* resultType, Instruction* set, LiteralInteger* instruction, OperandSpan operands);

    // Encodes the module and resets the pools: afterwards the module and
    // every pooled object it used are dead. Throws InvalidOperationException
    // (pools untouched) when an id is still unbound.
    std::vector<uint8_t> Generate();

    // ---- debug and annotations ----------------------------------------
    Instruction* Name(Instruction* target, std::string_view name);
    Instruction* MemberName(Instruction* type, LiteralInteger* member, std::string_view name);
    Instruction* Decorate(Instruction* target, Decoration decoration);
    Instruction* Decorate(Instruction* target, Decoration decoration, IOperand* parameter);
    Instruction* MemberDecorate(Instruction* type, LiteralInteger* member, Decoration decoration);
    Instruction* MemberDecorate(Instruction* type, LiteralInteger* member, Decoration decoration,
                                IOperand* parameter);

    // ---- types ----------------------------------------------------------
    Instruction* TypeVoid();
    Instruction* TypeBool();
    Instruction* TypeSampler();
    Instruction* TypeInt(LiteralInteger* width, LiteralInteger* signedness, bool forceIdAllocation = false);
    Instruction* TypeFloat(LiteralInteger* width, bool forceIdAllocation = false);
    Instruction* TypeVector(Instruction* componentType, LiteralInteger* componentCount,
                            bool forceIdAllocation = false);
    Instruction* TypeImage(Instruction* sampledType, Dim dim, LiteralInteger* depth, LiteralInteger* arrayed,
                           LiteralInteger* ms, LiteralInteger* sampled, ImageFormat imageFormat);
    Instruction* TypeSampledImage(Instruction* imageType, bool forceIdAllocation = false);
    Instruction* TypeArray(Instruction* elementType, Instruction* length, bool forceIdAllocation = false);
    Instruction* TypeRuntimeArray(Instruction* elementType, bool forceIdAllocation = false);
    Instruction* TypeStruct(bool forceIdAllocation, InstructionSpan memberTypes);
    // Pointer types are asked for at every variable and memory access. Equal
    // pointee ids mean equal pointees (a type takes the id of its equal, a
    // forced one a new id), so the pair of storage class and pointee id names
    // the pointer type the type table would find, without building the
    // instruction and hashing it again; that lookup is inline.
    Instruction* TypePointer(StorageClass storageClass, Instruction* type, bool forceIdAllocation = false) {
        if (type->Id != Instruction::InvalidId && !forceIdAllocation) {
            if (Instruction* known = _pointerTypes.Find(PointerTypeKey(storageClass, type))) return known;
        }
        return NewTypePointer(storageClass, type, forceIdAllocation);
    }
    Instruction* TypeFunction(Instruction* returnType, InstructionSpan parameterTypes);

    // ---- constants ------------------------------------------------------
    Instruction* Constant(Instruction* resultType, LiteralInteger* value);
    // Constant(resultType, <one-word literal of the kind with these bits>):
    // Int32, UInt32 or Float32 (anything else is Float32). A constant asked
    // for again is found without making its literal first.
    // Inline for the constants already made, which are most of the asks.
    Instruction* ConstantWord(Instruction* resultType, LiteralInteger::IntegerType kind, uint32_t bits) {
        // The key Constant gives the same literal: its low word and its kind.
        if (HasScalarConstantKey(resultType)) {
            if (Instruction* known = _scalarConstants.Find(ScalarConstantKey(resultType, kind, bits))) return known;
        }
        return NewConstantWord(resultType, kind, bits);
    }
    Instruction* ConstantComposite(Instruction* resultType, InstructionSpan constituents);
    Instruction* ConstantTrue(Instruction* resultType);
    Instruction* ConstantFalse(Instruction* resultType);

    // ---- one operand ----------------------------------------------------
    Instruction* ConvertFToU(Instruction* resultType, Instruction* floatValue);
    Instruction* ConvertFToS(Instruction* resultType, Instruction* floatValue);
    Instruction* ConvertSToF(Instruction* resultType, Instruction* signedValue);
    Instruction* ConvertUToF(Instruction* resultType, Instruction* unsignedValue);
    Instruction* FConvert(Instruction* resultType, Instruction* floatValue);
    Instruction* Bitcast(Instruction* resultType, Instruction* operand);
    Instruction* SNegate(Instruction* resultType, Instruction* operand);
    Instruction* FNegate(Instruction* resultType, Instruction* operand);
    Instruction* Not(Instruction* resultType, Instruction* operand);
    Instruction* BitReverse(Instruction* resultType, Instruction* base);
    Instruction* BitCount(Instruction* resultType, Instruction* base);
    Instruction* IsNan(Instruction* resultType, Instruction* x);
    Instruction* LogicalNot(Instruction* resultType, Instruction* operand);
    Instruction* DPdx(Instruction* resultType, Instruction* p);
    Instruction* DPdy(Instruction* resultType, Instruction* p);
    Instruction* Load(Instruction* resultType, Instruction* pointer);
    Instruction* Image(Instruction* resultType, Instruction* sampledImage);
    Instruction* ImageQuerySize(Instruction* resultType, Instruction* image);
    Instruction* ImageQueryLevels(Instruction* resultType, Instruction* image);
    Instruction* ImageQuerySamples(Instruction* resultType, Instruction* image);
    // Appended right after the OpFunction, in the order called.
    Instruction* FunctionParameter(Instruction* resultType);

    // ---- two operands ---------------------------------------------------
    Instruction* IAdd(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* FAdd(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* ISub(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* FSub(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* IMul(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* FMul(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* SDiv(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* FDiv(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* FMod(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* UMulExtended(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* SMulExtended(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* ShiftRightLogical(Instruction* resultType, Instruction* base, Instruction* shift);
    Instruction* ShiftRightArithmetic(Instruction* resultType, Instruction* base, Instruction* shift);
    Instruction* ShiftLeftLogical(Instruction* resultType, Instruction* base, Instruction* shift);
    Instruction* BitwiseOr(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* BitwiseXor(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* BitwiseAnd(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* LogicalNotEqual(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* LogicalOr(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* LogicalAnd(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* IEqual(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* INotEqual(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* UGreaterThan(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* SGreaterThan(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* UGreaterThanEqual(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* SGreaterThanEqual(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* ULessThan(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* SLessThan(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* ULessThanEqual(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* SLessThanEqual(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* FOrdEqual(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* FOrdNotEqual(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* FOrdLessThan(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* FOrdGreaterThan(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* FOrdLessThanEqual(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* FOrdGreaterThanEqual(Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* VectorExtractDynamic(Instruction* resultType, Instruction* vector, Instruction* index);
    Instruction* SampledImage(Instruction* resultType, Instruction* image, Instruction* sampler);
    Instruction* ImageQuerySizeLod(Instruction* resultType, Instruction* image, Instruction* levelOfDetail);
    Instruction* ImageQueryLod(Instruction* resultType, Instruction* sampledImage, Instruction* coordinate);
    Instruction* GroupNonUniformAll(Instruction* resultType, Instruction* execution, Instruction* predicate);
    Instruction* GroupNonUniformAny(Instruction* resultType, Instruction* execution, Instruction* predicate);
    Instruction* GroupNonUniformAllEqual(Instruction* resultType, Instruction* execution, Instruction* value);
    Instruction* GroupNonUniformBallot(Instruction* resultType, Instruction* execution, Instruction* predicate);

    // ---- three and more operands ----------------------------------------
    Instruction* Select(Instruction* resultType, Instruction* condition, Instruction* object1, Instruction* object2);
    Instruction* BitFieldSExtract(Instruction* resultType, Instruction* base, Instruction* offset, Instruction* count);
    Instruction* BitFieldUExtract(Instruction* resultType, Instruction* base, Instruction* offset, Instruction* count);
    Instruction* ImageTexelPointer(Instruction* resultType, Instruction* image, Instruction* coordinate,
                                   Instruction* sample);
    Instruction* GroupNonUniformShuffle(Instruction* resultType, Instruction* execution, Instruction* value,
                                        Instruction* id);
    Instruction* GroupNonUniformShuffleXor(Instruction* resultType, Instruction* execution, Instruction* value,
                                           Instruction* mask);
    Instruction* GroupNonUniformShuffleUp(Instruction* resultType, Instruction* execution, Instruction* value,
                                          Instruction* delta);
    Instruction* GroupNonUniformShuffleDown(Instruction* resultType, Instruction* execution, Instruction* value,
                                            Instruction* delta);
    Instruction* AtomicIIncrement(Instruction* resultType, Instruction* pointer, Instruction* memory,
                                  Instruction* semantics);
    Instruction* AtomicIDecrement(Instruction* resultType, Instruction* pointer, Instruction* memory,
                                  Instruction* semantics);
    Instruction* BitFieldInsert(Instruction* resultType, Instruction* base, Instruction* insert, Instruction* offset,
                                Instruction* count);
    Instruction* AtomicExchange(Instruction* resultType, Instruction* pointer, Instruction* memory,
                                Instruction* semantics, Instruction* value);
    Instruction* AtomicIAdd(Instruction* resultType, Instruction* pointer, Instruction* memory,
                            Instruction* semantics, Instruction* value);
    Instruction* AtomicSMin(Instruction* resultType, Instruction* pointer, Instruction* memory,
                            Instruction* semantics, Instruction* value);
    Instruction* AtomicUMin(Instruction* resultType, Instruction* pointer, Instruction* memory,
                            Instruction* semantics, Instruction* value);
    Instruction* AtomicSMax(Instruction* resultType, Instruction* pointer, Instruction* memory,
                            Instruction* semantics, Instruction* value);
    Instruction* AtomicUMax(Instruction* resultType, Instruction* pointer, Instruction* memory,
                            Instruction* semantics, Instruction* value);
    Instruction* AtomicAnd(Instruction* resultType, Instruction* pointer, Instruction* memory,
                           Instruction* semantics, Instruction* value);
    Instruction* AtomicOr(Instruction* resultType, Instruction* pointer, Instruction* memory,
                          Instruction* semantics, Instruction* value);
    Instruction* AtomicXor(Instruction* resultType, Instruction* pointer, Instruction* memory,
                           Instruction* semantics, Instruction* value);
    Instruction* AtomicCompareExchange(Instruction* resultType, Instruction* pointer, Instruction* memory,
                                       Instruction* equal, Instruction* unequal, Instruction* value,
                                       Instruction* comparator);

    // ---- operand lists --------------------------------------------------
    Instruction* AccessChain(Instruction* resultType, Instruction* base, Instruction* index);
    Instruction* AccessChain(Instruction* resultType, Instruction* base, Instruction* index1, Instruction* index2);
    Instruction* AccessChain(Instruction* resultType, Instruction* base, Instruction* index1, Instruction* index2,
                             Instruction* index3);
    Instruction* AccessChain(Instruction* resultType, Instruction* base, InstructionSpan indexes);
    Instruction* FunctionCall(Instruction* resultType, Instruction* function, InstructionSpan arguments);
    Instruction* CompositeConstruct(Instruction* resultType, InstructionSpan constituents);
    Instruction* CompositeExtract(Instruction* resultType, Instruction* composite, LiteralSpan indexes);
    Instruction* VectorShuffle(Instruction* resultType, Instruction* vector1, Instruction* vector2,
                               LiteralSpan components);

    // ---- image access ---------------------------------------------------
    // imageOperands NoImageOperands omits the mask word; the values are
    // appended in every case.
    Instruction* ImageSampleImplicitLod(Instruction* resultType, Instruction* sampledImage, Instruction* coordinate,
                                        ImageOperandsMask imageOperands, InstructionSpan imageOperandValues);
    Instruction* ImageSampleExplicitLod(Instruction* resultType, Instruction* sampledImage, Instruction* coordinate,
                                        ImageOperandsMask imageOperands, InstructionSpan imageOperandValues);
    Instruction* ImageSampleDrefImplicitLod(Instruction* resultType, Instruction* sampledImage,
                                            Instruction* coordinate, Instruction* dref,
                                            ImageOperandsMask imageOperands, InstructionSpan imageOperandValues);
    Instruction* ImageSampleDrefExplicitLod(Instruction* resultType, Instruction* sampledImage,
                                            Instruction* coordinate, Instruction* dref,
                                            ImageOperandsMask imageOperands, InstructionSpan imageOperandValues);
    Instruction* ImageGather(Instruction* resultType, Instruction* sampledImage, Instruction* coordinate,
                             Instruction* component, ImageOperandsMask imageOperands,
                             InstructionSpan imageOperandValues);
    Instruction* ImageDrefGather(Instruction* resultType, Instruction* sampledImage, Instruction* coordinate,
                                 Instruction* dref, ImageOperandsMask imageOperands, InstructionSpan imageOperandValues);
    Instruction* ImageFetch(Instruction* resultType, Instruction* image, Instruction* coordinate,
                            ImageOperandsMask imageOperands, InstructionSpan imageOperandValues);
    Instruction* ImageRead(Instruction* resultType, Instruction* image, Instruction* coordinate,
                           ImageOperandsMask imageOperands, InstructionSpan imageOperandValues);
    Instruction* ImageWrite(Instruction* image, Instruction* coordinate, Instruction* texel,
                            ImageOperandsMask imageOperands, InstructionSpan imageOperandValues);

    // ---- no result ------------------------------------------------------
    Instruction* Store(Instruction* pointer, Instruction* object);
    Instruction* ControlBarrier(Instruction* execution, Instruction* memory, Instruction* semantics);
    Instruction* MemoryBarrier(Instruction* memory, Instruction* semantics);
    Instruction* LoopMerge(Instruction* mergeBlock, Instruction* continueTarget, LoopControlMask loopControl);
    Instruction* SelectionMerge(Instruction* mergeBlock, SelectionControlMask selectionControl);
    Instruction* Branch(Instruction* targetLabel);
    Instruction* BranchConditional(Instruction* condition, Instruction* trueLabel, Instruction* falseLabel,
                                   LiteralSpan branchWeights = {});
    Instruction* ReturnValue(Instruction* value);
    Instruction* Return();
    Instruction* Kill();
    Instruction* EmitVertex();
    Instruction* EndPrimitive();
    Instruction* BeginInvocationInterlockEXT();
    Instruction* EndInvocationInterlockEXT();
    Instruction* FunctionEnd();

    // ---- placed later ---------------------------------------------------
    // Unplaced and without id until AddLabel; usable as a branch target at once.
    Instruction* Label();
    // Placed (with a fresh id) by AddGlobalVariable or AddLocalVariable.
    Instruction* Variable(Instruction* resultType, StorageClass storageClass);
    // Placed by AddFunction.
    Instruction* Function(Instruction* resultType, FunctionControlMask functionControl, Instruction* functionType);

    // ---- GLSL.std.450 ---------------------------------------------------
    Instruction* GlslRoundEven(Instruction* resultType, Instruction* x);
    Instruction* GlslTrunc(Instruction* resultType, Instruction* x);
    Instruction* GlslFAbs(Instruction* resultType, Instruction* x);
    Instruction* GlslSAbs(Instruction* resultType, Instruction* x);
    Instruction* GlslFloor(Instruction* resultType, Instruction* x);
    Instruction* GlslCeil(Instruction* resultType, Instruction* x);
    Instruction* GlslSin(Instruction* resultType, Instruction* x);
    Instruction* GlslCos(Instruction* resultType, Instruction* x);
    Instruction* GlslExp2(Instruction* resultType, Instruction* x);
    Instruction* GlslLog2(Instruction* resultType, Instruction* x);
    Instruction* GlslSqrt(Instruction* resultType, Instruction* x);
    Instruction* GlslInverseSqrt(Instruction* resultType, Instruction* x);
    Instruction* GlslPackHalf2x16(Instruction* resultType, Instruction* v);
    Instruction* GlslPackDouble2x32(Instruction* resultType, Instruction* v);
    Instruction* GlslUnpackHalf2x16(Instruction* resultType, Instruction* v);
    Instruction* GlslUnpackDouble2x32(Instruction* resultType, Instruction* v);
    Instruction* GlslFindILsb(Instruction* resultType, Instruction* value);
    Instruction* GlslFindSMsb(Instruction* resultType, Instruction* value);
    Instruction* GlslFindUMsb(Instruction* resultType, Instruction* value);
    Instruction* GlslFMin(Instruction* resultType, Instruction* x, Instruction* y);
    Instruction* GlslUMin(Instruction* resultType, Instruction* x, Instruction* y);
    Instruction* GlslSMin(Instruction* resultType, Instruction* x, Instruction* y);
    Instruction* GlslFMax(Instruction* resultType, Instruction* x, Instruction* y);
    Instruction* GlslUMax(Instruction* resultType, Instruction* x, Instruction* y);
    Instruction* GlslSMax(Instruction* resultType, Instruction* x, Instruction* y);
    Instruction* GlslFClamp(Instruction* resultType, Instruction* x, Instruction* minVal, Instruction* maxVal);
    Instruction* GlslUClamp(Instruction* resultType, Instruction* x, Instruction* minVal, Instruction* maxVal);
    Instruction* GlslSClamp(Instruction* resultType, Instruction* x, Instruction* minVal, Instruction* maxVal);
    Instruction* GlslFma(Instruction* resultType, Instruction* a, Instruction* b, Instruction* c);

protected:
    // A pooled instruction set to opcode, id and result type, with no operands.
    // Inline: every builder call starts here.
    Instruction* NewInstruction(Op opcode, uint32_t id = Instruction::InvalidId, Instruction* resultType = nullptr) {
        Instruction* instruction = _instructionPool->Allocate();
        instruction->Set(opcode, id, resultType);
        return instruction;
    }
    // A string operand owned by this module.
    LiteralString* NewString(std::string_view value);
    // Inline: nearly every builder call takes an id.
    uint32_t TakeId() {
        // The all-ones id means "unbound" to the encoder; never hand it out.
        if (_bound == Instruction::InvalidId) [[unlikely]] ThrowIdsExhausted();
        return _bound++;
    }

private:
    // Inline: every instruction of a function body passes through here.
    [[noreturn]] static void ThrowIdsExhausted();
    // Key of a one-word constant of a result type in _scalarConstants: the
    // type's id, the literal's kind and its bits (ids below 2^28 only).
    static bool HasScalarConstantKey(const Instruction* resultType) {
        return resultType != nullptr && resultType->Id < (1u << 28);
    }
    static uint64_t ScalarConstantKey(const Instruction* resultType, LiteralInteger::IntegerType kind, uint32_t bits) {
        return (uint64_t{resultType->Id} << 36) | (uint64_t{static_cast<uint32_t>(kind) & 7u} << 32) | bits;
    }
    static uint64_t PointerTypeKey(StorageClass storageClass, const Instruction* type) {
        return (uint64_t{static_cast<uint32_t>(storageClass)} << 32) | type->Id;
    }
    // The literal of a storage class, made once per module for the common
    // classes: every variable carries one.
    LiteralInteger* StorageClassLiteral(StorageClass storageClass);
    // ConstantWord past its shortcut: makes the literal and the constant.
    Instruction* NewConstantWord(Instruction* resultType, LiteralInteger::IntegerType kind, uint32_t bits);
    // TypePointer past its shortcut: declares the type (or finds it in the
    // type table) and remembers it for the shortcut.
    Instruction* NewTypePointer(StorageClass storageClass, Instruction* type, bool forceIdAllocation);
    Instruction* AddToFunctionDefinitions(Instruction* instruction) {
        _functionsDefinitions.push_back(instruction);
        return instruction;
    }
    Instruction* Unary(Op opcode, Instruction* resultType, Instruction* operand);
    Instruction* Binary(Op opcode, Instruction* resultType, Instruction* operand1, Instruction* operand2);
    Instruction* Ternary(Op opcode, Instruction* resultType, Instruction* operand1, Instruction* operand2,
                         Instruction* operand3);
    Instruction* Quaternary(Op opcode, Instruction* resultType, Instruction* operand1, Instruction* operand2,
                            Instruction* operand3, Instruction* operand4);
    Instruction* NoResult(Op opcode);
    Instruction* ImageAccess(Instruction* instruction, ImageOperandsMask imageOperands,
                             InstructionSpan imageOperandValues);
    Instruction* GlslCall(uint32_t glslInstruction, Instruction* resultType, OperandSpan operands);

    uint32_t _version;
    uint32_t _bound = 1;

    std::vector<Capability> _capabilities;
    std::vector<std::string> _extensions;
    std::unordered_map<DeterministicStringKey, Instruction*, DeterministicStringKey::Hash> _extInstImportTable;
    std::vector<Instruction*> _extInstImports;
    AddressingModel _addressingModel = static_cast<AddressingModel>(0);
    MemoryModel _memoryModel = static_cast<MemoryModel>(0);
    std::vector<Instruction*> _entryPoints;
    std::vector<Instruction*> _executionModes;
    std::vector<Instruction*> _debug;
    std::vector<Instruction*> _annotations;
    DeduplicationTable<TypeDeclarationKey> _typeDeclarations;
    std::vector<Instruction*> _typeDeclarationsList;
    // Lookup only; _constantsList keeps the order of first insertion.
    DeduplicationTable<ConstantKey> _constants;
    std::vector<Instruction*> _constantsList;
    std::vector<Instruction*> _globals;
    std::vector<Instruction*> _functionsDeclarations;
    std::vector<Instruction*> _functionsDefinitions;

    std::unique_ptr<GeneratorPool<Instruction>> _ownInstructionPool;
    std::unique_ptr<GeneratorPool<LiteralInteger>> _ownLiteralPool;
    GeneratorPool<Instruction>* _instructionPool;
    GeneratorPool<LiteralInteger>* _literalPool;
    std::deque<LiteralString> _strings;
    // Shortcuts past the type and constant tables for the most asked kinds
    // (see TypePointer, TypeArray and Constant); they give what the tables give.
    Zerivox::Common::KeyedPointerTable<Instruction> _pointerTypes;
    Zerivox::Common::KeyedPointerTable<Instruction> _scalarConstants;
    Zerivox::Common::KeyedPointerTable<Instruction> _arrayTypes;
    LiteralInteger* _storageClassLiterals[16] = {};
};

} // namespace Spv::Generator
