#pragma once
// Strict reading of job JSON. Everything here is user input: malformed text,
// wrong member kinds and out-of-range numbers raise typed errors that fail
// the job (or the run), never undefined behaviour.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace Zerivox::FenkVanter {

// Objects keep document order: "attr"/"fout" members are applied in the
// order they were written.
using Json = nlohmann::ordered_json;

// Deepest nesting of arrays and objects a document may have.
inline constexpr int MaxJsonDepth = 64;

// Parses strict JSON (no comments, no trailing commas, nesting at most
// MaxJsonDepth, no NUL byte anywhere). A leading UTF-8 byte-order mark is
// skipped only when skipByteOrderMark is set. Throws JsonException; a root
// array of more than maxRootElements elements (the jobs of a jobs file)
// throws ArgumentOutOfRangeException as soon as the parser meets one more.
// Time and memory are linear in the text, however many members an object has.
Json ParseJson(std::string_view text, bool skipByteOrderMark,
               std::size_t maxRootElements = std::numeric_limits<std::size_t>::max());

// The member `name` of an object, or nullptr when it is absent or JSON null
// (null counts as absent everywhere). `object` must be an object.
const Json* FindMember(const Json& object, std::string_view name);

// Typed reads of a value that is present: the value must have that JSON
// kind, an integer must be written without fraction or exponent and fit in
// a signed 32-bit integer. `what` names the value in the error message.
std::string ReadString(const Json& value, std::string_view what);
bool ReadBool(const Json& value, std::string_view what);
int32_t ReadInt(const Json& value, std::string_view what);

// Member reads: nothing when absent or null, else as above.
std::optional<std::string> GetString(const Json& object, std::string_view name);
std::optional<bool> GetBool(const Json& object, std::string_view name);
std::optional<int32_t> GetInt(const Json& object, std::string_view name);

// Name of a value's JSON kind for messages ("string", "number", ...).
const char* KindName(const Json& value);

// Text safe to quote inside a one-line message: control characters become
// escapes, so quoted user text can never split a console or protocol line.
std::string QuoteForMessage(std::string_view text);

} // namespace Zerivox::FenkVanter
