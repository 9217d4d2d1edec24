#pragma once
// JSON: the lenient reader of the browsers' "manifest.json" and
// "messages.json" files. It skips comments and parentheses, lets commas be
// left out, takes single-quoted and unquoted keys and never fails its
// caller: Parse gives the tree it could build (or nothing when the text
// does not begin with an object or an array) and GetParserErrors the text
// of every failure of that parse, one line each ending in CR LF. A parse is
// usable only when it gave a tree and no failure.
//
// The reader is bounded against hostile files: it nests at most
// kMaxNesting levels, every loop moves forward or ends, and at most
// kMaxFailures failure lines are kept, each quoting at most 20 characters
// with its line breaks shown as blanks. Positions and excerpts in failure
// lines count UTF-16 units from 1. A line comment ends at its line end
// whatever it holds: a "/*" inside it opens no block comment, as the
// browser reads it.

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/dictionary/dictionary.h"

namespace sorlix {

struct JsonValue;
using JsonList = std::vector<JsonValue>;
using JsonObject = winsys::Dictionary<JsonValue>; // keys compared exactly
struct JsonEmpty {
    bool operator==(const JsonEmpty&) const = default;
};
struct JsonNull {
    bool operator==(const JsonNull&) const = default;
};

// Empty stands for a number cut off by the end of the text and a failed null.
struct JsonValue {
    std::variant<JsonEmpty, JsonNull, bool, double, std::string, JsonList, JsonObject> v;

    const std::string* text() const { return std::get_if<std::string>(&v); }
    const JsonList* list() const { return std::get_if<JsonList>(&v); }
    const JsonObject* object() const { return std::get_if<JsonObject>(&v); }
};

namespace JSON {

inline constexpr int kMaxNesting = 512;
inline constexpr int kMaxFailures = 100;

// The top-level object or array of `text` (UTF-8).
std::optional<JsonValue> Parse(std::string_view text);
// The failures of the last Parse; empty when it had none.
const std::string& GetParserErrors();

} // namespace JSON

} // namespace sorlix
