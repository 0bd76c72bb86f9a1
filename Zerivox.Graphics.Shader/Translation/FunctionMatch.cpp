#include "Zerivox.Graphics.Shader/Translation/FunctionMatch.h"

#include <algorithm>
#include <string>
#include <utility>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Common/OrderedMap.h"
#include "Zerivox.Graphics.Shader/Decoders/Block.h"
#include "Zerivox.Graphics.Shader/Decoders/DecodedFunction.h"
#include "Zerivox.Graphics.Shader/Decoders/DecodedProgram.h"
#include "Zerivox.Graphics.Shader/Decoders/InstFields.h"
#include "Zerivox.Graphics.Shader/Decoders/InstProps.h"

namespace Zerivox::Graphics::Shader::Translation {

using Decoders::Block;
using Decoders::DecodedFunction;
using Decoders::DecodedProgram;
using Decoders::InstName;
using Decoders::InstOp;
using Decoders::InstProps;
using Decoders::InstFields::Bit;
using Decoders::InstFields::Extract;
using Decoders::InstFields::Extract2;

namespace {

constexpr int PredicateTrue = 7;
constexpr int ZeroRegister = 255;

using TreeNode = FunctionMatch::TreeNode;
using TreeNodeUse = FunctionMatch::TreeNodeUse;
using PatternTreeNode = FunctionMatch::PatternTreeNode;
using PatternTreeNodeUse = FunctionMatch::PatternTreeNodeUse;
using TreeNodeType = FunctionMatch::TreeNodeType;

// Where the predicate destination of a form sits, or -1 when it has none.
int PredicateDestinationBit(InstProps props) {
    switch (Decoders::GetPdPlace(props)) {
    case InstProps::None:
        return -1;
    case InstProps::Pd:
        return 3;
    case InstProps::LPd:
        return 48;
    case InstProps::SPd:
        return 30;
    case InstProps::TPd:
        return 51;
    case InstProps::VPd:
        return 45;
    default:
        throw Common::InvalidOperationException("Table has unknown predicate destination " +
                                                std::to_string(static_cast<uint16_t>(Decoders::GetPdPlace(props))) +
                                                ".");
    }
}

// Definitions seen so far in the function, and the current list of roots.
class TreeBuilder {
  public:
    explicit TreeBuilder(FunctionMatch::Tree& tree) : _tree(tree) {}

    TreeNodeUse UsePred(int pred, bool inverted) {
        TreeNodeUse use;
        if (pred == PredicateTrue) {
            // The inversion is kept: a never-executed guard (!PT) must not
            // pass for the always-true one.
            use = TreeNodeUse{nullptr, -1, false};
        } else {
            use = Take(_predicates[static_cast<std::size_t>(pred)], pred);
        }
        if (inverted)
            use.Inverted = !use.Inverted;
        return use;
    }

    TreeNodeUse UseGpr(int reg) {
        if (reg == ZeroRegister)
            return TreeNodeUse{nullptr, -1, false};
        return Take(_registers[static_cast<std::size_t>(reg)], reg);
    }

    void DefinePredicate(int pred, TreeNode* node) {
        if (pred != PredicateTrue)
            _predicates[static_cast<std::size_t>(pred)] = TreeNodeUse{node, 0, false};
    }
    void DefineGpr(int reg, TreeNode* node, int index) {
        if (reg != ZeroRegister)
            _registers[static_cast<std::size_t>(reg)] = TreeNodeUse{node, index, false};
    }

    std::vector<TreeNode*>& Roots() { return _tree.Roots; }

  private:
    // A read makes the producer an inner node: it leaves the root list at its
    // first read (later reads find nothing to remove).
    TreeNodeUse Take(const TreeNodeUse& entry, int reg) {
        if (entry.Node == nullptr)
            return TreeNodeUse{nullptr, -(reg + 2), false};
        auto it = std::find(_tree.Roots.begin(), _tree.Roots.end(), entry.Node);
        if (it != _tree.Roots.end())
            _tree.Roots.erase(it);
        return entry;
    }

