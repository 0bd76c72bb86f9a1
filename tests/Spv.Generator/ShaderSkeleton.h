#pragma once
// A whole, validatable shader around whatever a test builds: the module is
// opened with the common types and an entry function whose body is left
// open for the test, and Finish closes the body, adds the entry point and
// the execution modes of the stage, and writes the module.
#include <array>
#include <functional>
#include <vector>

#include "Spv.Generator/Module.h"

namespace SpvTest {

using namespace Spv::Generator;
using SpvSpec = Spv::SpirvEnums;

enum class Stage { Compute, Fragment, Geometry };

struct ShaderSkeleton {
    Module M;
    Stage ShaderStage;
    Instruction* Void = nullptr;
    Instruction* Bool = nullptr;
    Instruction* U32 = nullptr;
    Instruction* S32 = nullptr;
    Instruction* F32 = nullptr;
    Instruction* V2F32 = nullptr;
    Instruction* V4F32 = nullptr;
    Instruction* Main = nullptr;
    std::vector<Instruction*> Interface;
    // Runs after the entry function has ended: room for further functions.
    std::function<void()> AfterMain;

    explicit ShaderSkeleton(Stage stage = Stage::Compute, GeneratorPool<Instruction>* instructions = nullptr,
                            GeneratorPool<LiteralInteger>* literals = nullptr)
        : M(0x00010300u, instructions, literals), ShaderStage(stage) {
        M.AddCapability(SpvSpec::Capability::Shader);
        if (stage == Stage::Geometry) M.AddCapability(SpvSpec::Capability::Geometry);
        M.SetMemoryModel(SpvSpec::AddressingModel::Logical, SpvSpec::MemoryModel::GLSL450);
        Void = M.TypeVoid();
        Bool = M.TypeBool();
        U32 = M.TypeInt(LiteralInteger::FromInt32(32), LiteralInteger::FromInt32(0));
        S32 = M.TypeInt(LiteralInteger::FromInt32(32), LiteralInteger::FromInt32(1));
        F32 = M.TypeFloat(LiteralInteger::FromInt32(32));
        V2F32 = M.TypeVector(F32, LiteralInteger::FromInt32(2));
        V4F32 = M.TypeVector(F32, LiteralInteger::FromInt32(4));
        Instruction* functionType = M.TypeFunction(Void, {});
        Main = M.Function(Void, SpvSpec::FunctionControlMask::MaskNone, functionType);
        M.AddFunction(Main);
        M.AddLabel(M.Label());
    }

    Instruction* U32Constant(uint32_t value) { return M.Constant(U32, LiteralInteger::FromUInt32(value)); }
    Instruction* S32Constant(int32_t value) { return M.Constant(S32, LiteralInteger::FromInt32(value)); }
    Instruction* F32Constant(float value) { return M.Constant(F32, LiteralInteger::FromFloat32(value)); }

    // terminate false: the body already ends in a terminator (OpKill).
    std::vector<uint8_t> Finish(bool terminate = true) {
        if (terminate) M.Return();
        M.FunctionEnd();
        if (AfterMain) AfterMain();
        auto one = [] { return LiteralInteger::FromInt32(1); };
        switch (ShaderStage) {
        case Stage::Compute: {
            M.AddEntryPoint(SpvSpec::ExecutionModel::GLCompute, Main, "main", Interface);
            IOperand* x = one();
            IOperand* y = one();
            IOperand* z = one();
            std::array<IOperand*, 3> size = {x, y, z};
            M.AddExecutionMode(Main, SpvSpec::ExecutionMode::LocalSize, size);
            break;
        }
        case Stage::Fragment:
            M.AddEntryPoint(SpvSpec::ExecutionModel::Fragment, Main, "main", Interface);
            M.AddExecutionMode(Main, SpvSpec::ExecutionMode::OriginUpperLeft);
            break;
        case Stage::Geometry: {
            M.AddEntryPoint(SpvSpec::ExecutionModel::Geometry, Main, "main", Interface);
            M.AddExecutionMode(Main, SpvSpec::ExecutionMode::InputPoints);
            std::array<IOperand*, 1> invocations = {one()};
            M.AddExecutionMode(Main, SpvSpec::ExecutionMode::Invocations, invocations);
            M.AddExecutionMode(Main, SpvSpec::ExecutionMode::OutputPoints);
            std::array<IOperand*, 1> vertices = {one()};
            M.AddExecutionMode(Main, SpvSpec::ExecutionMode::OutputVertices, vertices);
            break;
        }
        }
        return M.Generate();
    }
};

} // namespace SpvTest
