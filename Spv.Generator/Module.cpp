#include "Spv.Generator/Module.h"

#include <algorithm>
#include <iterator>

#include "Spv.Generator/BinaryWriter.h"
#include "Zerivox.Common/Exceptions.h"

namespace Spv::Generator {

Module::Module(uint32_t version, GeneratorPool<Instruction>* instructionPool,
               GeneratorPool<LiteralInteger>* literalPool)
    : _version(version) {
    // Room for what a typical module declares and defines, so filling the
    // lists does not reallocate each of them again and again on the way
    // (a few kilobytes; larger modules grow by doubling from here).
    _capabilities.reserve(16);
    _debug.reserve(32);
    _annotations.reserve(64);
    _typeDeclarationsList.reserve(64);
    _constantsList.reserve(64);
    _globals.reserve(32);
    _functionsDefinitions.reserve(512);
    if (instructionPool == nullptr) {
        _ownInstructionPool = std::make_unique<GeneratorPool<Instruction>>(DefaultPoolCapacity, DefaultPoolChunkSize);
        instructionPool = _ownInstructionPool.get();
    }
    if (literalPool == nullptr) {
        _ownLiteralPool = std::make_unique<GeneratorPool<LiteralInteger>>(DefaultPoolCapacity, DefaultPoolChunkSize);
        literalPool = _ownLiteralPool.get();
    }
    _instructionPool = instructionPool;
    _literalPool = literalPool;
    LiteralInteger::SetCurrentPool(_literalPool);
}

Module::~Module() {
    // A module dropped without Generate (a failed translation) must not leave
    // the thread pointing at a pool that may die with it.
    if (LiteralInteger::GetCurrentPool() == _literalPool) LiteralInteger::SetCurrentPool(nullptr);
}

void Module::ThrowIdsExhausted() {
    throw Zerivox::Common::OverflowException("SPIR-V module ran out of result ids.");
}

LiteralString* Module::NewString(std::string_view value) { return &_strings.emplace_back(value); }

void Module::AddCapability(Capability capability) { _capabilities.push_back(capability); }

void Module::AddExtension(std::string_view name) { _extensions.emplace_back(name); }

void Module::SetMemoryModel(AddressingModel addressingModel, MemoryModel memoryModel) {
    _addressingModel = addressingModel;
    _memoryModel = memoryModel;
}

Instruction* Module::AddExtInstImport(std::string_view name) {
    // Every extended instruction asks for its set, and a module imports one
    // or two: comparing with the first few imports is cheaper than building
    // and hashing a key. The table covers modules with more.
    constexpr std::size_t ScannedImports = 4;
    const std::size_t scanned = std::min(_extInstImports.size(), ScannedImports);
    for (std::size_t i = 0; i < scanned; ++i) {
        Instruction* import = _extInstImports[i];
        if (static_cast<const LiteralString*>(import->Operands.AsSpan()[0])->Value() == name) return import;
    }
    if (_extInstImports.size() > ScannedImports) {
        auto found = _extInstImportTable.find(DeterministicStringKey{std::string(name)});
        if (found != _extInstImportTable.end()) return found->second;
    }

    Instruction* import = NewInstruction(Op::OpExtInstImport);
    import->AddOperand(NewString(name));
    import->Id = TakeId();
    _extInstImportTable.emplace(DeterministicStringKey{std::string(name)}, import);
    _extInstImports.push_back(import);
    return import;
}

Instruction* Module::AddEntryPoint(ExecutionModel executionModel, Instruction* function, std::string_view name,
                                   InstructionSpan interfaces) {
    Instruction* entryPoint = NewInstruction(Op::OpEntryPoint);
    entryPoint->AddOperand(LiteralInteger::FromEnum(executionModel));
    entryPoint->AddOperand(function);
    entryPoint->AddOperand(NewString(name));
    entryPoint->AddOperand(interfaces);
    _entryPoints.push_back(entryPoint);
    return entryPoint;
}

Instruction* Module::AddExecutionMode(Instruction* function, ExecutionMode mode, OperandSpan parameters) {
    Instruction* executionMode = NewInstruction(Op::OpExecutionMode);
    executionMode->AddOperand(function);
    executionMode->AddOperand(LiteralInteger::FromEnum(mode));
    executionMode->AddOperand(parameters);
    _executionModes.push_back(executionMode);
    return executionMode;
}

void Module::AddTypeDeclaration(Instruction* type, bool forceIdAllocation) {
    // The key does not include the type's own id, so its hash holds across TakeId.
    const std::size_t hash = DeduplicationTable<TypeDeclarationKey>::Hash(type);
    if (!forceIdAllocation) {
        if (Instruction* found = _typeDeclarations.Find(type, hash)) {
            type->Id = found->Id;
            return;
        }
    }
    type->Id = TakeId();
    // After a forced declaration, later unforced equal types resolve to it.
    _typeDeclarations.Set(type, hash);
    _typeDeclarationsList.push_back(type);
}

void Module::AddConstant(Instruction* constant) {
    const std::size_t hash = DeduplicationTable<ConstantKey>::Hash(constant);
    if (Instruction* found = _constants.Find(constant, hash)) {
        constant->Id = found->Id;
        return;
    }
    constant->Id = TakeId();
    _constants.Set(constant, hash);
    _constantsList.push_back(constant);
}

void Module::AddGlobalVariable(Instruction* variable) {
    variable->Id = TakeId();
    _globals.push_back(variable);
}

void Module::AddFunction(Instruction* function) { _functionsDefinitions.push_back(function); }

Instruction* Module::ExtInst(Instruction* resultType, Instruction* set, LiteralInteger* instruction,
                             OperandSpan operands) {
    uint32_t id = TakeId();
    Instruction* extInst = NewInstruction(Op::OpExtInst, id, resultType);
    extInst->AddOperand(set);
    extInst->AddOperand(instruction);
    extInst->AddOperand(operands);
    return AddToFunctionDefinitions(extInst);
}

std::vector<uint8_t> Module::Generate() {
    // Types, global variables and constants interleave by id: an operand
    // always got its id before the instruction that refers to it, so id
    // order is definition order.
    // Each list takes its ids in the order it grows, so merging the three
    // gives what sorting them together would, in linear time; lists out of
    // order (ids changed after adding) still get the sort.
    const auto byId = [](const Instruction* a, const Instruction* b) { return a->Id < b->Id; };
    std::vector<Instruction*> declarations;
    declarations.reserve(_typeDeclarationsList.size() + _globals.size() + _constantsList.size());
    if (std::is_sorted(_typeDeclarationsList.begin(), _typeDeclarationsList.end(), byId) &&
        std::is_sorted(_globals.begin(), _globals.end(), byId) &&
        std::is_sorted(_constantsList.begin(), _constantsList.end(), byId)) {
        std::vector<Instruction*> typesAndGlobals;
        typesAndGlobals.reserve(_typeDeclarationsList.size() + _globals.size());
        std::merge(_typeDeclarationsList.begin(), _typeDeclarationsList.end(), _globals.begin(), _globals.end(),
                   std::back_inserter(typesAndGlobals), byId);
        std::merge(typesAndGlobals.begin(), typesAndGlobals.end(), _constantsList.begin(), _constantsList.end(),
                   std::back_inserter(declarations), byId);
    } else {
        declarations.insert(declarations.end(), _typeDeclarationsList.begin(), _typeDeclarationsList.end());
        declarations.insert(declarations.end(), _globals.begin(), _globals.end());
        declarations.insert(declarations.end(), _constantsList.begin(), _constantsList.end());
        std::stable_sort(declarations.begin(), declarations.end(), byId);
    }

    // Room for a typical module up front (instructions average a little over
    // four words); the writer grows when a module needs more. Its buffer is
    // not cleared, so a generous guess costs nothing but address space.
    const std::size_t instructions = _extInstImports.size() + _entryPoints.size() + _executionModes.size() +
                                     _debug.size() + _annotations.size() + declarations.size() +
                                     _functionsDeclarations.size() + _functionsDefinitions.size();
    const std::size_t bytes = 20 * instructions + 8 * _capabilities.size() + 1024;
    BinaryWriter writer(bytes);

    writer.WriteUInt32(SpirvEnums::MagicNumber);
    writer.WriteUInt32(_version);
    writer.WriteUInt32(0); // generator
    writer.WriteUInt32(_bound);
    writer.WriteUInt32(0); // schema

    // Module-level instructions without ids are written straight from their
    // values; they need no pooled objects.
    for (Capability capability : _capabilities) {
        writer.WriteUInt16(static_cast<uint16_t>(Op::OpCapability));
        writer.WriteUInt16(2);
        writer.WriteUInt32(static_cast<uint32_t>(capability));
    }
    for (const std::string& extension : _extensions) {
        LiteralString name(extension);
        uint32_t wordCount = 1 + name.GetWordCount();
        if (wordCount > 0xFFFF) {
            throw Zerivox::Common::OverflowException("SPIR-V instruction exceeds 65535 words.");
        }
        writer.WriteUInt16(static_cast<uint16_t>(Op::OpExtension));
        writer.WriteUInt16(static_cast<uint16_t>(wordCount));
        name.WriteOperand(writer);
    }
    Instruction::WriteAll(_extInstImports, writer);

    writer.WriteUInt16(static_cast<uint16_t>(Op::OpMemoryModel));
    writer.WriteUInt16(3);
    writer.WriteUInt32(static_cast<uint32_t>(_addressingModel));
    writer.WriteUInt32(static_cast<uint32_t>(_memoryModel));

    Instruction::WriteAll(_entryPoints, writer);
    Instruction::WriteAll(_executionModes, writer);
    Instruction::WriteAll(_debug, writer);
    Instruction::WriteAll(_annotations, writer);

    Instruction::WriteAll(declarations, writer);

    Instruction::WriteAll(_functionsDeclarations, writer);
    Instruction::WriteAll(_functionsDefinitions, writer);

    _instructionPool->Reset();
    _literalPool->Reset();
    if (LiteralInteger::GetCurrentPool() == _literalPool) LiteralInteger::SetCurrentPool(nullptr);

    return writer.TakeBytes();
}

} // namespace Spv::Generator
