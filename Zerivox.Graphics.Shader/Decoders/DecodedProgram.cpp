#include "Zerivox.Graphics.Shader/Decoders/DecodedProgram.h"

#include <deque>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"

namespace Zerivox::Graphics::Shader::Decoders {

// Deques keep element addresses stable while they grow, so the plain pointers
// handed out stay valid for the life of the program.
struct DecodedProgram::Storage {
    std::deque<Block> Blocks;
    std::deque<DecodedFunction> Functions;
    std::deque<PushOpInfo> PushOps;
    std::deque<IntermediateRepresentation::Operand> Locals;
};

DecodedProgram::DecodedProgram(IGpuAccessor& gpuAccessor)
    : AttributeUsage(gpuAccessor), _storage(std::make_unique<Storage>()) {}

DecodedProgram::~DecodedProgram() = default;
DecodedProgram::DecodedProgram(DecodedProgram&&) noexcept = default;
DecodedProgram& DecodedProgram::operator=(DecodedProgram&&) noexcept = default;

DecodedFunction* DecodedProgram::GetFunctionByAddress(uint64_t address) const {
    DecodedFunction* const* function = Functions.Find(address);
    return function == nullptr ? nullptr : *function;
}

Translation::IoUsage DecodedProgram::GetIoUsage() const {
    return Translation::IoUsage(UsedFeatures, ClipDistancesWritten, AttributeUsage.UsedOutputAttributes,
                                PrimitiveIdWritten);
}

Block* DecodedProgram::CreateBlock(uint64_t address) { return &_storage->Blocks.emplace_back(address); }

DecodedFunction* DecodedProgram::CreateFunction(uint64_t address) { return &_storage->Functions.emplace_back(address); }

PushOpInfo* DecodedProgram::CreatePushOpInfo(const InstOp& op) { return &_storage->PushOps.emplace_back(op); }

IntermediateRepresentation::Operand* DecodedProgram::CreateLocal() {
    return &_storage->Locals.emplace_back(IntermediateRepresentation::OperandType::LocalVariable);
}

void DecodedProgram::ReleaseCode() {
    MainFunction = nullptr;
    Functions = {};
    FunctionsById = {};
    // Fresh containers give the memory back; clear() would keep a vector's
    // capacity.
    std::deque<Block>().swap(_storage->Blocks);
    std::deque<DecodedFunction>().swap(_storage->Functions);
    std::deque<PushOpInfo>().swap(_storage->PushOps);
}

} // namespace Zerivox::Graphics::Shader::Decoders