    FunctionMatch::Tree& _tree;
    std::array<TreeNodeUse, 7> _predicates{};
    std::array<TreeNodeUse, 255> _registers{};
};

// ---- Pattern trees ---------------------------------------------------------

// Operation values used by the patterns.
constexpr int LogicAnd = 0;
constexpr int LogicPassB = 3;
constexpr int ICompEq = 2;
constexpr int ICompNe = 5;
constexpr int VoteAll = 0;
constexpr int VoteAny = 1;
constexpr int XmadCfull = 0;
constexpr int XmadCbcc = 4;
constexpr int AtomSizeU32 = 0;
constexpr int RedOpAdd = 0;
constexpr int LsSize32 = 4;
constexpr int CacheOp1 = 1;

constexpr uint32_t Imm20Of(uint64_t w) { return Extract2(w, 20, 19, 56, 1); }
constexpr uint32_t Imm32Of(uint64_t w) { return Extract(w, 20, 32); }

class PatternStore {
  public:
    PatternStore() { Build(); }

    std::vector<const PatternTreeNode*> GetAddress;
    std::vector<const PatternTreeNode*> GetAddressV2;
    std::vector<const PatternTreeNode*> IsLastWarpThread;
    std::vector<const PatternTreeNode*> Begin;
    std::vector<const PatternTreeNode*> End;

  private:
    std::deque<PatternTreeNode> _nodes;

    static PatternTreeNodeUse Pt() { return PatternTreeNodeUse{nullptr, -1, false}; }
    static PatternTreeNodeUse Ext(int slot) { return PatternTreeNodeUse{nullptr, -(slot + 2), false}; }
    static PatternTreeNodeUse R(const PatternTreeNode* node, int index = 0) {
        return PatternTreeNodeUse{node, index, false};
    }
    static PatternTreeNodeUse Not(PatternTreeNodeUse use) {
        use.Inverted = !use.Inverted;
        return use;
    }

    PatternTreeNode* Node(InstName name, std::function<bool(uint64_t)> predicate, std::vector<PatternTreeNodeUse> uses,
                          bool isImm = false, uint8_t order = 0) {
        PatternTreeNode& node = _nodes.emplace_back();
        node.Name = name;
        node.Predicate = std::move(predicate);
        node.Uses = std::move(uses);
        node.IsImm = isImm;
        node.Order = order;
        return &node;
    }

