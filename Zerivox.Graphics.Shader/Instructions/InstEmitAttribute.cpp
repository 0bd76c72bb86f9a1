// Attribute instructions: attribute loads and stores, fragment input
// interpolation, geometry vertex emission. Fixed-function varyings (colours,
// fog, texture coordinates) move to free user attributes because the host
// has no such built-ins, and vertex/instance ids take the host's form.
#include <string>

#include "Zerivox.Graphics.Shader/Decoders/InstFieldsAttribute.h"
#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Instructions/AttributeMap.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContextInsts.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderHeader.h"
#include "Zerivox.Graphics.Shader/Translation/TranslatorContext.h"
#include "Zerivox.Graphics.Shader/Decoders/DecodedProgram.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using namespace Translation::EmitterContextInsts;
using IntermediateRepresentation::Instruction;
using IntermediateRepresentation::IoVariable;
using IntermediateRepresentation::Operand;
using IntermediateRepresentation::StorageKind;
using Translation::EmitterContext;
namespace OH = IntermediateRepresentation::OperandHelper;

namespace {

constexpr int RZ = 255;

Operand* Const(EmitterContext& context, int32_t value) { return OH::MakeConstant(context.Arena(), value); }
Operand* Reg(EmitterContext& context, int reg) { return InstEmitHelper::ReadRegister(context, reg); }

ShaderStage Stage(EmitterContext& context) { return context.Definitions().Stage; }

bool IsVulkan(EmitterContext& context) {
    return context.TranslatorContext->Options().GraphicsApi == Translation::TargetGraphicsApi::Vulkan;
}

// Attributes without a per-vertex copy.
bool HasPrimitiveVertex(int offset) { return offset != 0x060 && offset != 0x2F0 && offset != 0x2F4; }

int FixedFuncToUserAttribute(EmitterContext& context, int offset, int baseOffset, int baseIndex, bool isOutput) {
    const int ordinal = baseIndex + (offset - baseOffset) / 16;
    const int index = context.Program->AttributeUsage.GetFreeUserAttribute(isOutput, ordinal);
    if (index >= 0 && index < 16) return 0x80 + 16 * index + (offset & 0xF);
    context.GpuAccessor().Log("No enough user attributes for fixed attribute offset 0x" +
                              InstEmitHelper::ToHexUpper(static_cast<uint32_t>(offset)) + ".");
    return offset;
}

int FixedFuncToUserAttribute(EmitterContext& context, int offset, bool isOutput) {
    if (offset >= 0x280 && offset < 0x2C0) return FixedFuncToUserAttribute(context, offset, 0x280, 1, isOutput);
    if (offset == 0x2E8) return FixedFuncToUserAttribute(context, offset, 0x2E8, 0, isOutput);
    if (offset >= 0x300 && offset < 0x3A0) return FixedFuncToUserAttribute(context, offset, 0x300, 5, isOutput);
    return offset;
}

bool TryFixedFuncToUserAttributeIpa(EmitterContext& context, int offset, Operand*& value) {
    if ((offset >= 0x280 && offset < 0x2A0) || offset == 0x2E8 || (offset >= 0x300 && offset < 0x3A0)) {
        const int remapped = FixedFuncToUserAttribute(context, offset, false);
        value = AttributeMap::GenerateAttributeLoad(context, nullptr, remapped, false, false);
        return true;
    }
    if (offset >= 0x2A0 && offset < 0x2C0) {
        // Back colours are not interpolated for the front face: opaque black.
        value = OH::MakeFloatConstant(context.Arena(), ((offset >> 2) & 3) == 3 ? 1.0f : 0.0f);
        return true;
    }
    value = AttributeMap::GenerateAttributeLoad(context, nullptr, offset, false, false);
    return false;
}

bool TryConvertIdToIndexForVulkan(EmitterContext& context, int offset, Operand*& value) {
    // Only vertex shaders have instance and vertex ids; elsewhere the load
    // takes the path of an attribute the stage may not read.
    if (!IsVulkan(context) || Stage(context) != ShaderStage::Vertex)
        return false;
    if (offset == 0x2F8) {
        Operand* index = Load(context, StorageKind::Input, static_cast<int>(IoVariable::InstanceIndex));
        Operand* base = Load(context, StorageKind::Input, static_cast<int>(IoVariable::BaseInstance));
        value = ISubtract(context, index, base);
        return true;
    }
    if (offset == 0x2FC) {
        value = Load(context, StorageKind::Input, static_cast<int>(IoVariable::VertexIndex));
        return true;
    }
    return false;
}

// Location and component of user attribute byte address a + 0x80.
struct UserAddress {
    Operand* Location;
    Operand* Component;
};

UserAddress SplitUserAddress(EmitterContext& context, Operand* a) {
    Operand* four = Const(context, 4);
    Operand* location = ShiftRightU32(context, a, four);
    Operand* two = Const(context, 2);
    Operand* words = ShiftRightU32(context, a, two);
    Operand* three = Const(context, 3);
    Operand* component = BitwiseAnd(context, words, three);
    return {location, component};
}

// Byte address relative to user attribute 0 of word i of a register-indexed
// access: each word addresses the component after the previous one.
Operand* IndexedWordAddress(EmitterContext& context, Operand* ra, int i) {
    Operand* bias = Const(context, 0x80 - 4 * i);
    return ISubtract(context, ra, bias);
}

void EmitOut(EmitterContext& context, bool emit, bool cut) {
    if ((emit || cut) && Stage(context) != ShaderStage::Geometry) {
        InstEmitHelper::ThrowNotInStage(context, "OUT", "only geometry shaders emit vertices and end primitives");
    }
    if (emit) {
        if (context.Definitions().IsLastVertexStage) {
            Operand* x = nullptr;
            Operand* y = nullptr;
            Operand* z = nullptr;
            context.PrepareForVertexReturn(x, y, z);
            context.Add(Instruction::EmitVertex);
            Operand* const saved[] = {x, y, z};
            for (int i = 0; i < 3; i++) {
                if (saved[i] == nullptr) continue;
                Operand* component = Const(context, i);
                Store(context, StorageKind::Output, IoVariable::Position, component, saved[i]);
            }
        } else {
            context.Add(Instruction::EmitVertex);
        }
    }
    if (cut) context.Add(Instruction::EndPrimitive);
}

} // namespace

