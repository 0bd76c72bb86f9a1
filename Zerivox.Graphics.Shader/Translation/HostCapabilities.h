#pragma once

namespace Zerivox::Graphics::Shader::Translation {

// Host facts a back end needs, gathered once per code generation.
struct HostCapabilities {
    bool HasReducedPrecision = false;
    bool HasFragmentShaderInterlock = false;
    bool HasIntelFragmentShaderOrdering = false;
    bool HasGeometryShaderPassthrough = false;
    bool HasArbShaderBallot = false;
    bool HasBarrierInDivergentCode = false;
    bool HasFloat64 = false;
    bool HasNonUniformIndexing = false;
    bool HasTextureShadowLod = false;
    bool HasViewportMask = false;
};

} // namespace Zerivox::Graphics::Shader::Translation
