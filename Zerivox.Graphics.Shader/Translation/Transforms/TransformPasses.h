#pragma once
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"
#include "Zerivox.Graphics.Shader/Translation/Transforms/TransformContext.h"

namespace Zerivox::Graphics::Shader::Translation::Transforms {

// Runs one transform over one function. A transform T is a type with
//   static bool IsEnabled(IGpuAccessor&, ShaderStage, TargetLanguage, FeatureFlags);
//   static INode* RunPass(TransformContext&, INode* node);
// RunPass handles the operation in node and returns the node after which the
// walk continues; nodes it inserts before that node are not visited, nodes
// inserted after it are. A pass that removes the node without replacing it
// returns the node before it, or null when it was the first of its block (the
// walk then goes on at the block's new first node). Phis are not shown to
// transforms.
struct TransformPasses {
    template <typename T> static void RunPass(TransformContext& context) {
        if (!T::IsEnabled(context.GpuAccessor, context.Stage, context.TargetLanguage, context.UsedFeatures)) {
            return;
        }
        for (IntermediateRepresentation::BasicBlock* block : context.Blocks) {
            IntermediateRepresentation::INode* node = block->Operations.First();
            while (node != nullptr) {
                if (!node->IsPhi()) {
                    TransformContext copy = context;
                    node = T::RunPass(copy, node);
                    if (node == nullptr) {
                        node = block->Operations.First();
                        continue;
                    }
                }
                node = node->ListNext();
            }
        }
    }
};

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
