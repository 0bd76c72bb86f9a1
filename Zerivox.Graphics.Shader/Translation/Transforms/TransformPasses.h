#pragma once
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/BasicBlock.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/INode.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/IrVerifier.h"
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

    // RunPass as the translation pipeline runs it: in builds that verify IR,
    // the function's IR is checked when the pass changed it, a failure naming
    // the pass. (IR the pass left alone is as valid as the pipeline's check
    // of the step before found it, and most transforms are disabled or find
    // nothing to do, so this keeps verification cheap.)
    template <typename T> static void RunPassChecked(TransformContext& context, const char* name) {
        if constexpr (IntermediateRepresentation::VerifyIrAfterPasses) {
            const uint64_t before = IntermediateRepresentation::IrVerifier::Fingerprint(context.Blocks);
            RunPass<T>(context);
            if (IntermediateRepresentation::IrVerifier::Fingerprint(context.Blocks) != before) {
                IntermediateRepresentation::IrVerifier::VerifyAfter(name, context.Blocks);
            }
        } else {
            RunPass<T>(context);
        }
    }
};

} // namespace Zerivox::Graphics::Shader::Translation::Transforms
