#include "driver/JobJson.h"

#include <limits>

#include "Zerivox.Common/Exceptions.h"

namespace Zerivox::FenkVanter {

using Common::JsonException;

Json ParseJson(std::string_view text, bool skipByteOrderMark) {
    constexpr std::string_view Bom = "\xEF\xBB\xBF";
    if (text.starts_with(Bom)) {
        if (!skipByteOrderMark)
            throw JsonException("A byte-order mark is not allowed here.");
        text.remove_prefix(Bom.size());
    }
    // The parser keeps its own stack, so deep input cannot overflow ours; the
    // limit keeps documents to the shape jobs can have.
    auto limitDepth = [](int depth, Json::parse_event_t event, Json&) {
        if ((event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start) &&
            depth >= MaxJsonDepth) {
            throw JsonException("The JSON nesting is deeper than " + std::to_string(MaxJsonDepth) + " levels.");
        }
        return true;
    };
    try {
        return Json::parse(text.begin(), text.end(), limitDepth, /*allow_exceptions=*/true,
                           /*ignore_comments=*/false);
    } catch (const nlohmann::json::exception& e) {
        throw JsonException(std::string("Invalid JSON: ") + e.what());
    }
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
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += Hex[c >> 4];
            out += Hex[c & 15];
        } else {
            out += ch;
        }
    }
    out += '"';
    return out;
}

} // namespace Zerivox::FenkVanter
