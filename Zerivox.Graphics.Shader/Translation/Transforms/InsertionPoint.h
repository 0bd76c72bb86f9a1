#pragma once
#include <cstdint>
#include <initializer_list>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrArena.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/NodeList.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/OperandHelper.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

// Builds new operations into a block next to an anchor node. Before the
// anchor, operations land in call order in front of it; after the anchor,
// each lands after the one inserted before it, so the sequence again reads
// in call order. Every builder appends exactly one operation, so hoist each
// into a named local: the order of the calls is the order of the IR.
class InsertionPoint {
  public:
    using INode = IntermediateRepresentation::INode;
    using Instruction = IntermediateRepresentation::Instruction;
    using Operand = IntermediateRepresentation::Operand;
    using Operation = IntermediateRepresentation::Operation;
    using StorageKind = IntermediateRepresentation::StorageKind;

    static InsertionPoint Before(INode* anchor) { return InsertionPoint(anchor, false); }
    static InsertionPoint After(INode* anchor) { return InsertionPoint(anchor, true); }

    IntermediateRepresentation::IrArena& Arena() const { return *_arena; }
    // The operation inserted last (null before the first).
    Operation* Last() const { return _last; }

    Operand* Const(int32_t value) const {
        return IntermediateRepresentation::OperandHelper::MakeConstant(*_arena, value);
    }
    Operand* NewLocal() const { return IntermediateRepresentation::OperandHelper::MakeLocal(*_arena); }

    Operation* Insert(Operation* operation) {
        if (_after) {
            _anchor->List()->AddAfter(_anchor, operation);
            _anchor = operation;
        } else {
            _anchor->List()->AddBefore(_anchor, operation);
        }
        _last = operation;
        return operation;
    }

    // inst(sources) into dest; returns dest.
    Operand* Op(Instruction inst, Operand* dest, std::initializer_list<Operand*> sources) {
        Insert(_arena->NewOperation(inst, dest, sources));
        return dest;
    }
    // inst(sources) into a new local.
    Operand* Op(Instruction inst, std::initializer_list<Operand*> sources) { return Op(inst, NewLocal(), sources); }

    Operand* Load(StorageKind kind, Operand* dest, std::initializer_list<Operand*> sources) {
        Insert(_arena->NewOperation(Instruction::Load, kind, dest, sources));
        return dest;
    }
    Operand* Load(StorageKind kind, std::initializer_list<Operand*> sources) { return Load(kind, NewLocal(), sources); }
    Operation* Store(StorageKind kind, std::initializer_list<Operand*> sources) {
        return Insert(_arena->NewOperation(Instruction::Store, kind, nullptr, sources));
    }

  private:
    InsertionPoint(INode* anchor, bool after)
        : _anchor(anchor), _arena(&anchor->AsOperation()->Arena()), _after(after) {}

    INode* _anchor;
    IntermediateRepresentation::IrArena* _arena;
    Operation* _last = nullptr;
    bool _after;
};

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
