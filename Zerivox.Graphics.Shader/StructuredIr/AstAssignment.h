#pragma once
// The statement "Destination = Source".
#include "Zerivox.Graphics.Shader/StructuredIr/IAstNode.h"

namespace Zerivox::Graphics::Shader::StructuredIr {

class AstAssignment final : public AstNode {
public:
    static bool IsKind(AstNodeKind kind) { return kind == AstNodeKind::Assignment; }

    // Registers the assignment as a definition of destination and a user of source.
    AstAssignment(IAstNode* destination, IAstNode* source);

    // In every program the structurer builds, an AstOperand (a local variable
    // or an output argument).
    IAstNode* Destination() const { return _destination; }

    IAstNode* Source() const { return _source; }
    // Moves the use registration from the old source to the new one.
    void SetSource(IAstNode* source);

private:
    IAstNode* _destination;
    IAstNode* _source = nullptr;
};

} // namespace Zerivox::Graphics::Shader::StructuredIr
