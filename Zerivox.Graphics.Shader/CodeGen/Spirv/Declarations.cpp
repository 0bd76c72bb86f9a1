// Inputs, outputs, built-ins and the per-vertex blocks.
#include "Zerivox.Graphics.Shader/CodeGen/Spirv/Declarations.h"
#include "Zerivox.Graphics.Shader/CodeGen/TessellationLocations.h"

#include <array>
#include <limits>
#include <string>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/CodeGen/Spirv/IoMap.h"
#include "Zerivox.Graphics.Shader/Decoders/AttributeUsage.h"
#include "Zerivox.Graphics.Shader/InputTopology.h"
#include "Zerivox.Graphics.Shader/StructuredIr/ShaderProperties.h"
#include "Zerivox.Graphics.Shader/StructuredIr/StructuredProgramInfo.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace Zerivox::Graphics::Shader::CodeGen::Spirv {

using IntermediateRepresentation::IoVariable;
using IntermediateRepresentation::StorageKind;
using Spv::Generator::LiteralInteger;
using StructuredIr::IoDefinition;
using Translation::AggregateType;
using Translation::PixelImap;
using SpvInst = Spv::Generator::Instruction;

namespace {

std::string VariableText(IoVariable variable) {
    std::string name(IntermediateRepresentation::IoVariableName(variable));
    return name.empty() ? std::to_string(static_cast<int32_t>(variable)) : name;
}

void DecorateLiteral(CodeGenContext& context, SpvInst* target, spv::Decoration decoration, int32_t value) {
    context.Decorate(target, decoration, LiteralInteger::FromInt32(value));
}

void MemberDecorateLiteral(CodeGenContext& context, SpvInst* type, int32_t member, spv::Decoration decoration,
                           int32_t value) {
    context.MemberDecorate(type, LiteralInteger::FromInt32(member), decoration, LiteralInteger::FromInt32(value));
}

bool IsTessellation(ShaderStage stage) {
    return stage == ShaderStage::TessellationControl || stage == ShaderStage::TessellationEvaluation;
}

// Vertices of the input primitive a per-vertex input is an array over.
int32_t PerVertexArrayLength(const CodeGenContext& context) {
    if (context.Definitions.Stage == ShaderStage::Geometry) {
        return InputTopologyExtensions::get_InputVertexCount(context.Definitions.get_InputTopology());
    }
    return 32;
}

void DecorateTfo(CodeGenContext& context, SpvInst* structType, IoVariable variable, int32_t member) {
    if (!context.Definitions.HasTransformFeedbackOutputs())
        return;
    const Translation::TransformFeedbackOutput* output =
        context.Definitions.TransformFeedbackVariables.Find(Translation::TransformFeedbackVariable(variable, 0, 0));
    if (output == nullptr)
        return;
    MemberDecorateLiteral(context, structType, member, spv::Decoration::XfbBuffer, output->Buffer);
    MemberDecorateLiteral(context, structType, member, spv::Decoration::XfbStride, output->Stride);
    MemberDecorateLiteral(context, structType, member, spv::Decoration::Offset, output->Offset);
}

} // namespace

void Declarations::DeclareAll(CodeGenContext& context) {
    DeclareBuffers(context, context.Properties.ConstantBuffers(), false);
    DeclareBuffers(context, context.Properties.StorageBuffers(), true);
    DeclareMemories(context, context.Properties.LocalMemories(), context.LocalMemories, spv::StorageClass::Private);
    DeclareMemories(context, context.Properties.SharedMemories(), context.SharedMemories, spv::StorageClass::Workgroup);
    DeclareSamplers(context, context.Properties.Textures());
    DeclareImages(context, context.Properties.Images());
    DeclareInputsAndOutputs(context);
}