void Al2p(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstAl2p>();
    Operand* ra = Reg(context, op.Ra());
    Operand* imm = Const(context, op.Imm11());
    Operand* sum = IAdd(context, ra, imm);
    Operand* dest = InstEmitHelper::GetDest(context, op.Rd());
    Copy(context, dest, sum);
}

void Ald(EmitterContext& context) {
    if (Stage(context) == ShaderStage::Compute)
        InstEmitHelper::ThrowNotInStage(context, "ALD", "compute shaders have no attributes");
    const auto op = context.GetOp<Decoders::InstAld>();
    const ShaderStage stage = Stage(context);
    const bool direct = op.P() || op.Imm11() != 0 || op.Ra() == RZ;
    bool usesVertex = AttributeMap::HasPrimitiveVertex(stage, op.O()) && !op.P();
    if (direct) usesVertex = usesVertex && HasPrimitiveVertex(op.Imm11());
    Operand* primVertex = nullptr;
    if (usesVertex) {
        Operand* vertex = Reg(context, op.Rc());
        primVertex = Copy(context, vertex);
    }

    Operand* ra = direct ? nullptr : Reg(context, op.Ra());
    for (int i = 0; i <= op.Size(); i++) {
        const int rd = op.Rd() + i;
        if (rd >= RZ) break;
        Operand* value = nullptr;
        if (direct) {
            const int offset = FixedFuncToUserAttribute(context, op.Imm11() + 4 * i, op.O());
            // The tessellation coordinate exists only as an input.
            const bool isOutput = op.O() && offset != 0x2F0 && offset != 0x2F4;
            if (op.Rc() != RZ && !op.P()) {
                value = AttributeMap::GenerateAttributeLoad(context, primVertex, offset, isOutput, false);
            } else if (isOutput || op.P() || !TryConvertIdToIndexForVulkan(context, offset, value)) {
                value = AttributeMap::GenerateAttributeLoad(context, primVertex, offset, isOutput, op.P());
                const auto& definitions = context.Definitions();
                const bool scaledInput = stage == ShaderStage::Vertex && !isOutput && offset >= 0x80 &&
                                         offset < 0x280 &&
                                         (!definitions.ScaledVertexFormatsSupported || context.VertexAsCompute);
                if (scaledInput) {
                    const AttributeType type =
                        definitions.GraphicsState.AttributeTypes[static_cast<std::size_t>((offset - 0x80) / 16)];
                    if (type == AttributeType::Sscaled) {
                        value = IConvertS32ToFP32(context, value);
                    } else if (type == AttributeType::Uscaled) {
                        value = IConvertU32ToFP32(context, value);
                    }
                } else if (offset == 0x060 && definitions.GraphicsState.HalvedPrimitiveId) {
                    Operand* one = Const(context, 1);
                    value = ShiftRightS32(context, value, one);
                }
            }
        } else {
            Operand* a = IndexedWordAddress(context, ra, i);
            const UserAddress user = SplitUserAddress(context, a);
            const StorageKind kind = op.O() ? StorageKind::Output : StorageKind::Input;
            const int variable = static_cast<int>(IoVariable::UserDefined);
            value = primVertex != nullptr
                        ? Load(context, kind, variable, primVertex, user.Location, user.Component)
                        : Load(context, kind, variable, user.Location, user.Component);
        }
        Operand* dest = InstEmitHelper::GetDest(context, rd);
        Copy(context, dest, value);
    }
}

