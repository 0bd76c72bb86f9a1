#pragma once
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

#include "Zerivox.Common/OrderedMap.h"
#include "Zerivox.Graphics.Shader/Decoders/AttributeUsage.h"
#include "Zerivox.Graphics.Shader/Decoders/Block.h"
#include "Zerivox.Graphics.Shader/Decoders/DecodedFunction.h"
#include "Zerivox.Graphics.Shader/Decoders/FeatureFlags.h"
#include "Zerivox.Graphics.Shader/Decoders/IoUsage.h"
#include "Zerivox.Graphics.Shader/Decoders/PushOpInfo.h"

namespace Zerivox::Graphics::Shader {
class IGpuAccessor;
}

namespace Zerivox::Graphics::Shader::Decoders {

// The decoded shader: its functions and blocks and what the decoder learnt
// about attribute and feature use. It owns every function, block, push record
// and pairing local of the translation (stable addresses, freed with the
// program); everything else holds plain pointers into it. Move-only: later
// stages keep a pointer or reference to the one program of the translation.
class DecodedProgram {
  public:
    explicit DecodedProgram(IGpuAccessor& gpuAccessor);
    ~DecodedProgram();
    DecodedProgram(DecodedProgram&&) noexcept;
    DecodedProgram& operator=(DecodedProgram&&) noexcept;
    DecodedProgram(const DecodedProgram&) = delete;
    DecodedProgram& operator=(const DecodedProgram&) = delete;

    DecodedFunction* MainFunction = nullptr;
    // Every decoded function by start address, in discovery order (main first).
    Common::OrderedMap<uint64_t, DecodedFunction*> Functions;
    // Filled by the translator with the functions it emits, in id order.
    std::vector<DecodedFunction*> FunctionsById;
    Translation::AttributeUsage AttributeUsage;
    Translation::FeatureFlags UsedFeatures = Translation::FeatureFlags::None;
    uint8_t ClipDistancesWritten = 0;
    // A geometry shader writes the primitive id output (attribute 0x060).
    bool PrimitiveIdWritten = false;
    // Bytes of constant buffer 1 that jump tables were read from (highest
    // offset read + 4), 0 when none.
    int32_t Cb1Size = 0;

    DecodedFunction* GetFunctionByAddress(uint64_t address) const;
    Translation::IoUsage GetIoUsage() const;

    // Iterates the functions in discovery order, yielding DecodedFunction*.
    class Iterator {
      public:
        using Inner = Common::OrderedMap<uint64_t, DecodedFunction*>::const_iterator;
        using iterator_category = std::forward_iterator_tag;
        using value_type = DecodedFunction*;
        using difference_type = std::ptrdiff_t;
        using pointer = DecodedFunction* const*;
        using reference = DecodedFunction*;
        Iterator() = default;
        explicit Iterator(Inner it) : _it(it) {}
        DecodedFunction* operator*() const { return _it->second; }
        Iterator& operator++() {
            ++_it;
            return *this;
        }
        Iterator operator++(int) {
            Iterator old = *this;
            ++_it;
            return old;
        }
        bool operator==(const Iterator& other) const { return _it == other._it; }

      private:
        Inner _it;
    };
    Iterator begin() const { return Iterator(Functions.begin()); }
    Iterator end() const { return Iterator(Functions.end()); }

    // Object creation for the decoder: the program keeps ownership.
    Block* CreateBlock(uint64_t address);
    DecodedFunction* CreateFunction(uint64_t address);
    PushOpInfo* CreatePushOpInfo(const InstOp& op);
    // A fresh IR local variable for one push/pop pair.
    IntermediateRepresentation::Operand* CreateLocal();

    // Frees the functions, blocks and push records once the IR has been
    // emitted from them: nothing reads them afterwards, and in a large shader
    // they are megabytes that would stay alive beside the IR and the
    // structured program up to the translation's peak. Leaves no function
    // (MainFunction null, the lists empty); what the decoder learnt (attribute
    // and feature use, Cb1Size) and the pairing locals, which the IR names,
    // stay.
    void ReleaseCode();

  private:
    struct Storage;
    std::unique_ptr<Storage> _storage;
};

} // namespace Zerivox::Graphics::Shader::Decoders
