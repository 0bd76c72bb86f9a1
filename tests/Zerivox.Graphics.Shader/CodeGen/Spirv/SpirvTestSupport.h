#pragma once
// Hand-built structured programs for the SPIR-V back end: a program of one
// stage with its definitions, resources and host facts, small builders for
// AST nodes, and validation and disassembly of the generated module.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "TestTools/SpirvValidator.h"
#include "Zerivox.Graphics.Shader/CodeGen/CodeGenParameters.h"
#include "Zerivox.Graphics.Shader/CodeGen/Spirv/SpirvGenerator.h"
#include "Zerivox.Graphics.Shader/Decoders/AttributeUsage.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstAssignment.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstBlock.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstTextureOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/ShaderProperties.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredFunction.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgramInfo.h"
#include "Zerivox.Graphics.Shader/Translation/FakeGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Translation/HostCapabilities.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::Testing {

namespace IR = IntermediateRepresentation;
namespace SIR = StructuredIr;
using IR::Instruction;
using IR::IoVariable;
using IR::OperandType;
using IR::StorageKind;
using SIR::AstBlock;
using SIR::AstBlockType;
using SIR::AstOperand;
using SIR::AstOperation;
using SIR::IAstNode;
using Translation::AggregateType;

// One shader of a stage with a single (entry) function; more functions can
// be added. Host facts default to the command-line tool's.
struct SpirvProgram {
    FakeGpuAccessor Accessor;
    Translation::AttributeUsage Usage{Accessor};
    std::unique_ptr<Translation::ShaderDefinitions> Definitions;
    SIR::ShaderProperties Properties;
    Translation::HostCapabilities Host;
    Translation::TargetGraphicsApi Api = Translation::TargetGraphicsApi::Vulkan;
    SIR::StructuredProgramInfo Info;
    SIR::StructuredFunction* Function = nullptr;
    AstBlock* Main = nullptr;

    explicit SpirvProgram(ShaderStage stage, GpuGraphicsState state = {}, int32_t threadsPerInputPrimitive = 1,
                          OutputTopology outputTopology = OutputTopology::TriangleStrip, int32_t maxOutputVertices = 3,
                          std::optional<Translation::TransformFeedbackOutputArray> xfb = std::nullopt) {
        if (stage == ShaderStage::Compute) {
            Definitions = std::make_unique<Translation::ShaderDefinitions>(stage, 8, 1, 1);
        } else {
            std::array<Translation::ImapPixelType, 32> imap{};
            imap.fill(
                Translation::ImapPixelType(Translation::PixelImap::Perspective, Translation::PixelImap::Perspective,
                                           Translation::PixelImap::Perspective, Translation::PixelImap::Perspective));
            Definitions = std::make_unique<Translation::ShaderDefinitions>(
                stage, state, false, threadsPerInputPrimitive, outputTopology, maxOutputVertices, imap, 0, false, false,
                true, 0, std::move(xfb));
        }
        Host.HasBarrierInDivergentCode = true;
        Host.HasFloat64 = true;
        Host.HasFragmentShaderInterlock = true;
        Function = AddFunction("main", AggregateType::Void, {}, {});
        Main = Function->MainBlock;
    }

    SIR::StructuredFunction* AddFunction(std::string name, AggregateType returnType, std::vector<AggregateType> in,
                                         std::vector<AggregateType> out) {
        AstBlock* block = Info.Arena.New<AstBlock>(AstBlockType::Main, nullptr);
        Info.Functions.push_back(std::make_unique<SIR::StructuredFunction>(block, std::move(name), returnType,
                                                                           std::move(in), std::move(out)));
        return Info.Functions.back().get();
    }

