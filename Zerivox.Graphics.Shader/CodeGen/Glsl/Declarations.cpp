#include "Zerivox.Graphics.Shader/CodeGen/Glsl/Declarations.h"
#include "Zerivox.Graphics.Shader/CodeGen/TessellationLocations.h"

#include <algorithm>
#include <optional>

#include "Zerivox.Common/EmbeddedResources.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/CodeGenContext.h"
#include "Zerivox.Graphics.Shader/CodeGen/Glsl/NumberFormatter.h"
#include "Zerivox.Graphics.Shader/Decoders/AttributeUsage.h"
#include "Zerivox.Graphics.Shader/InputTopology.h"
#include "Zerivox.Graphics.Shader/OutputTopology.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstAssignment.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstBlock.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstBlockVisitor.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperand.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstTextureOperation.h"
#include "Zerivox.Graphics.Shader/StructuredIr/ShaderProperties.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredFunction.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgramInfo.h"
#include "Zerivox.Graphics.Shader/TessPatchType.h"
#include "Zerivox.Graphics.Shader/TessSpacing.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::CodeGen::Glsl {

using IntermediateRepresentation::IoVariable;
using IntermediateRepresentation::StorageKind;
using StructuredIr::IoDefinition;
using Translation::AggregateType;
using Translation::TargetGraphicsApi;

namespace {

constexpr std::string_view HelperPath = "Zerivox.Graphics.Shader/CodeGen/Glsl/HelperFunctions/";

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    std::size_t at = 0;
    while ((at = text.find(from, at)) != std::string::npos) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

std::string Decimal(int32_t value) { return std::to_string(value); }

bool IsSignedBufferAtomic(const StructuredIr::AstOperation& operation) {
    IntermediateRepresentation::Instruction code = IntermediateRepresentation::InstCode(operation.Inst);
    return operation.StorageKind == StorageKind::StorageBuffer &&
           (code == IntermediateRepresentation::Instruction::AtomicMinS32 ||
            code == IntermediateRepresentation::Instruction::AtomicMaxS32);
}

// What the text needs beyond the helpers the structurer asks for: the
// storage buffers that signed atomic minimum or maximum operations use (in
// order of first use), ordered float inequality and float texture
// coordinates, whose helpers evaluate their operands once.
void ScanProgram(CodeGenContext& context, const StructuredIr::StructuredProgramInfo& info) {
    std::vector<const StructuredIr::IAstNode*> pending;
    auto walk = [&](const StructuredIr::IAstNode* root) {
        pending.push_back(root);
        while (!pending.empty()) {
            const StructuredIr::IAstNode* current = pending.back();
            pending.pop_back();
            if (const auto* assignment = StructuredIr::As<StructuredIr::AstAssignment>(current)) {
                pending.push_back(assignment->Source());
                continue;
            }
            const auto* operation = StructuredIr::As<StructuredIr::AstOperation>(current);
            if (operation == nullptr)
                continue;
            IntermediateRepresentation::Instruction code = IntermediateRepresentation::InstCode(operation->Inst);
            if (IsSignedBufferAtomic(*operation) && operation->SourcesCount() > 0) {
                const auto* binding = StructuredIr::As<StructuredIr::AstOperand>(operation->GetSource(0));
                if (binding != nullptr && binding->Type == IntermediateRepresentation::OperandType::Constant &&
                    std::find(context.SignedAtomicBuffers.begin(), context.SignedAtomicBuffers.end(),
                              binding->Value) == context.SignedAtomicBuffers.end()) {
                    context.SignedAtomicBuffers.push_back(binding->Value);
                }
            } else if (operation->Inst == (IntermediateRepresentation::Instruction::CompareNotEqual |
                                           IntermediateRepresentation::Instruction::FP32)) {
                context.UsesOrderedNotEqual = true;
            } else if (operation->Inst == (IntermediateRepresentation::Instruction::CompareNotEqual |
                                           IntermediateRepresentation::Instruction::FP64)) {
                context.UsesOrderedNotEqualDouble = true;
            } else if (code == IntermediateRepresentation::Instruction::ImageAtomic) {
                if (const auto* texture = StructuredIr::As<StructuredIr::AstTextureOperation>(operation)) {
                    SetBindingPair key = texture->GetTextureSetAndBinding();
                    if (std::find(context.AtomicImages.begin(), context.AtomicImages.end(), key) ==
                        context.AtomicImages.end()) {
                        context.AtomicImages.push_back(key);
                    }
                }
            } else if (code == IntermediateRepresentation::Instruction::TextureSample) {
                const auto* texture = StructuredIr::As<StructuredIr::AstTextureOperation>(operation);
                if (texture != nullptr &&
                    (static_cast<uint32_t>(texture->Flags) &
                     static_cast<uint32_t>(IntermediateRepresentation::TextureFlags::IntCoords)) == 0) {
                    context.UsesFloatTextureCoordinates = true;
                }
            }
            for (const StructuredIr::IAstNode* source : operation->Sources())
                pending.push_back(source);
        }
    };
    for (const auto& function : info.Functions) {
        StructuredIr::AstBlockVisitor visitor(function->MainBlock);
        visitor.BlockEntered.push_back([&](const StructuredIr::BlockVisitationEventArgs& e) {
            if (e.Block->Condition() != nullptr)
                walk(e.Block->Condition());
        });
        for (StructuredIr::IAstNode* node : visitor.Visit())
            walk(node);
    }
}

bool WritesOutput(const StructuredIr::StructuredProgramInfo& info, IoVariable variable) {
    return info.IoDefinitions.Contains(IoDefinition(StorageKind::Output, variable, 0, 0));
}

// The transform-feedback capture of the position: gl_PerVertex redeclared
// with the position's buffer, offset and stride. A redeclared block holds
// only the members it names, so a shader that also writes the point size or
// clip distances names them too; the capture qualifiers then move onto the
// position member, since on the block they would capture every member.
void DeclarePositionCapture(CodeGenContext& context, const StructuredIr::StructuredProgramInfo& info) {
    const Translation::ShaderDefinitions& definitions = context.Definitions;
    // The position's x word is entry 0x70 / 4.
    constexpr std::size_t PositionEntry = 28;
    if (!definitions.TransformFeedbackEnabled || !definitions.IsLastVertexStage ||
        !definitions.TransformFeedbackOutputs.has_value() ||
        !(*definitions.TransformFeedbackOutputs)[PositionEntry].Valid) {
        return;
    }
    const Translation::TransformFeedbackOutput& output = (*definitions.TransformFeedbackOutputs)[PositionEntry];
    std::string suffix = definitions.Stage == ShaderStage::TessellationControl ? " gl_out[];" : ";";
    bool pointSize = WritesOutput(info, IoVariable::PointSize);
    bool clipDistance = WritesOutput(info, IoVariable::ClipDistance);
    if (!pointSize && !clipDistance) {
        context.AppendLine("layout (xfb_buffer = " + Decimal(output.Buffer) + ", xfb_offset = " +
                           Decimal(output.Offset) + ", xfb_stride = " + Decimal(output.Stride) +
                           ") out gl_PerVertex");
        context.EnterScope();
        context.AppendLine("vec4 gl_Position;");
        context.LeaveScope(suffix);
        return;
    }
    context.AppendLine("layout (xfb_buffer = " + Decimal(output.Buffer) + ", xfb_stride = " + Decimal(output.Stride) +
                       ") out gl_PerVertex");
    context.EnterScope();
    context.AppendLine("layout (xfb_offset = " + Decimal(output.Offset) + ") vec4 gl_Position;");
    if (pointSize)
        context.AppendLine("float gl_PointSize;");
    if (clipDistance)
        context.AppendLine("float gl_ClipDistance[];");
    context.LeaveScope(suffix);
}

} // namespace

