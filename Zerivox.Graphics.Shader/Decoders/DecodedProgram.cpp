#include "Zerivox.Graphics.Shader/Decoders/DecodedProgram.h"

#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "Zerivox.Graphics.Shader/IntermediateRepresentation/Operand.h"

namespace Zerivox::Graphics::Shader::Decoders {

namespace {

// Objects of one kind with stable addresses, in chunks that double in size
// (8 objects up to 512). A deque did the same with a map and a first node
// allocated for each of the four kinds on every translation, most of them
// never used, and a node per one or two blocks. Objects are destroyed in
// creation order.
template <typename T> class StableStore {
  public:
    StableStore() = default;
    StableStore(const StableStore&) = delete;
    StableStore& operator=(const StableStore&) = delete;
    ~StableStore() { Destroy(); }

    // Destroys every object and gives all chunks back.
    void Clear() {
        Destroy();
        std::vector<std::unique_ptr<Slot[]>>().swap(_chunks);
        _usedInLast = 0;
    }

    template <typename... Args> T* Emplace(Args&&... args) {
        if (_chunks.empty() || _usedInLast == ChunkLength(_chunks.size() - 1)) {
            _chunks.push_back(std::make_unique_for_overwrite<Slot[]>(ChunkLength(_chunks.size())));
            _usedInLast = 0;
        }
        T* object = ::new (static_cast<void*>(&_chunks.back()[_usedInLast])) T(std::forward<Args>(args)...);
        _usedInLast++;
        return object;
    }

  private:
    struct alignas(T) Slot {
        unsigned char Bytes[sizeof(T)];
    };
    void Destroy() {
        for (std::size_t c = 0; c < _chunks.size(); c++) {
            std::size_t used = c + 1 == _chunks.size() ? _usedInLast : ChunkLength(c);
            for (std::size_t i = 0; i < used; i++)
                std::launder(reinterpret_cast<T*>(&_chunks[c][i]))->~T();
        }
    }
    static std::size_t ChunkLength(std::size_t index) { return std::size_t{8} << (index < 6 ? index : 6); }

    std::vector<std::unique_ptr<Slot[]>> _chunks;
    std::size_t _usedInLast = 0;
};

} // namespace

struct DecodedProgram::Storage {
    StableStore<Block> Blocks;
    StableStore<DecodedFunction> Functions;
    StableStore<PushOpInfo> PushOps;
    StableStore<IntermediateRepresentation::Operand> Locals;
};

DecodedProgram::DecodedProgram(IGpuAccessor& gpuAccessor)
    : AttributeUsage(gpuAccessor), _storage(std::make_unique<Storage>()) {}

DecodedProgram::~DecodedProgram() = default;
DecodedProgram::DecodedProgram(DecodedProgram&&) noexcept = default;
DecodedProgram& DecodedProgram::operator=(DecodedProgram&&) noexcept = default;

DecodedFunction* DecodedProgram::GetFunctionByAddress(uint64_t address) const {
    DecodedFunction* const* function = Functions.Find(address);
    return function == nullptr ? nullptr : *function;
}

Translation::IoUsage DecodedProgram::GetIoUsage() const {
    return Translation::IoUsage(UsedFeatures, ClipDistancesWritten, AttributeUsage.UsedOutputAttributes,
                                PrimitiveIdWritten);
}

Block* DecodedProgram::CreateBlock(uint64_t address) { return _storage->Blocks.Emplace(address); }

DecodedFunction* DecodedProgram::CreateFunction(uint64_t address) { return _storage->Functions.Emplace(address); }

PushOpInfo* DecodedProgram::CreatePushOpInfo(const InstOp& op) { return _storage->PushOps.Emplace(op); }

IntermediateRepresentation::Operand* DecodedProgram::CreateLocal() {
    return _storage->Locals.Emplace(IntermediateRepresentation::OperandType::LocalVariable);
}

void DecodedProgram::ReleaseCode() {
    MainFunction = nullptr;
    Functions = {};
    FunctionsById = {};
    _storage->Blocks.Clear();
    _storage->Functions.Clear();
    _storage->PushOps.Clear();
}

} // namespace Zerivox::Graphics::Shader::Decoders
