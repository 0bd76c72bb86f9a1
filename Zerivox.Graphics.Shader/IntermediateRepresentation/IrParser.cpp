#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrParser.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <limits>
#include <map>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {

namespace {

using Common::FormatException;

struct TextLine {
    int Number;
    std::string_view Text;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsWordChar(char c) { return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

std::vector<TextLine> SplitLines(std::string_view text) {
    std::vector<TextLine> lines;
    int number = 1;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") != std::string_view::npos) lines.push_back({number, line});
        number++;
        start = end + 1;
    }
    return lines;
}

// "B<digits>:" after leading blanks.
bool IsBlockHeader(std::string_view line) {
    std::size_t p = line.find_first_not_of(" \t");
    if (p == std::string_view::npos || line[p] != 'B') return false;
    std::size_t q = p + 1;
    while (q < line.size() && IsDigit(line[q])) q++;
    return q > p + 1 && q < line.size() && line[q] == ':';
}

class Parser {
public:
    Parser(IrArena& arena, IrTextNames* names) : _arena(arena), _names(names != nullptr ? *names : _ownNames) {
        for (uint32_t code = 0; code <= static_cast<uint32_t>(Instruction::Mask); code++) {
            std::string_view name = InstructionName(static_cast<Instruction>(code));
            if (name.empty()) break;
            _instructions.emplace(name, code);
        }
    }

    Function* ParseFunction(std::string_view text) {
        std::vector<TextLine> lines = SplitLines(text);
        if (lines.empty()) {
            _line = 1;
            Fail("a function needs a header line");
        }
        Start(lines[0]);
        std::string_view header = _text;
        std::size_t in = header.rfind(" in=");
        if (in == std::string_view::npos || in == 0) Fail("expected '<name> in=<n> out=<n>'");
        std::string name(header.substr(0, in));
        _pos = in;
        Expect(" in=");
        int inCount = Count();
        Expect(" out=");
        int outCount = Count();
        bool returns = false;
        if (Accept(" returns")) returns = true;
        ExpectEnd();
        std::vector<BasicBlock*> blocks = Blocks(std::span<const TextLine>(lines).subspan(1));
        return _arena.NewFunction(std::move(blocks), std::move(name), returns, inCount, outCount);
    }

    std::vector<BasicBlock*> ParseBlocks(std::string_view text) {
        std::vector<TextLine> lines = SplitLines(text);
        return Blocks(lines);
    }

    std::vector<Operation*> ParseOperations(std::string_view text) {
        std::vector<Operation*> operations;
        for (const TextLine& line : SplitLines(text)) {
            Start(line);
            if (IsBlockHeader(line.Text)) Fail("a block header in an operation list");
            INode* node = Node(false);
            operations.push_back(node->AsOperation());
        }
        return operations;
    }

private:
    struct BlockEdges {
        BasicBlock* Block;
        int HeaderLine;
        BasicBlock* Next = nullptr;
        BasicBlock* Branch = nullptr;
        bool HasPreds = false;
        std::vector<BasicBlock*> Preds;
    };

    std::vector<BasicBlock*> Blocks(std::span<const TextLine> lines) {
        // Blocks first: phis and edges may name a block that comes later.
        std::vector<BasicBlock*> blocks;
        for (const TextLine& line : lines) {
            if (!IsBlockHeader(line.Text)) continue;
            Start(line);
            SkipBlanks();
            int index = BlockIndex();
            BasicBlock* block = _arena.NewBlock();
            block->Index = index;
            if (!_blocks.emplace(index, block).second) Fail("block B" + std::to_string(index) + " appears twice");
            blocks.push_back(block);
        }

        std::vector<BlockEdges> edges;
        BasicBlock* current = nullptr;
        for (const TextLine& line : lines) {
            Start(line);
            if (IsBlockHeader(line.Text)) {
                SkipBlanks();
                current = _blocks.at(BlockIndex());
                edges.push_back(Header(current, line.Number));
                continue;
            }
            if (current == nullptr) Fail("an operation before the first block header");
            current->Operations.AddLast(Node(true));
        }

        for (const BlockEdges& edge : edges) {
            if (edge.Next != nullptr) edge.Block->set_Next(edge.Next);
            if (edge.Branch != nullptr) edge.Block->set_Branch(edge.Branch);
        }
        for (const BlockEdges& edge : edges) {
            if (!edge.HasPreds) continue;
            std::vector<BasicBlock*> listed = edge.Preds;
            std::vector<BasicBlock*> linked = edge.Block->Predecessors;
            auto byIndex = [](const BasicBlock* a, const BasicBlock* b) { return a->Index < b->Index; };
            std::stable_sort(listed.begin(), listed.end(), byIndex);
            std::stable_sort(linked.begin(), linked.end(), byIndex);
            if (listed != linked) {
                _line = edge.HeaderLine;
                Fail("the preds of B" + std::to_string(edge.Block->Index) +
                     " are not the blocks whose next or branch names it");
            }
            edge.Block->Predecessors = edge.Preds;
        }
        return blocks;
    }

