#include "driver/JobJson.h"

#include <cstring>
#include <limits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Common/HexFormat.h"

namespace Zerivox::FenkVanter {

using Common::JsonException;

namespace {

// Builds the document from parser events. nlohmann's own builder inserts
// every object member through a linear search of the members so far (the
// ordered object is a vector), which makes an object of n members cost n^2;
// this builder keeps the same result - members in document order, a repeated
// name keeps its first place and takes the last value - but finds repeats
// through a hash index once an object grows past a few members.
class DocumentBuilder : public nlohmann::json_sax<Json> {
  public:
    explicit DocumentBuilder(std::size_t maxRootElements) : _maxRootElements(maxRootElements) {}

    Json Root;

    bool null() override { return Put(Json(nullptr)); }
    bool boolean(bool v) override { return Put(Json(v)); }
    bool number_integer(number_integer_t v) override { return Put(Json(v)); }
    bool number_unsigned(number_unsigned_t v) override { return Put(Json(v)); }
    bool number_float(number_float_t v, const string_t&) override { return Put(Json(v)); }
    bool string(string_t& v) override { return Put(Json(std::move(v))); }
    bool binary(binary_t&) override { throw JsonException("Invalid JSON: binary values are not JSON text."); }

    bool start_object(std::size_t) override { return Open(Json::object()); }
    bool start_array(std::size_t) override { return Open(Json::array()); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }

    bool key(string_t& name) override {
        Level& level = _stack.back();
        Members& members = level.Value->get_ref<Json::object_t&>();
        constexpr std::size_t IndexFrom = 8;
        if (level.Index.empty() && members.size() >= IndexFrom) {
            for (std::size_t i = 0; i < members.size(); i++)
                level.Index.emplace(members[i].first, i);
        }
        std::size_t slot = members.size();
        if (!level.Index.empty()) {
            auto [it, added] = level.Index.emplace(name, slot);
            slot = it->second;
        } else {
            for (std::size_t i = 0; i < members.size(); i++) {
                if (members[i].first == name) {
                    slot = i;
                    break;
                }
            }
        }
        if (slot == members.size())
            members.emplace_back(std::move(name), Json());
        level.Slot = slot;
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
        throw JsonException(std::string("Invalid JSON: ") + e.what());
    }

  private:
    // The ordered object is a vector of members underneath; appending to it
    // directly skips the search that its own insertion makes.
    using Members = std::vector<std::pair<const std::string, Json>>;

    struct Level {
        Json* Value = nullptr;
        std::size_t Slot = 0;
        std::unordered_map<std::string, std::size_t> Index;
    };

    // Where the next value goes: the root, the end of the open array, or the
    // member the last key named.
    Json& Target() {
        if (_stack.empty())
            return Root;
        Level& level = _stack.back();
        if (level.Value->is_array()) {
            auto& elements = level.Value->get_ref<Json::array_t&>();
            if (_stack.size() == 1 && elements.size() == _maxRootElements) {
                throw Common::ArgumentOutOfRangeException("The document holds more than " +
                                                          std::to_string(_maxRootElements) +
                                                          " elements, past the job count limit.");
            }
            return elements.emplace_back();
        }
        Members& members = level.Value->get_ref<Json::object_t&>();
        return members[level.Slot].second;
    }

    bool Put(Json&& value) {
        Target() = std::move(value);
        return true;
    }

    bool Open(Json&& container) {
        // The parser keeps its own stack, so deep input cannot overflow ours;
        // the limit keeps documents to the shape jobs can have.
        if (_stack.size() >= static_cast<std::size_t>(MaxJsonDepth)) {
            throw JsonException("The JSON nesting is deeper than " + std::to_string(MaxJsonDepth) + " levels.");
        }
        Json& target = Target();
        target = std::move(container);
        // A container's children are only added while it is the innermost
        // open one, so the pointers on the stack stay valid.
        Level& level = _stack.emplace_back();
        level.Value = &target;
        return true;
    }

    bool Close() {
        _stack.pop_back();
        return true;
    }