void Declarations::DeclareInputsAndOutputs(CodeGenContext& context) {
    const Translation::ShaderDefinitions& definitions = context.Definitions;
    ShaderStage stage = definitions.Stage;

    int32_t firstLocation = std::numeric_limits<int32_t>::max();
    if (stage == ShaderStage::Fragment && definitions.GraphicsState.DualSourceBlend) {
        for (const IoDefinition& definition : context.IoDefinitions) {
            if (definition.IoVariable == IoVariable::FragmentOutputColor && definition.Location < firstLocation) {
                firstLocation = definition.Location;
            }
        }
    }

    CheckTessellationLocations(context.IoDefinitions, context.AttributeUsage, context.Definitions);

    for (const IoDefinition& definition : context.IoDefinitions) {
        PixelImap interpolation = PixelImap::Unused;
        if (stage == ShaderStage::Fragment) {
            if (definition.IoVariable == IoVariable::UserDefined) {
                if (!definitions.ImapTypes.has_value() || definition.Location < 0 ||
                    definition.Location >= static_cast<int32_t>(definitions.ImapTypes->size())) {
                    throw Common::IndexOutOfRangeException("User attribute " + std::to_string(definition.Location) +
                                                           " is beyond the input attributes.");
                }
                interpolation =
                    (*definitions.ImapTypes)[static_cast<std::size_t>(definition.Location)].GetFirstUsedType();
            } else {
                AggregateType element =
                    IoMap::GetSpirvBuiltIn(definition.IoVariable).second & AggregateType::ElementTypeMask;
                // Integer built-ins are not interpolated.
                if (element == AggregateType::S32 || element == AggregateType::U32)
                    interpolation = PixelImap::Constant;
            }
        } else if (definition.IoVariable == IoVariable::ClipDistance ||
                   definition.IoVariable == IoVariable::PointSize || definition.IoVariable == IoVariable::Position) {
            continue;
        }
        bool isOutput =
            definition.StorageKind == StorageKind::Output || definition.StorageKind == StorageKind::OutputPerPatch;
        bool isPerPatch = definition.StorageKind == StorageKind::InputPerPatch ||
                          definition.StorageKind == StorageKind::OutputPerPatch;
        DeclareInputOrOutput(context, definition, isOutput, isPerPatch, interpolation, firstLocation);
    }

    DeclarePerVertexBlock(context);
}