    // Node builders, one per instruction shape the helpers use.
    PatternTreeNode* Bfi(uint32_t imm, std::vector<PatternTreeNodeUse> uses) {
        return Node(
            InstName::Bfi, [imm](uint64_t w) { return !Bit(w, 47) && Imm20Of(w) == imm; }, std::move(uses), true);
    }
    PatternTreeNode* Bra(std::vector<PatternTreeNodeUse> uses) {
        return Node(
            InstName::Bra, [](uint64_t w) { return Extract(w, 0, 5) == 15 && !Bit(w, 5); }, std::move(uses));
    }
    PatternTreeNode* Cal() {
        return Node(InstName::Cal, [](uint64_t w) { return !Bit(w, 5) && Bit(w, 6); }, {});
    }
    PatternTreeNode* FloU32(std::vector<PatternTreeNodeUse> uses) {
        return Node(
            InstName::Flo, [](uint64_t w) { return !Bit(w, 48) && !Bit(w, 41) && !Bit(w, 40) && !Bit(w, 47); },
            std::move(uses));
    }
    PatternTreeNode* Iadd(bool x, uint32_t slot, uint32_t offset, std::vector<PatternTreeNodeUse> uses) {
        return Node(
            InstName::Iadd,
            [=](uint64_t w) {
                return !Bit(w, 50) && !Bit(w, 47) && Bit(w, 43) == x && Extract(w, 48, 2) == 0 &&
                       Extract(w, 34, 5) == slot && Extract(w, 20, 14) == offset;
            },
            std::move(uses));
    }
    PatternTreeNode* Iadd32i(uint32_t imm, std::vector<PatternTreeNodeUse> uses) {
        return Node(
            InstName::Iadd32i,
            [imm](uint64_t w) {
                return !Bit(w, 54) && !Bit(w, 52) && !Bit(w, 53) && Extract(w, 55, 2) == 0 && Imm32Of(w) == imm;
            },
            std::move(uses));
    }
    PatternTreeNode* Iscadd(bool cc, uint32_t shift, std::vector<PatternTreeNodeUse> uses) {
        return Node(
            InstName::Iscadd,
            [=](uint64_t w) { return Bit(w, 47) == cc && Extract(w, 48, 2) == 0 && Extract(w, 39, 5) == shift; },
            std::move(uses));
    }
    PatternTreeNode* Iscadd(bool cc, uint32_t shift, uint32_t slot, uint32_t offset,
                            std::vector<PatternTreeNodeUse> uses) {
        return Node(
            InstName::Iscadd,
            [=](uint64_t w) {
                return Bit(w, 47) == cc && Extract(w, 48, 2) == 0 && Extract(w, 39, 5) == shift &&
                       Extract(w, 34, 5) == slot && Extract(w, 20, 14) == offset;
            },
            std::move(uses));
    }
    PatternTreeNode* IsetpU32(uint32_t comp, std::vector<PatternTreeNodeUse> uses) {
        return Node(
            InstName::Isetp,
            [comp](uint64_t w) { return !Bit(w, 48) && Extract(w, 49, 3) == comp && Extract(w, 45, 2) == 0; },
            std::move(uses));
    }
    PatternTreeNode* Label() {
        PatternTreeNode* node = Node(InstName::Invalid, [](uint64_t) { return true; }, {});
        node->Type = TreeNodeType::Label;
        return node;
    }
    PatternTreeNode* Lop(bool negB, uint32_t op, std::vector<PatternTreeNodeUse> uses) {
        return Node(
            InstName::Lop,
            [=](uint64_t w) {
                return !Bit(w, 39) && Bit(w, 40) == negB && !Bit(w, 47) && !Bit(w, 43) && Extract(w, 41, 2) == op &&
                       Extract(w, 44, 2) == 0;
            },
            std::move(uses));
    }
    PatternTreeNode* Lop32i(uint32_t op, uint32_t imm, std::vector<PatternTreeNodeUse> uses) {
        return Node(
            InstName::Lop32i,
            [=](uint64_t w) {
                return !Bit(w, 52) && !Bit(w, 57) && !Bit(w, 55) && !Bit(w, 56) && Extract(w, 53, 2) == op &&
                       Imm32Of(w) == imm;
            },
            std::move(uses));
    }
    PatternTreeNode* Membar(uint32_t level, std::vector<PatternTreeNodeUse> uses) {
        return Node(
            InstName::Membar, [level](uint64_t w) { return Extract(w, 8, 2) == level; }, std::move(uses));
    }
    PatternTreeNode* Popc(std::vector<PatternTreeNodeUse> uses) {
        return Node(
            InstName::Popc, [](uint64_t w) { return !Bit(w, 40); }, std::move(uses));
    }
    PatternTreeNode* Ret(std::vector<PatternTreeNodeUse> uses) {
        return Node(
            InstName::Ret, [](uint64_t w) { return Extract(w, 0, 5) == 15; }, std::move(uses));
    }
    PatternTreeNode* S2r(uint32_t reg) {
        return Node(InstName::S2r, [reg](uint64_t w) { return Extract(w, 20, 8) == reg; }, {Pt()});
    }
    PatternTreeNode* ShrU32W(uint32_t imm, std::vector<PatternTreeNodeUse> uses) {
        return Node(
            InstName::Shr,
            [imm](uint64_t w) {
                return !Bit(w, 48) && !Bit(w, 40) && Bit(w, 39) && Extract(w, 43, 2) == 0 && Imm20Of(w) == imm;
            },
            std::move(uses), true);
    }
    PatternTreeNode* LdgE(uint32_t cache, uint32_t size, uint8_t order, std::vector<PatternTreeNodeUse> uses) {
        return Node(
            InstName::Ldg,
            [=](uint64_t w) { return Bit(w, 45) && Extract(w, 46, 2) == cache && Extract(w, 48, 3) == size; },
            std::move(uses), false, order);
    }
    PatternTreeNode* RedE(uint32_t op, uint32_t size, uint8_t order, std::vector<PatternTreeNodeUse> uses) {
        return Node(
            InstName::Red,
            [=](uint64_t w) { return Bit(w, 48) && Extract(w, 23, 3) == op && Extract(w, 20, 3) == size; },
            std::move(uses), false, order);
    }
    PatternTreeNode* Vote(uint32_t mode, std::vector<PatternTreeNodeUse> uses) {
        return Node(
            InstName::Vote, [mode](uint64_t w) { return Extract(w, 48, 2) == mode; }, std::move(uses));
    }
    PatternTreeNode* Xmad(uint32_t cop, bool psl, bool mrg, bool hiloA, bool hiloB,
                          std::vector<PatternTreeNodeUse> uses) {
        return Node(
            InstName::Xmad,
            [=](uint64_t w) {
                return Extract(w, 50, 3) == cop && Bit(w, 36) == psl && Bit(w, 37) == mrg && Bit(w, 53) == hiloA &&
                       Bit(w, 35) == hiloB;
            },
            std::move(uses));
    }