    // After "B<n>": ": [preds B..] [next B] [branch B]".
    BlockEdges Header(BasicBlock* block, int lineNumber) {
        BlockEdges edges{block, lineNumber, nullptr, nullptr, false, {}};
        Expect(":");
        SkipBlanks();
        if (AcceptWord("preds")) {
            edges.HasPreds = true;
            SkipBlanks();
            while (!AtEnd() && Peek() == 'B') {
                edges.Preds.push_back(BlockRef());
                SkipBlanks();
            }
            if (edges.Preds.empty()) Fail("expected a block after 'preds'");
        }
        if (AcceptWord("next")) {
            SkipBlanks();
            edges.Next = BlockRef();
            SkipBlanks();
        }
        if (AcceptWord("branch")) {
            SkipBlanks();
            edges.Branch = BlockRef();
            SkipBlanks();
        }
        ExpectEnd();
        return edges;
    }

    INode* Node(bool inBlock) {
        SkipBlanks();
        if (Accept("//")) {
            std::string_view comment = _text.substr(_pos);
            if (!comment.empty() && comment.front() == ' ') comment.remove_prefix(1);
            return _arena.NewComment(comment);
        }

        std::vector<Operand*> dests;
        const bool hasDests = _text.find(" = ", _pos) != std::string_view::npos;
        if (hasDests) {
            dests.push_back(OperandToken());
            SkipBlanks();
            while (Accept(",")) {
                SkipBlanks();
                dests.push_back(OperandToken());
                SkipBlanks();
            }
            Expect("=");
            SkipBlanks();
        }

        std::string_view name = Word();
        if (name.empty()) Fail("expected an instruction name");
        if (name == "Phi") {
            if (!inBlock) Fail("a phi outside a block");
            return Phi(dests);
        }
        uint32_t inst = InstructionCode(name);

        StorageKind storageKind = StorageKind::None;
        while (Accept(".")) {
            if (Peek() == '0') {
                uint32_t flags = Hex();
                if ((flags & 0xFFFFu) != 0) Fail("instruction flags must lie above bit 15");
                inst |= flags;
                continue;
            }
            std::string_view suffix = Word();
            if (suffix == "FP32") {
                inst |= static_cast<uint32_t>(Instruction::FP32);
            } else if (suffix == "FP64") {
                inst |= static_cast<uint32_t>(Instruction::FP64);
            } else {
                storageKind = StorageKindByName(suffix);
            }
        }

        struct Texture {
            SamplerType Type = SamplerType::None;
            TextureFormat Format = TextureFormat::Unknown;
            TextureFlags Flags = TextureFlags::None;
            int32_t Set = 0;
            int32_t Binding = 0;
            int32_t SamplerSet = -1;
            int32_t SamplerBinding = -1;
        };
        bool isTexture = false;
        Texture texture;
        if (Accept("{")) {
            isTexture = true;
            texture.Type = Dimension();
            bool hasSet = false;
            bool hasBinding = false;
            while (Accept(" ")) {
                if (AcceptWord("format") && Accept("=")) {
                    texture.Format = static_cast<TextureFormat>(Int32());
                } else if (AcceptWord("set") && Accept("=")) {
                    texture.Set = Int32();
                    hasSet = true;
                } else if (AcceptWord("binding") && Accept("=")) {
                    texture.Binding = Int32();
                    hasBinding = true;
                } else if (AcceptWord("flags") && Accept("=")) {
                    texture.Flags = static_cast<TextureFlags>(Hex());
                } else if (AcceptWord("sampler") && Accept("=")) {
                    texture.SamplerSet = Int32();
                    Expect(",");
                    texture.SamplerBinding = Int32();
                } else {
                    Fail("expected format=, set=, binding=, flags= or sampler=");
                }
            }
            Expect("}");
            if (!hasSet || !hasBinding) Fail("a texture operation needs set= and binding=");
        }

        int32_t index = 0;
        if (Accept("#")) index = Int32();
        SkipBlanks();
        bool precise = AcceptWord("precise");

        const Instruction instruction = static_cast<Instruction>(inst);
        const bool labelDest = instruction == Instruction::MarkLabel || instruction == Instruction::Branch ||
                               instruction == Instruction::BranchIfTrue ||
                               instruction == Instruction::BranchIfFalse;
        std::vector<Operand*> sources;
        SkipBlanks();
        if (!AtEnd()) {
            while (true) {
                SkipBlanks();
                Operand* operand = OperandToken();
                // A branch names its target label first, as a destination.
                if (labelDest && !hasDests && sources.empty() && operand != nullptr &&
                    operand->Type == OperandType::Label) {
                    dests.push_back(operand);
                } else {
                    sources.push_back(operand);
                }
                SkipBlanks();
                if (AtEnd()) break;
                Expect(",");
            }
        }

        // The constructors take no null source: a null slot is set afterwards.
        std::vector<Operand*> initial = sources;
        for (Operand*& source : initial) {
            if (source == nullptr) source = OperandHelper::MakeUndefined(_arena);
        }
        Operation* op;
        if (isTexture) {
            TextureOperation* tex = _arena.NewTextureOperation(instruction, texture.Type, texture.Format,
                                                               texture.Flags, texture.Set, texture.Binding, index,
                                                               dests, initial);
            tex->SamplerSet = texture.SamplerSet;
            tex->SamplerBinding = texture.SamplerBinding;
            tex->StorageKind = storageKind;
            op = tex;
        } else if (dests.size() == 1 && dests[0] != nullptr) {
            op = _arena.NewOperation(instruction, storageKind, dests[0], initial);
            op->Index = index;
        } else {
            op = _arena.NewOperation(instruction, index, dests, initial);
            op->StorageKind = storageKind;
        }
        op->ForcePrecise = precise;
        for (std::size_t i = 0; i < sources.size(); i++) {
            if (sources[i] == nullptr) op->SetSource(static_cast<int>(i), nullptr);
        }
        return op;
    }

