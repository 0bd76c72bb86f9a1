#pragma once
#include <array>
#include <cstdint>

#include "Zerivox.Graphics.Shader/AlphaTestOp.h"
#include "Zerivox.Graphics.Shader/AttributeType.h"
#include "Zerivox.Graphics.Shader/InputTopology.h"
#include "Zerivox.Graphics.Shader/TessPatchType.h"
#include "Zerivox.Graphics.Shader/TessSpacing.h"

namespace Zerivox::Graphics::Shader {

using Array32 = std::array<AttributeType, 32>;
using Array8 = std::array<AttributeType, 8>;

// Fixed-function state of the draw that runs a shader. A plain value: the
// host fills it, the translator keeps copies and only reads them. The
// default-constructed value has every field zero.
struct GpuGraphicsState {
    bool EarlyFragmentTests = false;
    InputTopology Topology{};
    bool TessellationClockwise = false;
    TessPatchType TessellationPatchType{};
    TessSpacing TessellationSpacing{};
    bool AlphaToCoverage = false;
    bool AlphaToCoverageDither = false;
    bool ViewportTransformDisabled = false;
    bool DepthMode = false;
    bool ProgramPointSize = false;
    float PointSize = 0.0f;
    AlphaTestOp AlphaTestFunction{};
    float AlphaTestReference = 0.0f;
    Array32 AttributeTypes{};
    bool ConstantBufferDrawParameters = false;
    Array8 FragmentOutputTypes{};
    bool DualSourceBlend = false;
    bool YNegate = false;
    bool OriginUpperLeft = false;
    bool HalvedPrimitiveId = false;

    GpuGraphicsState() = default;
    GpuGraphicsState(bool earlyFragmentTests, InputTopology topology, bool tessellationClockwise,
                     TessPatchType tessellationPatchType, TessSpacing tessellationSpacing, bool alphaToCoverage,
                     bool alphaToCoverageDither, bool viewportTransformDisabled, bool depthMode, bool programPointSize,
                     float pointSize, AlphaTestOp alphaTestFunction, float alphaTestReference,
                     const Array32& attributeTypes, bool constantBufferDrawParameters,
                     const Array8& fragmentOutputTypes, bool dualSourceBlend, bool yNegate, bool originUpperLeft,
                     bool halvedPrimitiveId)
        : EarlyFragmentTests(earlyFragmentTests), Topology(topology), TessellationClockwise(tessellationClockwise),
          TessellationPatchType(tessellationPatchType), TessellationSpacing(tessellationSpacing),
          AlphaToCoverage(alphaToCoverage), AlphaToCoverageDither(alphaToCoverageDither),
          ViewportTransformDisabled(viewportTransformDisabled), DepthMode(depthMode),
          ProgramPointSize(programPointSize), PointSize(pointSize), AlphaTestFunction(alphaTestFunction),
          AlphaTestReference(alphaTestReference), AttributeTypes(attributeTypes),
          ConstantBufferDrawParameters(constantBufferDrawParameters), FragmentOutputTypes(fragmentOutputTypes),
          DualSourceBlend(dualSourceBlend), YNegate(yNegate), OriginUpperLeft(originUpperLeft),
          HalvedPrimitiveId(halvedPrimitiveId) {}
};

} // namespace Zerivox::Graphics::Shader
