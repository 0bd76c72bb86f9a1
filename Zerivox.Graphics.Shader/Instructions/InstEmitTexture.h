#pragma once
// Pieces of the texture emitters shared by the full and the compact forms
// and the surface emitters.
#include <cstddef>
#include <cstdint>
#include <span>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"
#include "Zerivox.Graphics.Shader/IntermediateRepresentation/TextureFlags.h"
#include "Zerivox.Graphics.Shader/SamplerType.h"

namespace Zerivox::Graphics::Shader::Translation {
class EmitterContext;
}

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

// Where a texture or surface form finds its texture: bound, named by the
// immediate TidB, or bindless, through a handle in a register (the "B" forms).
enum class Handle : uint8_t { Bound, Bindless };

// The immediate handle of a bound form; 0 for a bindless one.
template <Handle H, typename Op> int BoundHandle(const Op& op) {
    if constexpr (H == Handle::Bound) {
        return op.TidB();
    } else {
        return 0;
    }
}

// A run of consecutive source registers (Ra, Ra + 1, ...). Each Next() copies
// the next register; past RZ it yields the constant 0 and stays, so no
// encoding reads beyond the register file.
class RegisterCursor {
  public:
    RegisterCursor(Translation::EmitterContext& context, int first) : _context(&context), _next(first) {}
    IntermediateRepresentation::Operand* Next();

  private:
    Translation::EmitterContext* _context;
    int _next;
};

// Fixed-capacity operand list for the source and destination lists of one
// texture instruction (at most 4 destinations and about 20 sources), so
// emitting one needs no heap allocation.
class OperandList {
  public:
    static constexpr int Capacity = 32;
    void Add(IntermediateRepresentation::Operand* operand) {
        Reserve();
        _items[_count++] = operand;
    }
    void Insert(int index, IntermediateRepresentation::Operand* operand) {
        Reserve();
        for (int i = _count; i > index; i--) _items[i] = _items[i - 1];
        _items[index] = operand;
        _count++;
    }
    void Set(int index, IntermediateRepresentation::Operand* operand) { _items[index] = operand; }
    IntermediateRepresentation::Operand* operator[](int index) const { return _items[index]; }
    int Count() const { return _count; }
    std::span<IntermediateRepresentation::Operand* const> Span() const {
        return std::span<IntermediateRepresentation::Operand* const>(_items, static_cast<std::size_t>(_count));
    }

  private:
    void Reserve() const {
        if (_count >= Capacity) throw Common::InvalidOperationException("Too many texture operands.");
    }

    IntermediateRepresentation::Operand* _items[Capacity] = {};
    int _count = 0;
};

// Sampler type of a texture dimension field; values above 7 throw ArgumentException.
SamplerType ConvertSamplerType(Decoders::TexDim dimensions);

// Registers a bound texture under the final type and flags, then appends the
// TextureSample. A bindless operation carries binding (0, 0).
void EmitTextureSample(Translation::EmitterContext& context, SamplerType type,
                       IntermediateRepresentation::TextureFlags flags, int handle, int componentMask,
                       std::span<IntermediateRepresentation::Operand* const> dests,
                       std::span<IntermediateRepresentation::Operand* const> sources);

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