    INode* Phi(const std::vector<Operand*>& dests) {
        if (dests.size() != 1 || dests[0] == nullptr) Fail("a phi has exactly one destination");
        PhiNode* phi = _arena.NewPhi(dests[0]);
        SkipBlanks();
        bool first = true;
        while (!AtEnd()) {
            if (!first) {
                Expect(",");
                SkipBlanks();
            }
            first = false;
            Expect("[");
            BasicBlock* block = BlockRef();
            Expect(":");
            SkipBlanks();
            Operand* operand = OperandToken();
            if (operand == nullptr) Fail("a phi source cannot be null");
            Expect("]");
            if (phi->HasBlock(block)) Fail("a phi names block B" + std::to_string(block->Index) + " twice");
            phi->AddSource(block, operand);
            SkipBlanks();
        }
        return phi;
    }

    Operand* OperandToken() {
        if (AtEnd()) Fail("expected an operand");
        char c = Peek();
        if (c == '_' && !IsWordCharAt(_pos + 1)) {
            _pos++;
            return nullptr;
        }
        if (c == '%') {
            _pos++;
            int number = Count();
            auto [it, added] = _names.Locals.try_emplace(number, nullptr);
            if (added) it->second = OperandHelper::MakeLocal(_arena);
            return it->second;
        }
        if (c == 'L' && IsDigitAt(_pos + 1)) {
            _pos++;
            int number = Count();
            auto [it, added] = _names.Labels.try_emplace(number, nullptr);
            if (added) it->second = OperandHelper::MakeLabel(_arena);
            return it->second;
        }
        if ((c == 'R' || c == 'P') && IsDigitAt(_pos + 1)) {
            _pos++;
            int index = RegisterIndex();
            auto type = c == 'R' ? Decoders::RegisterType::Gpr : Decoders::RegisterType::Predicate;
            return _arena.NewOperand(Decoders::Register(index, type));
        }
        if (Accept("CC.")) {
            int index;
            if (IsDigitAt(_pos)) {
                index = RegisterIndex();
            } else {
                std::string_view flags = "ZNCV";
                std::size_t at = AtEnd() ? std::string_view::npos : flags.find(Peek());
                if (at == std::string_view::npos) Fail("expected Z, N, C, V or a number after 'CC.'");
                _pos++;
                index = static_cast<int>(at);
            }
            return _arena.NewOperand(Decoders::Register(index, Decoders::RegisterType::Flag));
        }
        if (c == 'a' && IsDigitAt(_pos + 1)) {
            _pos++;
            return OperandHelper::MakeArgument(_arena, Count());
        }
        if (c == 'c' && Accept("cb")) {
            int slot = Count();
            if (slot > 31) Fail("constant buffer slot above 31");
            Expect("[");
            int offset = Count();
            if (offset > 0x7FFFFFF) Fail("constant buffer offset above 0x7ffffff");
            Expect("]");
            return OperandHelper::MakeConstantBufferOperand(_arena, slot, offset);
        }
        if (AcceptWord("undef")) return OperandHelper::MakeUndefined(_arena);
        if (AcceptWord("inf")) return Constant(0x7F800000u);
        if (AcceptWord("-inf")) return Constant(0xFF800000u);
        if (Accept("nan:")) {
            uint32_t bits = Hex();
            float value = std::bit_cast<float>(bits);
            if (value == value) Fail("nan: names bits that are not a NaN");
            return Constant(bits);
        }
        if (c == '-' || IsDigit(c)) return Number();
        Fail("expected an operand");
    }

