#pragma once
#include <cstdint>
#include <vector>

#include "Zerivox.Common/OrderedMap.h"
#include "Zerivox.Graphics.Shader/ShaderStage.h"
#include "Zerivox.Graphics.Shader/Translation/HelperFunctionName.h"

namespace Zerivox::Graphics::Shader::IntermediateRepresentation {
class Function;
class IrArena;
class Operand;
} // namespace Zerivox::Graphics::Shader::IntermediateRepresentation

namespace Zerivox::Graphics::Shader::Translation {

class EmitterContext;

// Per-translation cache of the IR helper functions the translator generates
// (soft float64 conversions, shared-memory CAS loops, Maxwell shuffles,
// render-scale corrections). A helper is generated on its first request and
// appended to the program's function list; its id is its position there, so
// Call operations made earlier stay valid when more functions are added.
class HelperFunctionManager {
  public:
    using Function = IntermediateRepresentation::Function;

    // `functions` is the program's function list, shared with the pipeline
    // and the passes; `arena` is the translation's IR storage.
    HelperFunctionManager(IntermediateRepresentation::IrArena& arena, std::vector<Function*>& functions,
                          ShaderStage stage);

    HelperFunctionManager(const HelperFunctionManager&) = delete;
    HelperFunctionManager& operator=(const HelperFunctionManager&) = delete;

    std::vector<Function*>& Functions() { return *_functions; }
    IntermediateRepresentation::IrArena& Arena() { return *_arena; }
    ShaderStage Stage() const { return _stage; }

    // ConvertDoubleToFloat, ConvertFloatToDouble, TexelFetchScale,
    // TextureSizeUnscale. Any other name throws ArgumentException.
    int32_t GetOrCreateFunctionId(HelperFunctionName functionName);
    // SharedAtomicMaxS32, SharedAtomicMinS32, SharedStore8, SharedStore16 of
    // shared memory `id`.
    int32_t GetOrCreateFunctionId(HelperFunctionName functionName, int32_t id);
    // The four shuffles for a host subgroup of `subgroupSize` lanes. Keyed by
    // name only: the subgroup size of a translation never changes.
    int32_t GetOrCreateShuffleFunctionId(HelperFunctionName functionName, int32_t subgroupSize);

    // Bit position of the byte at `byteOffset` within its 32-bit word.
    static IntermediateRepresentation::Operand* GetBitOffset(EmitterContext& context,
                                                             IntermediateRepresentation::Operand* byteOffset);

  private:
    int32_t AddFunction(int32_t key, Function* function);

    Function* GenerateFunction(HelperFunctionName functionName);
    Function* GenerateFunction(HelperFunctionName functionName, int32_t id);
    Function* GenerateShuffleFunction(HelperFunctionName functionName, int32_t subgroupSize);

    Function* GenerateConvertDoubleToFloatFunction();
    Function* GenerateConvertFloatToDoubleFunction();
    Function* GenerateSharedAtomicSigned(int32_t id, bool isMin);
    Function* GenerateSharedStore(int32_t id, int32_t bitSize);
    Function* GenerateShuffle(HelperFunctionName functionName, int32_t subgroupSize);
    Function* GenerateTexelFetchScaleFunction();
    Function* GenerateTextureSizeUnscaleFunction();

    IntermediateRepresentation::Operand* GetScaleIndex(EmitterContext& context,
                                                       IntermediateRepresentation::Operand* index);
    Function* MakeFunction(EmitterContext& context, const char* name, bool returnsValue, int inArgumentsCount,
                           int outArgumentsCount);

    IntermediateRepresentation::IrArena* _arena;
    std::vector<Function*>* _functions;
    Common::OrderedMap<int32_t, int32_t> _functionIds;
    ShaderStage _stage;
};

} // namespace Zerivox::Graphics::Shader::Translation
