#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"

#include <bit>
#include <charconv>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "Zerivox.Common/HexFormat.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/CommentNode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Function.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/PhiNode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/TextureOperation.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

namespace {

void AppendInt(std::string& out, int64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    out.append(buffer, result.ptr);
}

void AppendHex(std::string& out, uint32_t value) {
    out += "0x";
    Common::AppendHex(out, value, 1, Common::HexCase::Lower);
}

// Shortest decimal that reads back to the same binary32 value, always with a
// '.' or an exponent so that it never reads as an integer; infinities print
// as inf/-inf and every NaN as nan:0x<bits> (sign and payload kept).
void AppendFloat(std::string& out, int32_t bits) {
    float value = std::bit_cast<float>(bits);
    if (value != value) {
        out += "nan:";
        AppendHex(out, static_cast<uint32_t>(bits));
        return;
    }
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    out += text;
    if (text.find_first_of(".ein") == std::string_view::npos) out += ".0";
}

std::string_view SamplerDimensionName(SamplerType type) {
    switch (static_cast<int32_t>(type) & 0xFF) {
        case 0: return "None";
        case 1: return "Texture1D";
        case 2: return "TextureBuffer";
        case 3: return "Texture2D";
        case 4: return "Texture3D";
        case 5: return "TextureCube";
        default: return {};
    }
}

class Printer {
public:
    std::string Out;

    // Constants of a single-precision operation are float bits: they print
    // as numbers. Double-precision values never sit in one 32-bit constant
    // (they are packed from two words), so FP64 operands stay integers.
    void Source(const IntermediateRepresentation::Operand* operand, bool asFloat) {
        if (asFloat && operand != nullptr && operand->Type == OperandType::Constant) {
            AppendFloat(Out, operand->Value);
        } else {
            Operand(operand);
        }
    }

    void Operand(const IntermediateRepresentation::Operand* operand) {
        if (operand == nullptr) {
            Out += '_';
            return;
        }
        switch (operand->Type) {
            case OperandType::LocalVariable:
                Out += '%';
                AppendInt(Out, Number(_locals, operand));
                break;
            case OperandType::Label:
                Out += 'L';
                AppendInt(Out, Number(_labels, operand));
                break;
            case OperandType::Constant:
                AppendInt(Out, operand->Value);
                break;
            case OperandType::Argument:
                Out += 'a';
                AppendInt(Out, operand->Value);
                break;
            case OperandType::ConstantBuffer:
                Out += "cb";
                AppendInt(Out, operand->GetCbufSlot());
                Out += '[';
                AppendInt(Out, operand->GetCbufOffset());
                Out += ']';
                break;
            case OperandType::Undefined:
                Out += "undef";
                break;
            case OperandType::Register: {
                Decoders::Register reg = operand->GetRegister();
                switch (reg.Type) {
                    case Decoders::RegisterType::Gpr:
                        Out += 'R';
                        AppendInt(Out, reg.Index);
                        break;
                    case Decoders::RegisterType::Predicate:
                        Out += 'P';
                        AppendInt(Out, reg.Index);
                        break;
                    case Decoders::RegisterType::Flag:
                        Out += "CC.";
                        if (reg.Index >= 0 && reg.Index < 4) {
                            Out += "ZNCV"[reg.Index];
                        } else {
                            AppendInt(Out, reg.Index);
                        }
                        break;
                }
                break;
            }
            default:
                Out += '?';
                break;
        }
    }