    Operand* Constant(uint32_t bits) {
        return OperandHelper::MakeConstant(_arena, static_cast<int32_t>(bits));
    }

    // Decimal integer (32-bit, signed or unsigned spelling) or float.
    Operand* Number() {
        std::size_t start = _pos;
        if (Peek() == '-') _pos++;
        bool isFloat = false;
        while (!AtEnd()) {
            char c = Peek();
            if (IsDigit(c)) {
                _pos++;
            } else if (c == '.' || c == 'e' || c == 'E') {
                isFloat = true;
                _pos++;
            } else if ((c == '+' || c == '-') && isFloat && (_text[_pos - 1] == 'e' || _text[_pos - 1] == 'E')) {
                _pos++;
            } else {
                break;
            }
        }
        std::string_view token = _text.substr(start, _pos - start);
        const char* first = token.data();
        const char* last = token.data() + token.size();
        if (isFloat) {
            float value = 0;
            auto result = std::from_chars(first, last, value, std::chars_format::general);
            if (result.ec != std::errc() || result.ptr != last) Fail("bad float '" + std::string(token) + "'");
            return Constant(std::bit_cast<uint32_t>(value));
        }
        int64_t value = 0;
        auto result = std::from_chars(first, last, value);
        if (result.ec != std::errc() || result.ptr != last || value < std::numeric_limits<int32_t>::min() ||
            value > static_cast<int64_t>(std::numeric_limits<uint32_t>::max())) {
            Fail("bad 32-bit integer '" + std::string(token) + "'");
        }
        return Constant(static_cast<uint32_t>(value));
    }

    SamplerType Dimension() {
        static constexpr std::pair<std::string_view, int32_t> Dimensions[] = {
            {"TextureBuffer", 2}, {"TextureCube", 5}, {"Texture1D", 1}, {"Texture2D", 3},
            {"Texture3D", 4},     {"None", 0},
        };
        int32_t type = -1;
        for (const auto& [name, value] : Dimensions) {
            if (Accept(name)) {
                type = value;
                break;
            }
        }
        if (type < 0) {
            if (!Accept("Dimension")) Fail("expected a texture dimension");
            int dimension = Count();
            if (dimension > 0xFF) Fail("texture dimension above 255");
            type = dimension;
        }
        if (Accept("Array")) type |= static_cast<int32_t>(SamplerType::Array);
        if (Accept("MS")) type |= static_cast<int32_t>(SamplerType::Multisample);
        if (Accept("Shadow")) type |= static_cast<int32_t>(SamplerType::Shadow);
        return static_cast<SamplerType>(type);
    }

    uint32_t InstructionCode(std::string_view name) {
        auto it = _instructions.find(name);
        if (it != _instructions.end()) return it->second;
        if (name.size() > 4 && name.substr(0, 4) == "Inst") {
            std::string_view digits = name.substr(4);
            uint32_t code = 0;
            auto result = std::from_chars(digits.data(), digits.data() + digits.size(), code);
            if (result.ec == std::errc() && result.ptr == digits.data() + digits.size() && code <= 0xFFFFu) {
                return code;
            }
        }
        Fail("unknown instruction '" + std::string(name) + "'");
    }

    StorageKind StorageKindByName(std::string_view name) {
        for (int32_t kind = 1;; kind++) {
            std::string_view known = StorageKindName(static_cast<StorageKind>(kind));
            if (known.empty()) break;
            if (known == name) return static_cast<StorageKind>(kind);
        }
        Fail("unknown instruction suffix '." + std::string(name) + "'");
    }

