#pragma once
// CPlistParser: the XML property list that describes a Safari extension
// ("Info.plist") turned into a dictionary of its top-level "dict". Values
// by element: "string", "date" and "data" give their text unconverted;
// "integer" and "real" the number their text starts with (0 when none);
// "true" and "false" a Boolean; "dict" and "array" nested values; any other
// element the empty value. Comments and processing instructions are passed
// over. Only the XML form is read: a binary property list is malformed.

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/dictionary/dictionary.h"

namespace sorlix {

struct PlistValue;
using PlistArray = std::vector<PlistValue>;

// Keys compare exactly, case included; each key once, in document order.
// Hashed, so that a list of many keys fills in linear time.
class PlistDict {
public:
    // The value under `key`, or null.
    const PlistValue* find(std::string_view key) const;
    // False when the key is there already.
    bool add(std::string key, PlistValue value);
    std::size_t size() const;
    const std::string& keyAt(std::size_t i) const;
    const PlistValue& valueAt(std::size_t i) const;

private:
    winsys::Dictionary<PlistValue> entries_;
};

struct PlistValue {
    std::variant<std::monostate, std::string, double, bool, PlistDict, PlistArray> v;
};

class CPlistParser {
public:
    // The dictionary of the document in `Plist` (the file's bytes, decoded as
    // the document says: byte-order mark, declaration, else UTF-8), or none.
    // A document that does not load shows "Parse Error line ..." in a
    // message box first; every failure writes one log line
    // ("CPlistParser.Parse"), naming `document` when given, and gives no
    // dictionary.
    std::optional<PlistDict> Parse(std::string_view Plist, std::string_view document = {});
};

} // namespace sorlix