    // The upper 16 bits of the value read through u equal external slot 3.
    PatternTreeNodeUse HighU16Equals(PatternTreeNodeUse u) {
        PatternTreeNode* shifted = ShrU32W(16, {Pt(), u});
        return R(IsetpU32(ICompEq, {Pt(), Pt(), R(shifted), Ext(3)}));
    }

    void Build() {
        const PatternTreeNode* s28 = S2r(28);
        const PatternTreeNode* s15 = S2r(15);
        const PatternTreeNode* s19 = S2r(19);
        const PatternTreeNode* s0 = S2r(0);

        {
            PatternTreeNode* lopA = Lop32i(LogicAnd, 0xFF, {Pt(), R(s28)});
            PatternTreeNode* lopB = Lop32i(LogicAnd, 0xFF, {Pt(), R(s15)});
            PatternTreeNode* inner = Iscadd(false, 8, {Pt(), R(lopA), R(lopB)});
            GetAddress.push_back(Iscadd(true, 2, 0, 404, {Pt(), R(inner)}));
            GetAddress.push_back(ShrU32W(16, {Pt(), R(s15)}));
            PatternTreeNode* masked = Lop32i(LogicAnd, 0xFE00, {Pt(), R(s15)});
            GetAddress.push_back(Iadd32i(0x200, {Pt(), R(masked)}));
            GetAddress.push_back(Iadd(true, 0, 405, {Pt(), Pt()}));
            GetAddress.push_back(Ret({Pt()}));
        }
        {
            GetAddressV2.push_back(ShrU32W(16, {Pt(), R(s15)}));
            PatternTreeNode* masked = Lop32i(LogicAnd, 0xFE00, {Pt(), R(s15)});
            GetAddressV2.push_back(Iadd32i(0x200, {Pt(), R(masked)}));
            PatternTreeNode* low = Lop32i(LogicAnd, 0xFF, {Pt(), R(s15)});
            PatternTreeNode* merged = Bfi(0x808, {Pt(), R(s28), R(low)});
            GetAddressV2.push_back(Iscadd(true, 2, 0, 404, {Pt(), R(merged)}));
            GetAddressV2.push_back(Iadd(true, 0, 405, {Pt(), Pt()}));
            GetAddressV2.push_back(Ret({Pt()}));
        }
        {
            PatternTreeNode* l = Lop(true, LogicPassB, {Pt(), Pt(), R(s19)});
            PatternTreeNode* c = IsetpU32(ICompNe, {Pt(), Pt(), R(l, 1), Pt()});
            PatternTreeNode* v = Vote(VoteAny, {Pt(), R(c)});
            PatternTreeNode* flo = FloU32({Pt(), R(v, 1)});
            IsLastWarpThread.push_back(IsetpU32(ICompEq, {Pt(), Pt(), R(flo), R(s0)}));
            IsLastWarpThread.push_back(Ret({Pt()}));
        }
        {
            PatternTreeNode* g0 = LdgE(CacheOp1, LsSize32, 0, {Pt(), Ext(1)});
            PatternTreeNode* g1 = LdgE(CacheOp1, LsSize32, 1, {Pt(), Ext(1)});
            PatternTreeNode* loop = Label();
            Begin.push_back(Cal());
            Begin.push_back(Ret({Not(Ext(0))}));
            Begin.push_back(Ret({HighU16Equals(R(g0))}));
            Begin.push_back(loop);
            Begin.push_back(Bra({Not(HighU16Equals(R(g1))), R(loop)}));
            Begin.push_back(Ret({Pt()}));
        }
        {
            PatternTreeNode* v = Vote(VoteAll, {Pt(), Pt()});
            PatternTreeNode* p = Popc({Pt(), R(v, 1)});
            End.push_back(Cal());
            End.push_back(Ret({Not(Ext(0))}));
            End.push_back(Membar(3, {Pt()}));
            End.push_back(Ret({R(IsetpU32(ICompNe, {Pt(), Pt(), R(s19), Pt()}))}));
            PatternTreeNode* flo = FloU32({Pt(), R(v, 1)});
            PatternTreeNode* last = IsetpU32(ICompEq, {Pt(), Pt(), R(flo), R(s0)});
            PatternTreeNode* high = Xmad(XmadCfull, false, true, false, true, {Pt(), Ext(2), R(p), Pt()});
            PatternTreeNode* low = Xmad(XmadCfull, false, false, false, false, {Pt(), Ext(2), R(p), Pt()});
            PatternTreeNode* offset = Xmad(XmadCbcc, true, false, true, true, {Pt(), Ext(2), R(high), R(low)});
            End.push_back(RedE(RedOpAdd, AtomSizeU32, 0, {R(last), Ext(1), R(offset)}));
            End.push_back(Ret({Pt()}));
        }
    }
};

const PatternStore& Patterns() {
    static const PatternStore store;
    return store;
}

bool IsAddressFunction(int slot1, int slot2, int slot3, int r4) {
    return slot1 != slot2 && slot2 != slot3 && slot1 != slot3 && slot1 + 1 != slot2 && slot1 + 1 != slot3 &&
           slot1 + 1 == r4 && slot2 != ZeroRegister && slot3 != ZeroRegister && r4 != ZeroRegister;
}

} // namespace

FunctionMatch::PatternTree FunctionMatch::PatternTrees::GetFsiGetAddress() { return Patterns().GetAddress; }
FunctionMatch::PatternTree FunctionMatch::PatternTrees::GetFsiGetAddressV2() { return Patterns().GetAddressV2; }
FunctionMatch::PatternTree FunctionMatch::PatternTrees::GetFsiIsLastWarpThread() { return Patterns().IsLastWarpThread; }
FunctionMatch::PatternTree FunctionMatch::PatternTrees::GetFsiBeginPattern() { return Patterns().Begin; }
FunctionMatch::PatternTree FunctionMatch::PatternTrees::GetFsiEndPattern() { return Patterns().End; }

bool FunctionMatch::IsOrderDependant(InstName name) {
    switch (name) {
    // Memory.
    case InstName::Ald:
    case InstName::Ast:
    case InstName::Cctl:
    case InstName::Cctll:
    case InstName::Cctlt:
    case InstName::Ld:
    case InstName::Ldc:
    case InstName::Ldg:
    case InstName::Ldl:
    case InstName::Lds:
    case InstName::St:
    case InstName::Stg:
    case InstName::Stl:
    case InstName::Sts:
    // Atomics.
    case InstName::Atom:
    case InstName::AtomCas:
    case InstName::Atoms:
    case InstName::AtomsCas:
    case InstName::Red:
    // Barriers.
    case InstName::Bar:
    case InstName::Depbar:
    case InstName::Membar:
    // Textures.
    case InstName::Tex:
    case InstName::TexB:
    case InstName::Texs:
    case InstName::TexsF16:
    case InstName::Tld:
    case InstName::TldB:
    case InstName::Tlds:
    case InstName::TldsF16:
    case InstName::Tld4:
    case InstName::Tld4B:
    case InstName::Tld4s:
    case InstName::Tld4sF16:
    case InstName::Tmml:
    case InstName::TmmlB:
    case InstName::Txa:
    case InstName::Txd:
    case InstName::TxdB:
    case InstName::Txq:
    case InstName::TxqB:
    // Surfaces.
    case InstName::SuatomB:
    case InstName::Suatom:
    case InstName::SuatomB2:
    case InstName::SuatomCasB:
    case InstName::SuatomCas:
    case InstName::SuldDB:
    case InstName::SuldD:
    case InstName::SuldB:
    case InstName::Suld:
    case InstName::SuredB:
    case InstName::Sured:
    case InstName::SustDB:
    case InstName::SustD:
    case InstName::SustB:
    case InstName::Sust:
        return true;
    default:
        return false;
    }
}

FunctionMatch::Tree FunctionMatch::BuildTree(std::span<Block* const> blocks) {
    Tree tree;
    TreeBuilder builder(tree);
    Common::OrderedMap<uint64_t, TreeNode*> labels;
    uint8_t order = 0;

    for (const Block* block : blocks) {
        if (block->Predecessors.size() > 1) {
            TreeNode* label = &tree.Nodes.emplace_back(order);
            tree.Roots.push_back(label);
            labels.Set(block->Address, label);
            order = static_cast<uint8_t>(order + 1);
        }

        for (const InstOp& op : block->Ops) {
            TreeNode* node = &tree.Nodes.emplace_back(op, IsOrderDependant(op.Name) ? order : uint8_t{0});
            const uint64_t w = op.RawOpCode;
            const InstProps props = op.Props;

            if (!Decoders::HasFlag(props, InstProps::NoPred)) {
                node->Uses.push_back(builder.UsePred(static_cast<int>(Extract(w, 16, 3)), Bit(w, 19)));
            }
            if (Decoders::HasFlag(props, InstProps::Ps)) {
                node->Uses.push_back(builder.UsePred(static_cast<int>(Extract(w, 39, 3)), Bit(w, 42)));
            }
            if (Decoders::HasFlag(props, InstProps::Ra)) {
                node->Uses.push_back(builder.UseGpr(static_cast<int>(Extract(w, 8, 8))));
            }
            if (Decoders::HasFlag(props, InstProps::Rb) || Decoders::HasFlag(props, InstProps::Rb2)) {
                const bool rb2 = Decoders::HasFlag(props, InstProps::Rb2);
                node->Uses.push_back(builder.UseGpr(static_cast<int>(rb2 ? Extract(w, 0, 8) : Extract(w, 20, 8))));
            }
            if (Decoders::HasFlag(props, InstProps::Rc)) {
                node->Uses.push_back(builder.UseGpr(static_cast<int>(Extract(w, 39, 8))));
            }
            if (op.Name == InstName::Bra) {
                // Only a branch back to a join block already seen has a label.
                if (TreeNode* const* label = labels.Find(op.GetAbsoluteAddress())) {
                    node->Uses.push_back(TreeNodeUse{*label, 0, false});
                }
            }

            const int pdBit = PredicateDestinationBit(props);
            if (pdBit >= 0)
                builder.DefinePredicate(static_cast<int>(Extract(w, pdBit, 3)), node);
            if (Decoders::HasFlag(props, InstProps::Rd)) {
                builder.DefineGpr(static_cast<int>(Extract(w, 0, 8)), node, pdBit >= 0 ? 1 : 0);
            }

            tree.Roots.push_back(node);
        }
    }
    return tree;
}

bool FunctionMatch::Matches(PatternTree pattern, std::span<TreeNode* const> tree,
                            const ExternalRegisters* externalRegisters) {
    if (pattern.size() != tree.size())
        return false;
    for (std::size_t i = 0; i < pattern.size(); i++) {
        if (!Matches(*pattern[i], *tree[i], externalRegisters))
            return false;
    }
    return true;
}

bool FunctionMatch::Matches(const PatternTreeNode& pattern, const TreeNode& node,
                            const ExternalRegisters* externalRegisters) {
    if (!pattern.Matches(node.Op) || pattern.Type != node.Type || pattern.Order != node.Order ||
        pattern.IsImm != Decoders::HasFlag(node.Op.Props, InstProps::Ib)) {
        return false;
    }
    if (pattern.Type == TreeNodeType::Label)
        return true;
    if (pattern.Uses.size() != node.Uses.size())
        return false;

    // The recursion follows the pattern, whose depth is fixed and small.
    for (std::size_t i = 0; i < pattern.Uses.size(); i++) {
        const PatternTreeNodeUse& pu = pattern.Uses[i];
        const TreeNodeUse& tu = node.Uses[i];
        if (pu.Index <= -2) {
            const int slot = -pu.Index - 2;
            if (externalRegisters == nullptr || slot >= static_cast<int>(externalRegisters->size()))
                return false;
            if ((*externalRegisters)[static_cast<std::size_t>(slot)] != -tu.Index - 2)
                return false;
        } else if (pu.Index != tu.Index) {
            return false;
        }
        if (pu.Inverted != tu.Inverted)
            return false;
        if ((pu.Node == nullptr) != (tu.Node == nullptr))
            return false;
        if (pu.Node != nullptr && !Matches(*pu.Node, *tu.Node, externalRegisters))
            return false;
    }
    return true;
}

bool FunctionMatch::MatchesFsi(PatternTree pattern, const DecodedProgram& program, DecodedFunction& function,
                               std::span<TreeNode* const> tree, ExternalRegisters& externalRegisters) {
    if (function.Blocks().empty())
        return false;
    const InstOp callOp = function.Blocks()[0]->GetLastOp();
    if (callOp.Name != InstName::Cal)
        return false;
    DecodedFunction* callee = program.GetFunctionByAddress(callOp.GetAbsoluteAddress());
    if (callee == nullptr)
        return false;

    const Tree calleeTree = BuildTree(callee->Blocks());
    if (!Matches(PatternTrees::GetFsiIsLastWarpThread(), calleeTree.Roots, nullptr))
        return false;
    // The predicate the callee leaves as its result.
    externalRegisters[0] = static_cast<uint8_t>(calleeTree.Roots[0]->GetPd());
    if (!Matches(pattern, tree, &externalRegisters))
        return false;

    callee->RemoveCaller(&function);
    return true;
}

void FunctionMatch::RunPass(DecodedProgram& program) {
    ExternalRegisters externalRegisters{};
    bool foundAddress = false;

    for (DecodedFunction* function : program) {
        if (function == program.MainFunction)
            continue;
        const Tree tree = BuildTree(function->Blocks());
        int r4 = 0;
        if (Matches(PatternTrees::GetFsiGetAddress(), tree.Roots, nullptr)) {
            externalRegisters[1] = static_cast<uint8_t>(tree.Roots[0]->GetRd());
            externalRegisters[2] = static_cast<uint8_t>(tree.Roots[2]->GetRd());
            externalRegisters[3] = static_cast<uint8_t>(tree.Roots[1]->GetRd());
            r4 = tree.Roots[3]->GetRd();
        } else if (Matches(PatternTrees::GetFsiGetAddressV2(), tree.Roots, nullptr)) {
            externalRegisters[1] = static_cast<uint8_t>(tree.Roots[2]->GetRd());
            externalRegisters[2] = static_cast<uint8_t>(tree.Roots[1]->GetRd());
            externalRegisters[3] = static_cast<uint8_t>(tree.Roots[0]->GetRd());
            r4 = tree.Roots[3]->GetRd();
        }
        // Slot 1 and r4 are the low and high words of the address, so they
        // must be a register pair; the other results must be distinct.
        if (IsAddressFunction(externalRegisters[1], externalRegisters[2], externalRegisters[3], r4)) {
            function->Type = Decoders::FunctionType::FsiGetAddress;
            foundAddress = true;
            break;
        }
    }
    if (!foundAddress)
        return;

    for (DecodedFunction* function : program) {
        if (function == program.MainFunction || function->Type != Decoders::FunctionType::User)
            continue;
        const Tree tree = BuildTree(function->Blocks());
        if (MatchesFsi(PatternTrees::GetFsiBeginPattern(), program, *function, tree.Roots, externalRegisters)) {
            function->Type = Decoders::FunctionType::FsiBegin;
        } else if (MatchesFsi(PatternTrees::GetFsiEndPattern(), program, *function, tree.Roots, externalRegisters)) {
            function->Type = Decoders::FunctionType::FsiEnd;
        }
    }
}

} // namespace Zerivox::Graphics::Shader::Translation
