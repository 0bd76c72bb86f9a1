#include <string>

#include "Zerivox.Graphics.Shader/Decoders/InstFieldsBarrier.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using IntermediateRepresentation::Instruction;
using Translation::EmitterContext;

namespace {

std::string BarOpText(Decoders::BarOp mode) {
    switch (mode) {
    case Decoders::BarOp::Sync:
        return "Sync";
    case Decoders::BarOp::Arv:
        return "Arv";
    case Decoders::BarOp::Red:
        return "Red";
    case Decoders::BarOp::Scan:
        return "Scan";
    case Decoders::BarOp::SyncAll:
        return "SyncAll";
    }
    return std::to_string(static_cast<int32_t>(mode));
}

} // namespace

void Bar(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstBar>();
    // Only the plain workgroup barrier has a host equivalent; the arrive,
    // reduction and scan modes are reported and dropped.
    if (op.BarOp() == Decoders::BarOp::Sync) {
        context.Add(Instruction::Barrier);
    } else {
        context.GpuAccessor().Log("Invalid barrier mode: " + BarOpText(op.BarOp()) + ".");
    }
}

void Depbar(EmitterContext&) {
    // Waiting for outstanding memory operations has no IR equivalent: the
    // host orders them itself.
}

void Membar(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstMembar>();
    context.Add(op.Membar() == 0 ? Instruction::GroupMemoryBarrier : Instruction::MemoryBarrier);
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