    void Node(const INode* node) {
        if (const PhiNode* phi = node->AsPhi()) {
            Operand(phi->Dest);
            Out += " = Phi";
            bool first = true;
            for (const PhiNode::PhiSource& source : phi->PhiSources()) {
                Out += first ? " [" : ", [";
                first = false;
                BlockName(source.Block);
                Out += ": ";
                Operand(source.Operand);
                Out += ']';
            }
            return;
        }
        const Operation* op = node->AsOperation();
        if (op->Kind() == NodeKind::Comment) {
            Out += "// ";
            Out += static_cast<const CommentNode*>(op)->Comment;
            return;
        }
        bool labelDest = op->Inst == Instruction::MarkLabel || op->Inst == Instruction::Branch ||
                         op->Inst == Instruction::BranchIfTrue || op->Inst == Instruction::BranchIfFalse;
        if (op->DestsCount() > 0 && !labelDest) {
            for (int i = 0; i < op->DestsCount(); i++) {
                if (i > 0) Out += ", ";
                Operand(op->GetDest(i));
            }
            Out += " = ";
        }
        std::string_view name = InstructionName(op->Inst);
        if (name.empty()) {
            Out += "Inst";
            AppendInt(Out, InstIndex(op->Inst));
        } else {
            Out += name;
        }
        uint32_t flags = static_cast<uint32_t>(op->Inst) & 0xFFFF0000u;
        const bool floatConstants = flags == static_cast<uint32_t>(Instruction::FP32);
        if (floatConstants) {
            Out += ".FP32";
        } else if (flags == static_cast<uint32_t>(Instruction::FP64)) {
            Out += ".FP64";
        } else if (flags != 0) {
            Out += '.';
            AppendHex(Out, flags);
        }
        if (op->StorageKind != StorageKind::None) {
            Out += '.';
            Out += StorageKindName(op->StorageKind);
        }
        if (const TextureOperation* tex = op->AsTextureOperation()) {
            Out += '{';
            std::string_view dimension = SamplerDimensionName(tex->Type);
            if (dimension.empty()) {
                Out += "Dimension";
                AppendInt(Out, static_cast<int32_t>(tex->Type) & 0xFF);
            } else {
                Out += dimension;
            }
            int32_t typeFlags = static_cast<int32_t>(tex->Type);
            if (typeFlags & 0x100) Out += "Array";
            if (typeFlags & 0x200) Out += "MS";
            if (typeFlags & 0x400) Out += "Shadow";
            if (tex->Format != TextureFormat::Unknown) {
                Out += " format=";
                AppendInt(Out, static_cast<int32_t>(tex->Format));
            }
            Out += " set=";
            AppendInt(Out, tex->Set);
            Out += " binding=";
            AppendInt(Out, tex->Binding);
            if (tex->Flags != TextureFlags::None) {
                Out += " flags=";
                AppendHex(Out, static_cast<uint32_t>(tex->Flags));
            }
            if (tex->SamplerSet != -1 || tex->SamplerBinding != -1) {
                Out += " sampler=";
                AppendInt(Out, tex->SamplerSet);
                Out += ',';
                AppendInt(Out, tex->SamplerBinding);
            }
            Out += '}';
        }
        if (op->Index != 0) {
            Out += '#';
            AppendInt(Out, op->Index);
        }
        if (op->ForcePrecise) Out += " precise";
        bool first = true;
        if (labelDest) {
            for (int i = 0; i < op->DestsCount(); i++) {
                Out += first ? " " : ", ";
                first = false;
                Operand(op->GetDest(i));
            }
        }
        for (int i = 0; i < op->SourcesCount(); i++) {
            Out += first ? " " : ", ";
            first = false;
            Source(op->GetSource(i), floatConstants);
        }
    }

    void BlockName(const BasicBlock* block) {
        if (block == nullptr) {
            Out += '_';
            return;
        }
        Out += 'B';
        AppendInt(Out, block->Index);
    }

    void Block(const BasicBlock* block) {
        BlockName(block);
        Out += ':';
        if (!block->Predecessors.empty()) {
            Out += " preds";
            for (const BasicBlock* pred : block->Predecessors) {
                Out += ' ';
                BlockName(pred);
            }
        }
        if (block->Next() != nullptr) {
            Out += " next ";
            BlockName(block->Next());
        }
        if (block->Branch() != nullptr) {
            Out += " branch ";
            BlockName(block->Branch());
        }
        Out += '\n';
        for (const INode* node : block->Operations) {
            Out += "  ";
            Node(node);
            Out += '\n';
        }
    }

private:
    static int Number(std::unordered_map<const IntermediateRepresentation::Operand*, int>& map,
                      const IntermediateRepresentation::Operand* operand) {
        auto [it, inserted] = map.try_emplace(operand, static_cast<int>(map.size()));
        return it->second;
    }

    // Lookup only; numbers follow the order of first appearance in the text.
    std::unordered_map<const IntermediateRepresentation::Operand*, int> _locals;
    std::unordered_map<const IntermediateRepresentation::Operand*, int> _labels;
};

}  // namespace

std::string IrPrinter::PrintBlocks(std::span<BasicBlock* const> blocks) {
    Printer printer;
    for (const BasicBlock* block : blocks) printer.Block(block);
    return std::move(printer.Out);
}

std::string IrPrinter::PrintFunction(const Function& function) {
    Printer printer;
    printer.Out += function.Name;
    printer.Out += " in=";
    AppendInt(printer.Out, function.InArgumentCount);
    printer.Out += " out=";
    AppendInt(printer.Out, function.OutArgumentCount);
    if (function.ReturnsValue) printer.Out += " returns";
    printer.Out += '\n';
    for (const BasicBlock* block : function.Blocks) printer.Block(block);
    return std::move(printer.Out);
}

std::string IrPrinter::PrintOperations(std::span<Operation* const> operations) {
    Printer printer;
    for (const Operation* op : operations) {
        printer.Node(op);
        printer.Out += '\n';
    }
    return std::move(printer.Out);
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