    std::vector<Level> _stack;
    std::size_t _maxRootElements;
};

} // namespace

Json ParseJson(std::string_view text, bool skipByteOrderMark, std::size_t maxRootElements) {
    constexpr std::string_view Bom = "\xEF\xBB\xBF";
    if (text.starts_with(Bom)) {
        if (!skipByteOrderMark)
            throw JsonException("A byte-order mark is not allowed here.");
        text.remove_prefix(Bom.size());
    }
    // The parser reads a NUL byte as the end of the input and would ignore
    // whatever follows it. JSON text never holds one (a string must escape
    // it), so one anywhere makes the document invalid.
    if (std::memchr(text.data(), 0, text.size()) != nullptr) {
        throw JsonException("Invalid JSON: the text holds a NUL byte at offset " + std::to_string(text.find('\0')) +
                            ".");
    }
    DocumentBuilder builder(maxRootElements);
    try {
        Json::sax_parse(text.begin(), text.end(), &builder, nlohmann::detail::input_format_t::json,
                        /*strict=*/true, /*ignore_comments=*/false);
    } catch (const nlohmann::json::exception& e) {
        throw JsonException(std::string("Invalid JSON: ") + e.what());
    }
    return std::move(builder.Root);
}

const Json* FindMember(const Json& object, std::string_view name) {
    auto it = object.find(name);
    if (it == object.end() || it->is_null())
        return nullptr;
    return &*it;
}

const char* KindName(const Json& value) {
    switch (value.type()) {
    case Json::value_t::null:
        return "null";
    case Json::value_t::object:
        return "object";
    case Json::value_t::array:
        return "array";
    case Json::value_t::string:
        return "string";
    case Json::value_t::boolean:
        return "boolean";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
        return "number";
    default:
        return "value";
    }
}

namespace {
[[noreturn]] void ThrowKind(const Json& value, std::string_view what, const char* expected) {
    throw JsonException(std::string(what) + " must be " + expected + ", not " + KindName(value) + ".");
}
} // namespace

std::string ReadString(const Json& value, std::string_view what) {
    if (!value.is_string())
        ThrowKind(value, what, "a string");
    return value.get_ref<const std::string&>();
}

bool ReadBool(const Json& value, std::string_view what) {
    if (!value.is_boolean())
        ThrowKind(value, what, "a boolean");
    return value.get<bool>();
}

int32_t ReadInt(const Json& value, std::string_view what) {
    // Numbers written with a fraction or exponent parse as floats and are no
    // integers, even when their value is whole.
    if (value.is_number_unsigned()) {
        if (value.get<uint64_t>() <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
            return static_cast<int32_t>(value.get<uint64_t>());
        }
    } else if (value.is_number_integer()) {
        auto v = value.get<int64_t>();
        if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max()) {
            return static_cast<int32_t>(v);
        }
    } else {
        ThrowKind(value, what, "an integer");
    }
    throw JsonException(std::string(what) + " is outside the signed 32-bit range.");
}

std::optional<std::string> GetString(const Json& object, std::string_view name) {
    const Json* v = FindMember(object, name);
    if (v == nullptr)
        return std::nullopt;
    return ReadString(*v, "\"" + std::string(name) + "\"");
}

std::optional<bool> GetBool(const Json& object, std::string_view name) {
    const Json* v = FindMember(object, name);
    if (v == nullptr)
        return std::nullopt;
    return ReadBool(*v, "\"" + std::string(name) + "\"");
}

std::optional<int32_t> GetInt(const Json& object, std::string_view name) {
    const Json* v = FindMember(object, name);
    if (v == nullptr)
        return std::nullopt;
    return ReadInt(*v, "\"" + std::string(name) + "\"");
}

std::string QuoteForMessage(std::string_view text) {
    std::string out = "\"";
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            Common::AppendHex(out, c, 2);
        } else {
            out += ch;
        }
    }
    out += '"';
    return out;
}

} // namespace Zerivox::FenkVanter