    AstOperand* Const(int32_t value) { return Info.Arena.New<AstOperand>(OperandType::Constant, value); }
    AstOperand* ConstF(float value) { return Const(std::bit_cast<int32_t>(value)); }
    AstOperand* Undefined() { return Info.Arena.New<AstOperand>(OperandType::Undefined, 0); }
    AstOperand* Argument(int32_t index) { return Info.Arena.New<AstOperand>(OperandType::Argument, index); }
    AstOperand* Local(AggregateType type, SIR::StructuredFunction* function = nullptr) {
        AstOperand* local = Info.Arena.New<AstOperand>(OperandType::LocalVariable, 0);
        local->VarType = type;
        (function != nullptr ? function : Function)->Locals.Add(local);
        return local;
    }
    AstOperation* Op(Instruction inst, std::initializer_list<IAstNode*> sources) {
        return Info.Arena.New<AstOperation>(inst, sources);
    }
    AstOperation* Op(Instruction inst, StorageKind kind, std::initializer_list<IAstNode*> sources) {
        std::vector<IAstNode*> list(sources);
        return Info.Arena.New<AstOperation>(inst, kind, false, std::span<IAstNode* const>(list),
                                            static_cast<int32_t>(list.size()));
    }
    SIR::AstTextureOperation* Texture(Instruction inst, SamplerType type, IR::TextureFlags flags, int32_t binding,
                                      int32_t index, std::initializer_list<IAstNode*> sources,
                                      TextureFormat format = TextureFormat::Unknown) {
        std::vector<IAstNode*> list(sources);
        return Info.Arena.New<SIR::AstTextureOperation>(inst, type, format, flags, 0, binding, -1, -1, index,
                                                        std::span<IAstNode* const>(list));
    }
    // Statements.
    void Add(AstBlock* block, IAstNode* node) { block->Add(node); }
    void Assign(AstBlock* block, AstOperand* destination, IAstNode* source) {
        block->Add(Info.Arena.New<SIR::AstAssignment>(destination, source));
    }
    AstBlock* Block(AstBlock* parent, AstBlockType type, IAstNode* condition = nullptr) {
        AstBlock* block = Info.Arena.New<AstBlock>(type, condition);
        parent->Add(block);
        return block;
    }
    void Io(StorageKind kind, IoVariable variable, int32_t location = 0, int32_t component = 0) {
        Info.IoDefinitions.Add(SIR::IoDefinition(kind, variable, location, component));
    }
    // A store of value into an output (or per-vertex built-in) element.
    void StoreOutput(AstBlock* block, IoVariable variable, std::initializer_list<IAstNode*> indexes, IAstNode* value) {
        std::vector<IAstNode*> sources{Const(static_cast<int32_t>(variable))};
        sources.insert(sources.end(), indexes);
        sources.push_back(value);
        block->Add(Info.Arena.New<AstOperation>(Instruction::Store, StorageKind::Output, false,
                                                std::span<IAstNode* const>(sources),
                                                static_cast<int32_t>(sources.size())));
    }

    std::vector<uint8_t> Generate() {
        CodeGen::CodeGenParameters parameters(Usage, *Definitions, Properties, Host, Accessor, Api);
        return CodeGen::Spirv::SpirvGenerator::Generate(Info, parameters);
    }
};

// The validator and disassembler are linked in; nothing to skip for.
#define ZV_REQUIRE_SPIRV_TOOLS()                                                                                       \
    do {                                                                                                               \
    } while (0)

// Empty when the module is valid for Vulkan 1.1, else the validator's complaint.
inline std::string Validate(const std::vector<uint8_t>& bytes) { return TestTools::ValidateSpirv(bytes); }

inline std::string Disassemble(const std::vector<uint8_t>& bytes) { return TestTools::DisassembleSpirv(bytes); }

// The disassembly's lines that begin with prefix (after any "%id = "), in order.
inline std::vector<std::string> Lines(const std::string& text, const std::string& opcode) {
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        std::size_t at = line.find(opcode);
        if (at != std::string::npos && (at == 0 || line[at - 1] == ' ')) {
            std::size_t after = at + opcode.size();
            if (after == line.size() || line[after] == ' ')
                result.push_back(line);
        }
        start = end + 1;
    }
    return result;
}

inline bool Contains(const std::string& text, const std::string& piece) {
    return text.find(piece) != std::string::npos;
}

} // namespace Zerivox::Graphics::Shader::Testing
