#include "driver/FenkVanterAccessor.h"

#include <charconv>
#include <limits>

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::FenkVanter {

using namespace Graphics::Shader;
using Common::ArgumentException;
using Common::ArgumentOutOfRangeException;
using Common::FormatException;

namespace {

// Uppercase hexadecimal without leading zeros; negative values show their
// 32-bit two's complement (eight digits).
std::string Hex(int32_t value) {
    char buf[16];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, static_cast<uint32_t>(value), 16);
    std::string s(buf, end);
    for (char& c : s) {
        if (c >= 'a' && c <= 'f')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::vector<uint8_t> DecodeC1(const Json& job) {
    std::optional<std::string> text = GetString(job, "c1");
    std::vector<uint8_t> bytes;
    if (!text)
        return bytes;
    if (text->size() % 2 != 0)
        throw FormatException("\"c1\" must hold an even number of hexadecimal digits.");
    bytes.reserve(text->size() / 2);
    for (std::size_t i = 0; i < text->size(); i += 2) {
        int hi = HexDigit((*text)[i]);
        int lo = HexDigit((*text)[i + 1]);
        if (hi < 0 || lo < 0)
            throw FormatException("\"c1\" holds a character that is no hexadecimal digit.");
        bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return bytes;
}

bool IsTrue(const Json& job, std::string_view name) {
    const Json* v = FindMember(job, name);
    return v != nullptr && v->is_boolean() && v->get<bool>();
}

// int.Parse-style: optional white space around, one optional sign, decimal
// digits. Throws FormatException or OverflowException.
int32_t ParseIndexName(std::string_view name, std::string_view table) {
    auto isWhite = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    std::string_view s = name;
    while (!s.empty() && isWhite(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isWhite(s.back()))
        s.remove_suffix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    auto bad = [&] {
        return FormatException("Member name " + QuoteForMessage(name) + " of \"" + std::string(table) +
                               "\" is not an integer.");
    };
    if (s.empty())
        throw bad();
    int64_t value = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            throw bad();
        // Saturate: anything past 2^32 is out of range whatever follows.
        if (value <= int64_t{1} << 32)
            value = value * 10 + (c - '0');
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
        throw Common::OverflowException("Member name " + QuoteForMessage(name) + " of \"" + std::string(table) +
                                        "\" is outside the signed 32-bit range.");
    }
    return static_cast<int32_t>(value);
}

template <std::size_t N> std::array<AttributeType, N> ReadAttributeTypes(const Json& job, std::string_view table) {
    std::array<AttributeType, N> types{};
    types.fill(AttributeType::Float);
    const Json* map = FindMember(job, table);
    if (map == nullptr || !map->is_object())
        return types;
    for (auto it = map->begin(); it != map->end(); ++it) {
        int32_t index = ParseIndexName(it.key(), table);
        if (index < 0 || index >= static_cast<int32_t>(N)) {
            throw ArgumentOutOfRangeException("Index " + std::to_string(index) + " of \"" + std::string(table) +
                                              "\" is outside 0-" + std::to_string(N - 1) + ".");
        }
        std::optional<std::string> text;
        if (!it.value().is_null()) {
            text = ReadString(it.value(), "\"" + std::string(table) + "\" entry " + std::to_string(index));
        }
        types[static_cast<std::size_t>(index)] = FenkVanterAccessor::Attr(text);
    }
    return types;
}

} // namespace

FenkVanterAccessor::FenkVanterAccessor(std::span<const uint8_t> code, const Json& job)
    : _code(code), _job(job), _c1(DecodeC1(job)) {
    if (!job.is_object())
        throw ArgumentException("The job must be a JSON object.");
    IndexSlots("tex", _texEntries);
    IndexSlots("img", _imgEntries);
}

// A table may have any number of members, and every texture query asks for
// one: finding it by name each time would cost the table's size per query.
// Only the plain decimal names of slots 0-127 can ever be asked for.
void FenkVanterAccessor::IndexSlots(std::string_view table, SlotEntries& entries) const {
    entries.fill(nullptr);
    const Json* map = FindMember(_job, table);
    if (map == nullptr || !map->is_object())
        return;
    for (auto it = map->begin(); it != map->end(); ++it) {
        const std::string& name = it.key();
        if (name.empty() || name.size() > 3 || (name[0] == '0' && name.size() > 1) || it.value().is_null())
            continue;
        int32_t slot = 0;
        bool digits = true;
        for (char c : name) {
            digits = digits && c >= '0' && c <= '9';
            slot = slot * 10 + (c - '0');
        }
        if (digits && slot < static_cast<int32_t>(entries.size()))
            entries[static_cast<std::size_t>(slot)] = &it.value();
    }
}

const Json* FenkVanterAccessor::SlotEntry(std::string_view table, int32_t slot) const {
    const SlotEntries& entries = table == "tex" ? _texEntries : _imgEntries;
    if (slot < 0 || slot >= static_cast<int32_t>(entries.size()))
        return nullptr;
    return entries[static_cast<std::size_t>(slot)];
}

std::span<const uint64_t> FenkVanterAccessor::GetCode(uint64_t address, int32_t) {
    if (address > _code.size()) {
        throw ArgumentOutOfRangeException("Code address " + std::to_string(address) + " lies beyond the code (" +
                                          std::to_string(_code.size()) + " bytes).");
    }
    std::size_t count = (_code.size() - address) / 8;
    _codeWords.resize(count);
    const uint8_t* p = _code.data() + address;
    for (std::size_t i = 0; i < count; ++i, p += 8) {
        uint64_t w = 0;
        for (int b = 7; b >= 0; --b)
            w = w << 8 | p[b];
        _codeWords[i] = w;
    }
    return _codeWords;
}

int32_t FenkVanterAccessor::QueryConstantBuffer1Size() {
    constexpr std::size_t max = static_cast<std::size_t>(INT32_MAX);
    return static_cast<int32_t>(_c1.size() < max ? _c1.size() : max);
}

int32_t FenkVanterAccessor::ConstantBuffer1Read(int32_t offset) {
    // 64-bit sum: an offset near INT32_MAX must not wrap into range.
    if (offset >= 0 && static_cast<int64_t>(offset) + 4 <= static_cast<int64_t>(_c1.size())) {
        auto o = static_cast<std::size_t>(offset);
        uint32_t w = static_cast<uint32_t>(_c1[o]) | static_cast<uint32_t>(_c1[o + 1]) << 8 |
                     static_cast<uint32_t>(_c1[o + 2]) << 16 | static_cast<uint32_t>(_c1[o + 3]) << 24;
        return static_cast<int32_t>(w);
    }
    _notes.push_back("c1 读越界 +" + Hex(offset) + "（c1 长 " + std::to_string(_c1.size()) + "）");
    return 0;
}

int32_t FenkVanterAccessor::TexSlot(int32_t handle, int32_t cbufSlot) {
    if (cbufSlot >= 0 && (cbufSlot & 0xFFFF) != 2)
        return -1;
    int32_t offset = (handle & 0x3FFF) * 4 - 0x168;
    if (offset < 0 || offset > 0x3FF || offset % 8 != 0)
        return -1;
    return offset / 8;
}

std::optional<std::string> FenkVanterAccessor::Get(std::string_view table, int32_t slot) const {
    const Json* entry = SlotEntry(table, slot);
    if (entry == nullptr)
        return std::nullopt;
    std::string what = "\"" + std::string(table) + "\" entry " + std::to_string(slot);
    if (entry->is_object()) {
        const Json* type = FindMember(*entry, "type");
        if (type == nullptr)
            return std::nullopt;
        return ReadString(*type, what + " \"type\"");
    }
    return ReadString(*entry, what);
}

AttributeType FenkVanterAccessor::Attr(const std::optional<std::string>& text) {
    if (text == "sint")
        return AttributeType::Sint;
    if (text == "uint")
        return AttributeType::Uint;
    return AttributeType::Float;
}

SamplerType FenkVanterAccessor::QuerySamplerType(int32_t handle, int32_t cbufSlot) {
    int32_t slot = TexSlot(handle, cbufSlot);
    std::optional<std::string> text;
    if (slot >= 0) {
        _texQueried.insert(slot);
        text = Get("tex", slot);
        if (!text)
            text = Get("img", slot);
    }
    if (!text) {
        _notes.push_back("贴图句柄 " + Hex(handle) + "（常量段 " + std::to_string(cbufSlot) + "，槽 " +
                         std::to_string(slot) + "）无 PC 类型，按 2D");
        return SamplerType::Texture2D;
    }
    std::string_view t = *text;
    if (t.ends_with("_depth"))
        t.remove_suffix(6);
    if (t == "1d")
        return SamplerType::Texture1D;
    if (t == "buffer")
        return SamplerType::TextureBuffer;
    if (t == "3d")
        return SamplerType::Texture3D;
    if (t == "cube")
        return SamplerType::TextureCube;
    if (t == "1darray")
        return SamplerType::Texture1D | SamplerType::Array;
    if (t == "2darray")
        return SamplerType::Texture2D | SamplerType::Array;
    if (t == "cubearray")
        return SamplerType::TextureCube | SamplerType::Array;
    if (t == "2dms")
        return SamplerType::Texture2D | SamplerType::Multisample;
    if (t == "2dmsarray")
        return SamplerType::Texture2D | SamplerType::Multisample | SamplerType::Array;
    return SamplerType::Texture2D;
}

TextureFormat FenkVanterAccessor::QueryTextureFormat(int32_t handle, int32_t cbufSlot) {
    int32_t slot = TexSlot(handle, cbufSlot);
    if (slot >= 0)
        _imgQueried.insert(slot);
    std::optional<std::string> text;
    if (slot >= 0) {
        const Json* entry = SlotEntry("img", slot);
        if (entry != nullptr && entry->is_object()) {
            if (const Json* fmt = FindMember(*entry, "fmt")) {
                text = ReadString(*fmt, "\"img\" entry " + std::to_string(slot) + " \"fmt\"");
            }
        }
    }
    if (!text) {
        _notes.push_back("图像句柄 " + Hex(handle) + " 槽 " + std::to_string(slot) + " 无 PC 格式，按 R8G8B8A8Unorm");
        return TextureFormat::R8G8B8A8Unorm;
    }
    return TryParseTextureFormat(*text).value_or(TextureFormat::R8G8B8A8Unorm);
}

GpuGraphicsState FenkVanterAccessor::QueryGraphicsState() {
    Array32 attributes = ReadAttributeTypes<32>(_job, "attr");
    Array8 outputs = ReadAttributeTypes<8>(_job, "fout");
    bool earlyFragmentTests = IsTrue(_job, "early_fragment_tests");
    InputTopology topology = InputTopology::Triangles;
    if (std::optional<std::string> t = GetString(_job, "topology")) {
        if (*t == "points") {
            topology = InputTopology::Points;
        } else if (*t == "lines") {
            topology = InputTopology::Lines;
        } else if (*t == "lines_adjacency") {
            topology = InputTopology::LinesAdjacency;
        } else if (*t == "triangles_adjacency") {
            topology = InputTopology::TrianglesAdjacency;
        }
    }
    return GpuGraphicsState(earlyFragmentTests, topology, false, TessPatchType::Triangles, TessSpacing::EqualSpacing,
                            false, false, false, false, false, 1.0f, AlphaTestOp::Always, 0.0f, attributes, false,
                            outputs, false, false, true, false);
}

int32_t FenkVanterAccessor::QueryComputeSharedMemorySize() {
    int32_t size = GetInt(_job, "shared").value_or(0);
    // The translator rounds the size up to whole words; keep that sum in range
    // and refuse sizes that mean nothing.
    if (size < 0 || size > std::numeric_limits<int32_t>::max() - 3) {
        throw ArgumentException("\"shared\" must be between 0 and " +
                                std::to_string(std::numeric_limits<int32_t>::max() - 3) + ".");
    }
    return size;
}

bool FenkVanterAccessor::QueryTransformFeedbackEnabled() {
    const Json* tf = FindMember(_job, "tf");
    return tf != nullptr && tf->is_array();
}

const Json* FenkVanterAccessor::Feedback(int32_t i) const {
    const Json* tf = FindMember(_job, "tf");
    if (tf == nullptr || !tf->is_array() || i < 0 || static_cast<std::size_t>(i) >= tf->size())
        return nullptr;
    const Json& element = (*tf)[static_cast<std::size_t>(i)];
    return element.is_object() ? &element : nullptr;
}

std::span<const uint8_t> FenkVanterAccessor::QueryTransformFeedbackVaryingLocations(int32_t bufferIndex) {
    if (bufferIndex < 0 || bufferIndex >= static_cast<int32_t>(_varyingLocations.size())) {
        throw ArgumentOutOfRangeException("Transform feedback buffer " + std::to_string(bufferIndex) +
                                          " is outside 0-3.");
    }
    std::vector<uint8_t>& bytes = _varyingLocations[static_cast<std::size_t>(bufferIndex)];
    bytes.clear();
    const Json* buffer = Feedback(bufferIndex);
    if (buffer == nullptr)
        return bytes;
    std::string what = "\"tf\" entry " + std::to_string(bufferIndex);
    const Json* words = FindMember(*buffer, "words");
    if (words == nullptr || !words->is_array()) {
        throw ArgumentException(what + " must have a \"words\" array.");
    }
    bytes.reserve(words->size());
    for (const Json& w : *words)
        bytes.push_back(static_cast<uint8_t>(ReadInt(w, what + " word") & 0xFF));
    return bytes;
}

int32_t FenkVanterAccessor::QueryTransformFeedbackBufferStride(int32_t bufferIndex) {
    const Json* buffer = Feedback(bufferIndex);
    if (buffer == nullptr)
        return 0;
    std::optional<int32_t> stride = GetInt(*buffer, "stride");
    if (!stride)
        throw ArgumentException("\"tf\" entry " + std::to_string(bufferIndex) + " must have a \"stride\".");
    return *stride;
}

bool FenkVanterAccessor::QueryHostSupportsShaderFloat64() { return !IsTrue(_job, "softfloat64"); }

int32_t FenkVanterAccessor::QueryHostGatherBiasPrecision() {
    int32_t bits = GetInt(_job, "gather_bias").value_or(0);
    // The texture pass builds 1 << (bias + 1) in 32 bits.
    if (bits < 0 || bits > 29)
        throw ArgumentException("\"gather_bias\" must be between 0 and 29.");
    return bits;
}

bool FenkVanterAccessor::QueryHostReducedPrecision() { return GetBool(_job, "reduced").value_or(false); }

bool FenkVanterAccessor::QueryHasUnalignedStorageBuffer() { return FindMember(_job, "sbuf_align") != nullptr; }

int32_t FenkVanterAccessor::QueryHostStorageBufferOffsetAlignment() {
    int32_t align = GetInt(_job, "sbuf_align").value_or(16);
    // Address masks are built from alignment - 1.
    if (align <= 0 || (align & (align - 1)) != 0) {
        throw ArgumentException("\"sbuf_align\" must be a positive power of two.");
    }
    return align;
}

int32_t FenkVanterAccessor::QueryHostSubgroupSize() {
    int32_t size = GetInt(_job, "subgroup").value_or(32);
    if (size < 1)
        throw ArgumentException("\"subgroup\" must be at least 1.");
    // Ballots and votes are built from at most four 32-bit ballot words and
    // lane groups found by shifting: other widths would be silently cut.
    if (size > 128 || (size & (size - 1)) != 0)
        throw ArgumentException("\"subgroup\" must be a power of two no greater than 128.");
    return size;
}

int32_t FenkVanterAccessor::Local(int32_t i) const {
    const Json* local = FindMember(_job, "local");
    if (local == nullptr || !local->is_array() || i < 0 || static_cast<std::size_t>(i) >= local->size())
        return 1;
    std::string what = "\"local\" entry " + std::to_string(i);
    int32_t size = ReadInt((*local)[static_cast<std::size_t>(i)], what);
    if (size < 1)
        throw ArgumentException(what + " must be at least 1.");
    return size;
}

int32_t FenkVanterAccessor::Allocate(int32_t count) {
    if (count < 1)
        throw ArgumentOutOfRangeException("A binding allocation needs at least one binding.");
    if (static_cast<int64_t>(_nextBinding) + count > std::numeric_limits<int32_t>::max()) {
        throw Common::OverflowException("Binding numbers are exhausted.");
    }
    int32_t first = _nextBinding;
    _nextBinding += count;
    return first;
}

int32_t FenkVanterAccessor::AllocateConstantBufferBinding(int32_t) { return Allocate(1); }
int32_t FenkVanterAccessor::AllocateStorageBufferBinding(int32_t) { return Allocate(1); }
int32_t FenkVanterAccessor::AllocateTextureBinding(int32_t count) { return Allocate(count); }
int32_t FenkVanterAccessor::AllocateImageBinding(int32_t count) { return Allocate(count); }

} // namespace Zerivox::FenkVanter
