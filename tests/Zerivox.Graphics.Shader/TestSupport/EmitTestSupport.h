#pragma once
// Fixture for instruction emitter tests, shared by every emitter family.
//
//   EmitFixture f(words);           // whole compute shader: decode + emit
//   f.Lines(0)                      // printed IR of function id 0
//   f.LinesFrom(address)            // IR from one instruction on
//   EmitInstruction(word).Lines     // IR of one instruction (followed by EXIT)
//
// Words are assembled with Testing::Inst / Testing::CodeBuilder (from
// Decoders/DecoderTestSupport.h), which put a scheduling word before every
// three instructions. The shader is decoded as a compute shader in debug
// mode, so each instruction's IR follows its "// 0x<address>: ..." comment;
// OpsAt(address) cuts out the lines of one instruction. The host is a
// DecoderGpuAccessor (FakeGpuAccessor): its Messages hold what was logged.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Zerivox.Graphics.Shader/Decoders/DecoderTestSupport.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/CommentNode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"
#include "Zerivox.Graphics.Shader/Translation/ResourceManager.h"
#include "Zerivox.Graphics.Shader/Translation/Translator.h"
#include "Zerivox.Graphics.Shader/Translation/TranslatorContext.h"

namespace Zerivox::Graphics::Shader::Testing {

inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

inline std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// Address text of a debug comment: six upper-case hex digits.
inline std::string CommentPrefix(uint64_t address) {
    static const char* digits = "0123456789ABCDEF";
    std::string hex;
    for (int shift = 20; shift >= 0; shift -= 4)
        hex += digits[(address >> shift) & 0xF];
    return "// 0x" + hex + ": ";
}

// How a fixture's shader is decoded and emitted.
struct EmitSetup {
    // Adjusts the host (constant buffer 1, graphics state, ...) before decoding.
    std::function<void(DecoderGpuAccessor&)> Prepare;
    // Runs between decoding and emission (for example to set function types).
    std::function<void(Translation::TranslatorContext&)> BeforeEmit;
    Translation::TranslationOptions Options{Translation::TargetLanguage::Spirv, Translation::TargetGraphicsApi::Vulkan,
                                            Translation::TranslationFlags::Compute |
                                                Translation::TranslationFlags::DebugMode};
};

class EmitFixture {
  public:
    explicit EmitFixture(std::vector<uint64_t> words, const EmitSetup& setup = {})
        : Accessor(std::make_unique<DecoderGpuAccessor>(std::move(words))), Context(Decode(*Accessor, setup)) {
        if (setup.BeforeEmit)
            setup.BeforeEmit(Context);
        Manager = Context.CreateResourceManager(false);
        int32_t initialization = 0;
        Codes = Translation::Translator::EmitShader(Context, *Manager, Context.Program(), false, true, initialization);
    }

    static Translation::TranslatorContext Decode(DecoderGpuAccessor& accessor, const EmitSetup& setup) {
        if (setup.Prepare)
            setup.Prepare(accessor);
        return Translation::Translator::DecodeShader(0, accessor, setup.Options);
    }

    EmitFixture(const EmitFixture&) = delete;
    EmitFixture& operator=(const EmitFixture&) = delete;

    std::string Text(std::size_t function) const {
        return IntermediateRepresentation::IrPrinter::PrintOperations(Codes.at(function));
    }
    std::vector<std::string> Lines(std::size_t function) const { return SplitLines(Text(function)); }

    // The IR lines of the instruction at address in a function: from after
    // its debug comment up to the next comment (or the end). Empty when the
    // address has no comment.
    std::vector<std::string> OpsAt(uint64_t address, std::size_t function = 0) const {
        const std::vector<std::string> lines = Lines(function);
        const std::string prefix = CommentPrefix(address);
        auto start =
            std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
        if (start == lines.end())
            return {};
        ++start;
        auto end = std::find_if(start, lines.end(), [](const std::string& l) { return l.rfind("//", 0) == 0; });
        return std::vector<std::string>(start, end);
    }

    // Every IR line from the instruction at address to the end of the
    // function, comments left out. Locals and labels are numbered from this
    // point on, so the lines do not depend on what earlier instructions emit.
    std::vector<std::string> LinesFrom(uint64_t address, std::size_t function = 0) const {
        const Translation::Translator::FunctionCode& code = Codes.at(function);
        const std::string prefix = CommentPrefix(address).substr(3); // "0x...: "
        std::size_t start = code.size();
        for (std::size_t i = 0; i < code.size(); i++) {
            if (code[i]->Inst != IntermediateRepresentation::Instruction::Comment)
                continue;
            const auto* comment = static_cast<const IntermediateRepresentation::CommentNode*>(code[i]);
            if (comment->Comment.rfind(prefix, 0) == 0) {
                start = i;
                break;
            }
        }
        std::vector<IntermediateRepresentation::Operation*> slice(code.begin() + static_cast<std::ptrdiff_t>(start),
                                                                  code.end());
        std::vector<std::string> lines;
        for (std::string& line : SplitLines(IntermediateRepresentation::IrPrinter::PrintOperations(slice))) {
            if (line.rfind("//", 0) != 0)
                lines.push_back(std::move(line));
        }
        return lines;
    }

    bool Logged(const std::string& part) const {
        return std::any_of(Accessor->Messages.begin(), Accessor->Messages.end(),
                           [&](const std::string& m) { return m.find(part) != std::string::npos; });
    }

    std::unique_ptr<DecoderGpuAccessor> Accessor;
    Translation::TranslatorContext Context;
    std::unique_ptr<Translation::ResourceManager> Manager;
    std::vector<Translation::Translator::FunctionCode> Codes;
};

// IR of a single instruction at address 8 of a compute shader that ends with
// EXIT right after it.
struct EmittedInstruction {
    std::vector<std::string> Lines;
    std::vector<std::string> Messages;
    std::string Text() const { return JoinLines(Lines); }
};

inline EmittedInstruction EmitInstruction(uint64_t word) {
    CodeBuilder code;
    const uint64_t address = code.Add(word);
    code.Add(Exit());
    EmitFixture fixture(code.Words);
    if (fixture.Lines(0).empty() || fixture.Text(0).find(CommentPrefix(address)) == std::string::npos) {
        // Never let a missing instruction pass for one that emits nothing.
        return EmittedInstruction{{"<instruction not emitted>"}, fixture.Accessor->Messages};
    }
    return EmittedInstruction{fixture.OpsAt(address), fixture.Accessor->Messages};
}

} // namespace Zerivox::Graphics::Shader::Testing