std::string Declarations::GetVarTypeName(const CodeGenContext& context, AggregateType type, bool precise) {
    uint32_t bits = static_cast<uint32_t>(type);
    uint32_t count = (bits >> 8) & 3u;
    if ((bits & ~0x3FFu) == 0) {
        static constexpr const char* Names[7][4] = {
            {nullptr, nullptr, nullptr, nullptr},      {"void", nullptr, nullptr, nullptr},
            {"bool", "bvec2", "bvec3", "bvec4"},       {"float", "vec2", "vec3", "vec4"},
            {"double", "dvec2", "dvec3", "dvec4"},     {"int", "ivec2", "ivec3", "ivec4"},
            {"uint", "uvec2", "uvec3", "uvec4"},
        };
        uint32_t element = bits & 0xFFu;
        if (element < 7 && Names[element][count] != nullptr) {
            std::string name = Names[element][count];
            if (precise && element == static_cast<uint32_t>(AggregateType::FP32) &&
                !context.HostCapabilities.HasReducedPrecision) {
                return "precise " + name;
            }
            return name;
        }
    }
    throw Common::ArgumentException("Invalid variable type \"" + AggregateTypeText(type) + "\".");
}

void Declarations::DeclareLocals(CodeGenContext& context, const StructuredIr::StructuredFunction& function) {
    for (const StructuredIr::AstOperand* local : function.Locals) {
        std::string type = GetVarTypeName(context, local->VarType, true);
        std::string name = context.OperandManager.DeclareLocal(local);
        context.AppendLine(type + " " + name + ";");
    }
}