    BasicBlock* BlockRef() {
        int index = BlockIndex();
        auto it = _blocks.find(index);
        if (it == _blocks.end()) Fail("no block B" + std::to_string(index));
        return it->second;
    }

    int BlockIndex() {
        Expect("B");
        return Count();
    }

    // Unsigned decimal that fits an int.
    int Count() {
        std::size_t start = _pos;
        while (IsDigitAt(_pos)) _pos++;
        if (_pos == start) Fail("expected a number");
        int value = 0;
        auto result = std::from_chars(_text.data() + start, _text.data() + _pos, value);
        if (result.ec != std::errc()) Fail("number out of range");
        return value;
    }

    int RegisterIndex() {
        int index = Count();
        if (index > 0xFFFFFF) Fail("register index above 0xffffff");
        return index;
    }

    int32_t Int32() {
        std::size_t start = _pos;
        if (!AtEnd() && Peek() == '-') _pos++;
        while (IsDigitAt(_pos)) _pos++;
        int32_t value = 0;
        auto result = std::from_chars(_text.data() + start, _text.data() + _pos, value);
        if (_pos == start || result.ec != std::errc() || result.ptr != _text.data() + _pos) {
            Fail("expected a 32-bit integer");
        }
        return value;
    }

    uint32_t Hex() {
        Expect("0x");
        std::size_t start = _pos;
        while (_pos < _text.size() && std::isxdigit(static_cast<unsigned char>(_text[_pos]))) _pos++;
        uint32_t value = 0;
        auto result = std::from_chars(_text.data() + start, _text.data() + _pos, value, 16);
        if (_pos == start || result.ec != std::errc()) Fail("expected a 32-bit hexadecimal number");
        return value;
    }

    std::string_view Word() {
        std::size_t start = _pos;
        while (IsWordCharAt(_pos)) _pos++;
        return _text.substr(start, _pos - start);
    }

    void Start(const TextLine& line) {
        _text = line.Text;
        _pos = 0;
        _line = line.Number;
    }
    bool AtEnd() const { return _pos >= _text.size(); }
    char Peek() const { return _pos < _text.size() ? _text[_pos] : '\0'; }
    bool IsDigitAt(std::size_t p) const { return p < _text.size() && IsDigit(_text[p]); }
    bool IsWordCharAt(std::size_t p) const { return p < _text.size() && IsWordChar(_text[p]); }
    void SkipBlanks() {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t')) _pos++;
    }
    bool Accept(std::string_view token) {
        if (_text.substr(_pos, token.size()) != token) return false;
        _pos += token.size();
        return true;
    }
    // A token that must not run on into a longer word.
    bool AcceptWord(std::string_view word) {
        if (_text.substr(_pos, word.size()) != word || IsWordCharAt(_pos + word.size())) return false;
        _pos += word.size();
        return true;
    }
    void Expect(std::string_view token) {
        if (!Accept(token)) Fail("expected '" + std::string(token) + "'");
    }
    void ExpectEnd() {
        SkipBlanks();
        if (!AtEnd()) Fail("unexpected text");
    }

    [[noreturn]] void Fail(const std::string& message) const {
        std::string text = "IR text line " + std::to_string(_line) + ": " + message;
        if (!_text.empty()) {
            text += " at column " + std::to_string(_pos + 1) + " of '";
            text += _text;
            text += "'";
        }
        throw FormatException(text);
    }

    IrArena& _arena;
    IrTextNames _ownNames;
    IrTextNames& _names;
    std::unordered_map<std::string_view, uint32_t> _instructions;
    std::map<int, BasicBlock*> _blocks;

    std::string_view _text;
    std::size_t _pos = 0;
    int _line = 0;
};

}  // namespace

Function* IrParser::ParseFunction(IrArena& arena, std::string_view text, IrTextNames* names) {
    Parser parser(arena, names);
    return parser.ParseFunction(text);
}

std::vector<BasicBlock*> IrParser::ParseBlocks(IrArena& arena, std::string_view text, IrTextNames* names) {
    Parser parser(arena, names);
    return parser.ParseBlocks(text);
}

std::vector<Operation*> IrParser::ParseOperations(IrArena& arena, std::string_view text, IrTextNames* names) {
    Parser parser(arena, names);
    return parser.ParseOperations(text);
}

} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation
