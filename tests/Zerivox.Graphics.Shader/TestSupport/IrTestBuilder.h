#pragma once
// The one way tests build IR: from the text the IR printer writes (through
// IrParser); a test that checks operand objects by identity takes them
// from the parsed text's names (Var). Text in tests may be
// indented freely: the parse members and ZV_EXPECT_IR drop the common
// indentation of a raw string literal. The printer numbers locals and labels
// by first appearance, so a "before" text meant to compare equal with
// printed IR numbers them that way too.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrParser.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrPrinter.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/NodeList.h"

namespace Zerivox::Graphics::Shader::Testing {

namespace IR = IntermediateRepresentation;

// The text of a raw string literal as the printer would write it: the first
// line break dropped, the indentation common to all non-blank lines removed,
// trailing blanks cut, every line ended by '\n'.
inline std::string IrText(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    while (!lines.empty() && lines.front().find_first_not_of(" \t") == std::string_view::npos) lines.erase(lines.begin());
    while (!lines.empty() && lines.back().find_first_not_of(" \t") == std::string_view::npos) lines.pop_back();
    std::size_t indent = std::string_view::npos;
    for (std::string_view line : lines) {
        std::size_t first = line.find_first_not_of(" \t");
        if (first != std::string_view::npos) indent = std::min(indent, first);
    }
    std::string out;
    for (std::string_view line : lines) {
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        line.remove_prefix(std::min(indent, line.size()));
        line = line.substr(0, line.find_last_not_of(" \t") + 1);
        out += line;
        out += '\n';
    }
    return out;
}

// The whole printed IR equals the expected text (indentation as IrText).
#define ZV_EXPECT_IR(actual, expected) EXPECT_EQ(actual, ::Zerivox::Graphics::Shader::Testing::IrText(expected))

// The given lines appear in the printed IR in this order (each one a whole
// line, leading blanks ignored); other lines may come between them. Returns
// a message naming the first line not found, empty when all are there.
inline std::string FindLinesInOrder(const std::string& text, std::initializer_list<std::string_view> expected) {
    std::vector<std::string_view> lines;
    std::string_view all(text);
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find('\n', start);
        if (end == std::string_view::npos) end = all.size();
        std::string_view line = all.substr(start, end - start);
        std::size_t first = line.find_first_not_of(" \t");
        lines.push_back(first == std::string_view::npos ? std::string_view{} : line.substr(first));
        start = end + 1;
    }
    std::size_t at = 0;
    for (std::string_view want : expected) {
        while (at < lines.size() && lines[at] != want) at++;
        if (at == lines.size()) return "line not found in order: " + std::string(want) + "\nin:\n" + text;
        at++;
    }
    return {};
}

#define ZV_EXPECT_IR_LINES(text, ...) \
    EXPECT_EQ(::Zerivox::Graphics::Shader::Testing::FindLinesInOrder(text, {__VA_ARGS__}), "")

struct IrTestBuilder {
    IR::IrArena Arena;
    std::vector<IR::BasicBlock*> Blocks;
    IR::BasicBlock* Current = nullptr;
    // Operands of parsed text by their number (%N, LN).
    IR::IrTextNames Names;

    IrTestBuilder() { NewBlock(); }

    // Replaces the blocks by those of the text.
    std::vector<IR::BasicBlock*>& ParseBlocks(std::string_view text) {
        Blocks = IR::IrParser::ParseBlocks(Arena, IrText(text), &Names);
        Current = Blocks.empty() ? nullptr : Blocks.back();
        return Blocks;
    }
    // A flat operation list as the builder leaves it (MarkLabel, Branch L..).
    std::vector<IR::Operation*> ParseOperations(std::string_view text) {
        return IR::IrParser::ParseOperations(Arena, IrText(text), &Names);
    }
    IR::Function* ParseFunction(std::string_view text) {
        IR::Function* function = IR::IrParser::ParseFunction(Arena, IrText(text), &Names);
        Blocks = function->Blocks;
        Current = Blocks.empty() ? nullptr : Blocks.back();
        return function;
    }
    // %n of the parsed text.
    IR::Operand* Var(int n) const { return Names.Locals.at(n); }
    std::string Text() const { return IR::IrPrinter::PrintBlocks(Blocks); }

    IR::BasicBlock* NewBlock() {
        IR::BasicBlock* block = Arena.NewBlock();
        block->Index = static_cast<int>(Blocks.size());
        Blocks.push_back(block);
        Current = block;
        return block;
    }

    static std::vector<IR::INode*> Nodes(const IR::BasicBlock* block) {
        std::vector<IR::INode*> nodes;
        for (IR::INode* node : block->Operations)
            nodes.push_back(node);
        return nodes;
    }
};

} // namespace Zerivox::Graphics::Shader::Testing