void Ast(EmitterContext& context) {
    if (Stage(context) == ShaderStage::Compute || Stage(context) == ShaderStage::Fragment) {
        InstEmitHelper::ThrowNotInStage(context, "AST",
                                        "only vertex, tessellation and geometry shaders write output attributes");
    }
    const auto op = context.GetOp<Decoders::InstAst>();
    const bool direct = op.P() || op.Imm11() != 0 || op.Ra() == RZ;
    Operand* ra = direct ? nullptr : Reg(context, op.Ra());
    for (int i = 0; i <= op.Size(); i++) {
        const int rs = op.Rd() + i;
        if (rs > RZ) break;
        if (direct) {
            const int offset = op.Imm11() + 4 * i;
            if (!context.Program->AttributeUsage.IsUsedOutputAttribute(offset)) break;
            const int remapped = FixedFuncToUserAttribute(context, offset, true);
            Operand* value = Reg(context, rs);
            AttributeMap::GenerateAttributeStore(context, remapped, op.P(), value);
        } else {
            Operand* a = IndexedWordAddress(context, ra, i);
            const UserAddress user = SplitUserAddress(context, a);
            Operand* value = Reg(context, rs);
            if (Stage(context) == ShaderStage::TessellationControl) {
                Operand* invocation = Load(context, StorageKind::Input, static_cast<int>(IoVariable::InvocationId));
                Store(context, StorageKind::Output, IoVariable::UserDefined, invocation, user.Location,
                      user.Component, value);
            } else {
                Store(context, StorageKind::Output, IoVariable::UserDefined, user.Location, user.Component, value);
            }
        }
    }
}

void Ipa(EmitterContext& context) {
    if (Stage(context) != ShaderStage::Fragment)
        InstEmitHelper::ThrowNotInStage(context, "IPA", "only fragment shaders interpolate attributes");
    const auto op = context.GetOp<Decoders::InstIpa>();
    Operand* value = nullptr;
    bool remapped = false;
    if (op.Idx()) {
        Operand* ra = Reg(context, op.Ra());
        Operand* a = IndexedWordAddress(context, ra, 0);
        const UserAddress user = SplitUserAddress(context, a);
        Operand* attribute = Load(context, StorageKind::Input, static_cast<int>(IoVariable::UserDefined),
                                  user.Location, user.Component);
        Operand* three = Const(context, 3);
        Operand* w = Load(context, StorageKind::Input, static_cast<int>(IoVariable::FragmentCoord), three);
        value = FPMultiply(context, attribute, w);
    } else {
        const int offset = op.Imm10();
        remapped = TryFixedFuncToUserAttributeIpa(context, offset, value);
        const auto& definitions = context.Definitions();
        if (offset >= 0x80 && offset < 0x280) {
            const auto& imap = definitions.ImapTypes;
            if (imap.has_value() &&
                (*imap)[static_cast<std::size_t>((offset - 0x80) / 16)].GetFirstUsedType() ==
                    Translation::PixelImap::Perspective) {
                Operand* three = Const(context, 3);
                Operand* w = Load(context, StorageKind::Input, static_cast<int>(IoVariable::FragmentCoord), three);
                value = FPMultiply(context, value, w);
            }
        } else if (offset == 0x060) {
            if (definitions.GraphicsState.HalvedPrimitiveId) {
                Operand* one = Const(context, 1);
                value = ShiftRightS32(context, value, one);
            }
        } else if (offset == 0x070 || offset == 0x074) {
            // Undo the host's resolution scale: element 0 of the support
            // buffer's render scale.
            Operand* five = Const(context, 5);
            Operand* zero = Const(context, 0);
            Operand* scale = Load(context, StorageKind::ConstantBuffer, 0, five, zero);
            value = FPDivide(context, value, scale);
            if (offset == 0x074 &&
                context.TranslatorContext->Options().GraphicsApi != Translation::TargetGraphicsApi::OpenGL &&
                definitions.GraphicsState.YNegate) {
                Operand* three = Const(context, 3);
                Operand* one = Const(context, 1);
                Operand* height = Load(context, StorageKind::ConstantBuffer, 0, three, one);
                value = FPSubtract(context, height, value);
            }
        }
    }
    if (op.IpaOp() == 1 && !remapped) {
        Operand* rb = Reg(context, op.Rb());
        value = FPMultiply(context, value, rb);
    }
    if (op.Sat()) value = FPSaturate(context, value);
    Operand* dest = InstEmitHelper::GetDest(context, op.Rd());
    Copy(context, dest, value);
}

void Isberd(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstIsberd>();
    Operand* ra = Reg(context, op.Ra());
    Operand* dest = InstEmitHelper::GetDest(context, op.Rd());
    Copy(context, dest, ra);
}

void OutR(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstOutR>();
    EmitOut(context, op.Emit(), op.Cut());
}

void OutI(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstOutI>();
    EmitOut(context, op.Emit(), op.Cut());
}

void OutC(EmitterContext& context) {
    const auto op = context.GetOp<Decoders::InstOutC>();
    EmitOut(context, op.Emit(), op.Cut());
}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