void Declarations::AppendHelperFunction(CodeGenContext& context, std::string_view resourcePath) {
    std::optional<std::string> source = Common::EmbeddedResources::ReadAllText(resourcePath);
    if (!source)
        throw Common::InvalidOperationException("The helper function \"" + std::string(resourcePath) +
                                                "\" is not built into the translator.");
    std::string text = std::move(*source);
    ReplaceAll(text, "\t", "    ");
    bool arb = context.HostCapabilities.HasArbShaderBallot;
    ReplaceAll(text, "$SUBGROUP_INVOCATION$", arb ? "gl_SubGroupInvocationARB" : "gl_SubgroupInvocationID");
    ReplaceAll(text, "$SUBGROUP_BROADCAST$", arb ? "readInvocationARB" : "subgroupBroadcast");
    context.AppendRaw(context.Indentation);
    context.AppendRaw(text);
    context.AppendLine();
    context.AppendLine();
}

bool Declarations::IsUserDefinedOutput(ShaderStage stage, const IoDefinition& definition) {
    if (definition.StorageKind != StorageKind::Output)
        return false;
    IoVariable expected = stage == ShaderStage::Fragment ? IoVariable::FragmentOutputColor : IoVariable::UserDefined;
    return definition.IoVariable == expected;
}

void Declarations::Declare(CodeGenContext& context, const StructuredIr::StructuredProgramInfo& info) {
    const Translation::ShaderDefinitions& definitions = context.Definitions;
    const Translation::HostCapabilities& host = context.HostCapabilities;
    ShaderStage stage = definitions.Stage;

    context.AppendLine(context.TargetApi == TargetGraphicsApi::Vulkan ? "#version 460 core" : "#version 450 core");
    context.AppendLine("#extension GL_ARB_gpu_shader_int64 : enable");
    if (host.HasArbShaderBallot) {
        context.AppendLine("#extension GL_ARB_shader_ballot : enable");
        // Shuffles read another invocation's value by an index that differs
        // per invocation, which only the subgroup shuffle allows.
        context.AppendLine("#extension GL_KHR_shader_subgroup_shuffle : enable");
    } else {
        context.AppendLine("#extension GL_KHR_shader_subgroup_basic : enable");
        context.AppendLine("#extension GL_KHR_shader_subgroup_ballot : enable");
        context.AppendLine("#extension GL_KHR_shader_subgroup_shuffle : enable");
    }
    context.AppendLine("#extension GL_ARB_shader_group_vote : enable");
    context.AppendLine("#extension GL_EXT_shader_image_load_formatted : enable");
    context.AppendLine("#extension GL_EXT_texture_shadow_lod : enable");
    if (stage == ShaderStage::Compute)
        context.AppendLine("#extension GL_ARB_compute_shader : enable");
    if (stage == ShaderStage::Fragment) {
        if (host.HasFragmentShaderInterlock)
            context.AppendLine("#extension GL_ARB_fragment_shader_interlock : enable");
        else if (host.HasIntelFragmentShaderOrdering)
            context.AppendLine("#extension GL_INTEL_fragment_shader_ordering : enable");
    }
    if (stage == ShaderStage::Vertex)
        context.AppendLine("#extension GL_ARB_shader_draw_parameters : enable");
    if (stage != ShaderStage::Compute && stage != ShaderStage::Fragment)
        context.AppendLine("#extension GL_ARB_shader_viewport_layer_array : enable");
    if (definitions.GeometryPassthrough && host.HasGeometryShaderPassthrough)
        context.AppendLine("#extension GL_NV_geometry_shader_passthrough : enable");
    if (host.HasViewportMask)
        context.AppendLine("#extension GL_NV_viewport_array2 : enable");

    context.AppendLine("#pragma optionNV(fastmath off)");
    context.AppendLine();
    // Not a constant: the SPIR-V module's undefined values are no constants
    // either, and glslang would fold expressions of a constant undef into
    // constant indices and reject those beyond an array.
    context.AppendLine("int undef = 0;");
    context.AppendLine();

    ScanProgram(context, info);
    const StructuredIr::ShaderProperties& properties = context.Properties;
    DeclareBuffers(context, properties.ConstantBuffers(), "uniform");
    DeclareBuffers(context, properties.StorageBuffers(), "buffer");
    DeclareMemories(context, properties.LocalMemories(), false);
    DeclareMemories(context, properties.SharedMemories(), true);
    DeclareSamplers(context, properties.Textures());
    DeclareImages(context, properties.Images());

    if (stage == ShaderStage::Compute) {
        context.AppendLine("layout (local_size_x = " + NumberFormatter::FormatInt(definitions.WorkgroupSizeX) +
                           ", local_size_y = " + NumberFormatter::FormatInt(definitions.WorkgroupSizeY) +
                           ", local_size_z = " + NumberFormatter::FormatInt(definitions.WorkgroupSizeZ) + ") in;");
        context.AppendLine();
    } else {
        if (stage == ShaderStage::Geometry) {
            std::string topology = InputTopologyExtensions::get_GlslString(definitions.get_InputTopology());
            context.AppendLine("layout (invocations = " + Decimal(definitions.ThreadsPerInputPrimitive) + ", " +
                               topology + ") in;");
            if (definitions.GeometryPassthrough && host.HasGeometryShaderPassthrough) {
                context.AppendLine("layout (passthrough) in gl_PerVertex");
                context.EnterScope();
                context.AppendLine("vec4 gl_Position;");
                context.AppendLine("float gl_PointSize;");
                context.AppendLine("float gl_ClipDistance[];");
                context.LeaveScope(";");
            } else {
                std::string output = OutputTopologyExtensions::get_GlslString(definitions.OutputTopology);
                context.AppendLine("layout (" + output + ", max_vertices = " + Decimal(definitions.MaxOutputVertices) +
                                   ") out;");
            }
            context.AppendLine();
        } else if (stage == ShaderStage::TessellationControl) {
            context.AppendLine("layout (vertices = " + Decimal(definitions.ThreadsPerInputPrimitive) + ") out;");
            context.AppendLine();
        } else if (stage == ShaderStage::TessellationEvaluation) {
            const GpuGraphicsState& state = definitions.GraphicsState;
            bool clockwise = state.TessellationClockwise;
            if (context.TargetApi == TargetGraphicsApi::Vulkan)
                clockwise = !clockwise;
            context.AppendLine(std::string("layout (") + TessPatchTypeExtensions::get_Glsl(state.TessellationPatchType) +
                               ", " + TessSpacingExtensions::get_Glsl(state.TessellationSpacing) + ", " +
                               (clockwise ? "cw" : "ccw") + ") in;");
            context.AppendLine();
        }

        IoList inputs;
        IoList outputs;
        IoList inputsPerPatch;
        IoList outputsPerPatch;
        for (const IoDefinition& definition : info.IoDefinitions) {
            if (definition.StorageKind == StorageKind::Input && definition.IoVariable == IoVariable::UserDefined)
                inputs.push_back(definition);
            if (IsUserDefinedOutput(stage, definition))
                outputs.push_back(definition);
            if (definition.StorageKind == StorageKind::InputPerPatch &&
                definition.IoVariable == IoVariable::UserDefined) {
                inputsPerPatch.push_back(definition);
            }
            if (definition.StorageKind == StorageKind::OutputPerPatch &&
                definition.IoVariable == IoVariable::UserDefined) {
                outputsPerPatch.push_back(definition);
            }
        }
        CheckTessellationLocations(info.IoDefinitions, context.AttributeUsage, context.Definitions);
        DeclareInputAttributes(context, std::move(inputs));
        DeclareOutputAttributes(context, std::move(outputs));
        DeclareInputAttributesPerPatch(context, std::move(inputsPerPatch));
        DeclareOutputAttributesPerPatch(context, std::move(outputsPerPatch));

        DeclarePositionCapture(context, info);
    }

    if (stage == ShaderStage::Fragment) {
        if (definitions.GraphicsState.EarlyFragmentTests) {
            context.AppendLine("layout (early_fragment_tests) in;");
            context.AppendLine();
        }
        if (definitions.GraphicsState.OriginUpperLeft) {
            context.AppendLine("layout (origin_upper_left) in vec4 gl_FragCoord;");
            context.AppendLine();
        }
    }

    if ((info.HelperFlags & 0x4u) != 0)
        AppendHelperFunction(context, std::string(HelperPath) + "MultiplyHighS32.glsl");
    if ((info.HelperFlags & 0x8u) != 0)
        AppendHelperFunction(context, std::string(HelperPath) + "MultiplyHighU32.glsl");
    if ((info.HelperFlags & 0x400u) != 0)
        AppendHelperFunction(context, std::string(HelperPath) + "SwizzleAdd.glsl");
    if (context.UsesOrderedNotEqual)
        AppendHelperFunction(context, std::string(HelperPath) + "OrderedNotEqual.glsl");
    if (context.UsesOrderedNotEqualDouble)
        AppendHelperFunction(context, std::string(HelperPath) + "OrderedNotEqualDouble.glsl");
    if (context.UsesFloatTextureCoordinates)
        AppendHelperFunction(context, std::string(HelperPath) + "ZeroNaN.glsl");
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Glsl
