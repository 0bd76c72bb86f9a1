#include "Zerivox.Graphics.Shader/StructuredIr/AstBlockVisitor.h"

#include "Zerivox.Graphics.Shader/StructuredIr/AstBlock.h"
#include "Zerivox.Graphics.Shader/StructuredIr/AstHelper.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

void AstBlockVisitor::Raise(const std::vector<Handler>& handlers, AstBlock* block) {
    BlockVisitationEventArgs args{block};
    for (const Handler& handler : handlers) handler(args);
}

// Climbs out of every block whose statements are exhausted, announcing each,
// until a following node is found or the main block is reached.
void AstBlockVisitor::LeaveFinishedBlocks() {
    while (_node == nullptr && _block->Type != AstBlockType::Main && _block->Parent() != nullptr) {
        Raise(BlockLeft, _block);
        _node = AstHelper::Next(_block);
        _block = _block->Parent();
    }
}

IAstNode* AstBlockVisitor::Next() {
    if (!_active) {
        _active = true;
        _node = _block->First();
    } else {
        _node = _pending;
        LeaveFinishedBlocks();
    }

    while (_node != nullptr) {
        while (AstBlock* block = As<AstBlock>(_node)) {
            _block = block;
            _node = block->First();
            Raise(BlockEntered, _block);
        }
        if (_node != nullptr) {
            _pending = AstHelper::Next(_node);
            return _node;
        }
        LeaveFinishedBlocks();
    }

    _active = false;
    _pending = nullptr;
    return nullptr;
}

} // namespace Zerivox::Graphics::Shader::StructuredIr