void Declarations::DeclareInputOrOutput(CodeGenContext& context, const IoDefinition& ioDefinition, bool isOutput,
                                        bool isPerPatch, PixelImap interpolation, int32_t firstLocation) {
    const Translation::ShaderDefinitions& definitions = context.Definitions;
    ShaderStage stage = definitions.Stage;
    IoVariable ioVariable = ioDefinition.IoVariable;
    spv::StorageClass storageClass = isOutput ? spv::StorageClass::Output : spv::StorageClass::Input;

    bool isBuiltIn = false;
    spv::BuiltIn builtIn{};
    AggregateType type;
    if (ioVariable == IoVariable::UserDefined) {
        type = definitions.GetUserDefinedType(ioDefinition.Location, isOutput);
    } else if (ioVariable == IoVariable::FragmentOutputColor) {
        type = definitions.GetFragmentOutputColorType(ioDefinition.Location);
    } else {
        auto [spirvBuiltIn, builtInType] = IoMap::GetSpirvBuiltIn(ioVariable);
        if (builtInType == AggregateType::Invalid) {
            throw Common::InvalidOperationException("Unknown variable " + VariableText(ioVariable) + ".");
        }
        isBuiltIn = true;
        builtIn = spirvBuiltIn;
        type = builtInType;
    }

    bool hasComponent = false;
    if (ioVariable == IoVariable::UserDefined && definitions.HasTransformFeedbackOutputs(isOutput)) {
        int32_t components =
            definitions.GetTransformFeedbackOutputComponents(ioDefinition.Location, ioDefinition.Component);
        AggregateType element = type & AggregateType::ElementTypeMask;
        if (components == 1) {
            type = element;
            hasComponent = true;
        } else if (components >= 2 && components <= 4) {
            type = static_cast<AggregateType>(static_cast<uint32_t>(element) |
                                              (static_cast<uint32_t>(components - 1) << 8));
        } else {
            type = element;
        }
    }

    // Viewport index read by fragment shaders or written by geometry shaders
    // needs multiple viewports; other stages write it through the layer
    // extension.
    if (ioVariable == IoVariable::ViewportIndex &&
        ((stage == ShaderStage::Fragment && !isOutput) || (stage == ShaderStage::Geometry && isOutput))) {
        context.AddCapabilityOnce(spv::Capability::MultiViewport);
    }

    SpvInst* spirvType = context.GetType(type, IoMap::GetSpirvBuiltInArrayLength(ioVariable));

    bool passthrough = false;
    if (!isPerPatch && IoMap::IsPerVertex(ioVariable, stage, isOutput)) {
        SpvInst* lengthType = context.TypeU32();
        SpvInst* length = context.Constant(lengthType, LiteralInteger::FromInt32(PerVertexArrayLength(context)));
        spirvType = context.TypeArray(spirvType, length);
        passthrough = definitions.GeometryPassthrough && context.HostCapabilities.HasGeometryShaderPassthrough;
    }
    if (stage == ShaderStage::TessellationControl && isOutput && !isPerPatch) {
        SpvInst* lengthType = context.TypeU32();
        SpvInst* length = context.Constant(lengthType, LiteralInteger::FromInt32(definitions.ThreadsPerInputPrimitive));
        spirvType = context.TypeArray(spirvType, length);
    }

    SpvInst* pointerType = context.TypePointer(storageClass, spirvType);
    SpvInst* variable = context.Variable(pointerType, storageClass);

    if (passthrough)
        context.Decorate(variable, spv::Decoration::PassthroughNV);

    if (isBuiltIn) {
        if (isPerPatch)
            context.Decorate(variable, spv::Decoration::Patch);
        if (ioVariable == IoVariable::Position)
            context.Decorate(variable, spv::Decoration::Invariant);
        DecorateLiteral(context, variable, spv::Decoration::BuiltIn, static_cast<int32_t>(builtIn));
    } else if (isPerPatch) {
        context.Decorate(variable, spv::Decoration::Patch);
        if (ioVariable == IoVariable::UserDefined) {
            int32_t location = context.AttributeUsage.GetPerPatchAttributeLocation(ioDefinition.Location);
            DecorateLiteral(context, variable, spv::Decoration::Location, location);
        }
    } else if (ioVariable == IoVariable::UserDefined) {
        DecorateLiteral(context, variable, spv::Decoration::Location, ioDefinition.Location);
        if (hasComponent)
            DecorateLiteral(context, variable, spv::Decoration::Component, ioDefinition.Component);
        if (!isOutput && ioDefinition.Location >= 0 && ioDefinition.Location < 32 &&
            (context.AttributeUsage.PassthroughAttributes & (1u << ioDefinition.Location)) != 0 &&
            context.HostCapabilities.HasGeometryShaderPassthrough) {
            context.Decorate(variable, spv::Decoration::PassthroughNV);
        }
    } else if (ioVariable == IoVariable::FragmentOutputColor) {
        int64_t index = static_cast<int64_t>(ioDefinition.Location) - firstLocation;
        if (stage == ShaderStage::Fragment && definitions.GraphicsState.DualSourceBlend && (index == 0 || index == 1)) {
            DecorateLiteral(context, variable, spv::Decoration::Location, firstLocation);
            DecorateLiteral(context, variable, spv::Decoration::Index, static_cast<int32_t>(index));
        } else {
            DecorateLiteral(context, variable, spv::Decoration::Location, ioDefinition.Location);
        }
    }

    if (isOutput && definitions.HasTransformFeedbackOutputs()) {
        const Translation::TransformFeedbackOutput* output = definitions.TransformFeedbackVariables.Find(
            Translation::TransformFeedbackVariable(ioVariable, ioDefinition.Location, ioDefinition.Component));
        if (output != nullptr) {
            DecorateLiteral(context, variable, spv::Decoration::XfbBuffer, output->Buffer);
            DecorateLiteral(context, variable, spv::Decoration::XfbStride, output->Stride);
            DecorateLiteral(context, variable, spv::Decoration::Offset, output->Offset);
        }
    }

    if (!isOutput) {
        if (interpolation == PixelImap::Constant) {
            context.Decorate(variable, spv::Decoration::Flat);
        } else if (interpolation == PixelImap::ScreenLinear) {
            context.Decorate(variable, spv::Decoration::NoPerspective);
        }
    }

    context.AddGlobalVariable(variable);
    CodeGenContext::IoMapType& map = isPerPatch ? (isOutput ? context.OutputsPerPatch : context.InputsPerPatch)
                                                : (isOutput ? context.Outputs : context.Inputs);
    CodeGenContext::AddUnique(map, ioDefinition, variable);
}

