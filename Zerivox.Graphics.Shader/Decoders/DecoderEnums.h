#pragma once
// Enumerations that instruction fields decode to. Their values are fixed by the
// instruction encoding; a field may hold a value without a member, which still
// converts and is judged by the emitter that reads it.
#include <cstdint>
#include <string_view>

namespace Zerivox::Graphics::Shader::Decoders {

enum class AtomOp : int32_t {
    Add = 0,
    Min = 1,
    Max = 2,
    Inc = 3,
    Dec = 4,
    And = 5,
    Or = 6,
    Xor = 7,
    Exch = 8,
    Safeadd = 10
};

enum class AtomSize : int32_t { U32 = 0, S32 = 1, U64 = 2, F32FtzRn = 3, F16x2FtzRn = 4, S64 = 5 };

enum class BarOp : int32_t { Sync = 0, Arv = 1, Red = 2, Scan = 3, SyncAll = 4 };

enum class DstFmt : int32_t { F16 = 1, F32 = 2, F64 = 3 };

enum class FComp : int32_t {
    F = 0,
    Lt = 1,
    Eq = 2,
    Le = 3,
    Gt = 4,
    Ne = 5,
    Ge = 6,
    Num = 7,
    Nan = 8,
    Ltu = 9,
    Equ = 10,
    Leu = 11,
    Gtu = 12,
    Neu = 13,
    Geu = 14,
    T = 15,
};

enum class HalfSelect : int32_t { B32 = 0, H0 = 1, H1 = 2 };

enum class HalfSwizzle : int32_t { F16 = 0, F32 = 1, H0H0 = 2, H1H1 = 3 };

enum class IComp : int32_t { F = 0, Lt = 1, Eq = 2, Le = 3, Gt = 4, Ne = 5, Ge = 6, T = 7 };

enum class IDstFmt : int32_t { U16 = 1, U32 = 2, U64 = 3, S16 = 5, S32 = 6, S64 = 7 };

enum class ISrcDstFmt : int32_t { U8 = 0, U16 = 1, U32 = 2, S8 = 4, S16 = 5, S32 = 6 };

enum class LsSize2 : int32_t { U8 = 0, S8 = 1, U16 = 2, S16 = 3, B32 = 4, B64 = 5, B128 = 6 };

enum class MufuOp : int32_t { Cos = 0, Sin = 1, Ex2 = 2, Lg2 = 3, Rcp = 4, Rsq = 5, Rcp64h = 6, Rsq64h = 7, Sqrt = 8 };

enum class MultiplyScale : int32_t { NoScale = 0, D2 = 1, D4 = 2, D8 = 3, M8 = 4, M4 = 5, M2 = 6 };

enum class OFmt : int32_t { F16 = 0, F32 = 1, MrgH0 = 2, MrgH1 = 3 };

enum class OutType : int32_t { Emit = 1, Cut = 2, EmitThenCut = 3 };

enum class TexDim : int32_t {
    _1d = 0,
    Array1d = 1,
    _2d = 2,
    Array2d = 3,
    _3d = 4,
    Array3d = 5,
    Cube = 6,
    ArrayCube = 7
};

enum class TexQuery : int32_t {
    TexHeaderDimension = 1,
    TexHeaderTextureType = 2,
    TexHeaderSamplerPos = 5,
    TexSamplerFilter = 16,
    TexSamplerLod = 18,
    TexSamplerWrap = 20,
    TexSamplerBorderColor = 22,
};

enum class VoteMode : int32_t { All = 0, Any = 1, Eq = 2 };

enum class XmadCop : int32_t { Cfull = 0, Clo = 1, Chi = 2, Csfu = 3, Cbcc = 4 };

enum class XmadCop2 : int32_t { Cfull = 0, Clo = 1, Chi = 2, Csfu = 3 };

// How a set or set-predicate instruction combines its comparison with the
// source predicate.
enum class BoolOp : int32_t { And = 0, Or = 1, Xor = 2 };

// Byte or half of a 32-bit operand, zero- (U) or sign-extended (S). 6, 7, 14
// and 15 select the whole word.
enum class VectorSelect : int32_t {
    U8B0 = 0,
    U8B1 = 1,
    U8B2 = 2,
    U8B3 = 3,
    U16H0 = 4,
    U16H1 = 5,
    U32 = 6,
    S8B0 = 8,
    S8B1 = 9,
    S8B2 = 10,
    S8B3 = 11,
    S16H0 = 12,
    S16H1 = 13,
    S32 = 14,
};

// Member names for the formats that error messages print; "" for a value
// without a member (callers then print the number).
std::string_view ToString(IDstFmt value);
std::string_view ToString(ISrcDstFmt value);
std::string_view ToString(HalfSwizzle value);
std::string_view ToString(OFmt value);

} // namespace Zerivox::Graphics::Shader::Decoders