void Declarations::DeclarePerVertexBlock(CodeGenContext& context) {
    ShaderStage stage = context.Definitions.Stage;
    if (stage != ShaderStage::Vertex && stage != ShaderStage::Geometry && !IsTessellation(stage))
        return;

    if (stage != ShaderStage::Vertex) {
        SpvInst* structType = CreatePerVertexStructType(context);
        SpvInst* lengthType = context.TypeU32();
        SpvInst* length = context.Constant(lengthType, LiteralInteger::FromInt32(PerVertexArrayLength(context)));
        SpvInst* arrayType = context.TypeArray(structType, length);
        SpvInst* pointerType = context.TypePointer(spv::StorageClass::Input, arrayType);
        SpvInst* variable = context.Variable(pointerType, spv::StorageClass::Input);
        context.Name(variable, "gl_in");
        if (stage == ShaderStage::Geometry && context.Definitions.GeometryPassthrough &&
            context.HostCapabilities.HasGeometryShaderPassthrough) {
            for (int32_t member = 0; member < 4; member++) {
                context.MemberDecorate(structType, LiteralInteger::FromInt32(member), spv::Decoration::PassthroughNV);
            }
        }
        context.AddGlobalVariable(variable);
        CodeGenContext::AddUnique(context.Inputs, IoDefinition(StorageKind::Input, IoVariable::Position, 0, 0),
                                  variable);
    }

    SpvInst* structType = CreatePerVertexStructType(context);
    DecorateTfo(context, structType, IoVariable::Position, 0);
    DecorateTfo(context, structType, IoVariable::PointSize, 1);
    DecorateTfo(context, structType, IoVariable::ClipDistance, 2);
    SpvInst* variableType = structType;
    if (stage == ShaderStage::TessellationControl) {
        SpvInst* lengthType = context.TypeU32();
        SpvInst* length =
            context.Constant(lengthType, LiteralInteger::FromInt32(context.Definitions.ThreadsPerInputPrimitive));
        variableType = context.TypeArray(structType, length);
    }
    SpvInst* pointerType = context.TypePointer(spv::StorageClass::Output, variableType);
    SpvInst* variable = context.Variable(pointerType, spv::StorageClass::Output);
    context.AddGlobalVariable(variable);
    CodeGenContext::AddUnique(context.Outputs, IoDefinition(StorageKind::Output, IoVariable::Position, 0, 0), variable);
}

SpvInst* Declarations::CreatePerVertexStructType(CodeGenContext& context) {
    SpvInst* floatType = context.TypeFP32();
    SpvInst* vec4 = context.TypeVectorOf(floatType, 4);
    SpvInst* lengthType = context.TypeU32();
    SpvInst* eight = context.Constant(lengthType, LiteralInteger::FromInt32(8));
    SpvInst* clipArray = context.TypeArray(floatType, eight);
    SpvInst* one = context.Constant(lengthType, LiteralInteger::FromInt32(1));
    SpvInst* cullArray = context.TypeArray(floatType, one);
    std::array<SpvInst*, 4> members{vec4, floatType, clipArray, cullArray};
    SpvInst* structType = context.TypeStruct(true, members);

    static constexpr const char* Names[] = {"gl_Position", "gl_PointSize", "gl_ClipDistance", "gl_CullDistance"};
    static constexpr spv::BuiltIn BuiltIns[] = {spv::BuiltIn::Position, spv::BuiltIn::PointSize,
                                                spv::BuiltIn::ClipDistance, spv::BuiltIn::CullDistance};
    context.Name(structType, "gl_PerVertex");
    for (int32_t member = 0; member < 4; member++) {
        context.MemberName(structType, LiteralInteger::FromInt32(member), Names[member]);
    }
    context.Decorate(structType, spv::Decoration::Block);
    context.MemberDecorate(structType, LiteralInteger::FromInt32(0), spv::Decoration::Invariant);
    for (int32_t member = 0; member < 4; member++) {
        MemberDecorateLiteral(context, structType, member, spv::Decoration::BuiltIn,
                              static_cast<int32_t>(BuiltIns[member]));
    }
    return structType;
}

} // namespace Zerivox::Graphics::Shader::CodeGen::Spirv
