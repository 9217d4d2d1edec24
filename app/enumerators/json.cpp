#include "app/enumerators/json.h"

// A recursive-descent reader over the UTF-8 bytes of the text. Everything
// the grammar looks at is ASCII, so the position is a byte offset; it is
// turned into a UTF-16 position only for a failure line. Strings are built
// in one string builder per parse. A conversion error of a number travels
// back to the enclosing object or array as a description, as a raised error
// would, and ends that object or array.

#include <charconv>
#include <cstdint>
#include <string>
#include <system_error>
#include <utility>

#include "app/core/cstringbuilder.h"
#include "platform/com/com_error.h"
#include "platform/com/error_info.h"

namespace sorlix::JSON {

namespace {

constexpr std::size_t kExcerptUnits = 20;

std::string g_errors;

std::string runtimeText(win::LONG number) {
    return winsys::com::describeHresult(winsys::com::hresultFromNumber(number));
}
const std::string& typeMismatch() {
    static const std::string text = runtimeText(13);
    return text;
}
const std::string& overflow() {
    static const std::string text = runtimeText(6);
    return text;
}
const std::string& keyRepeated() {
    static const std::string text = runtimeText(457);
    return text;
}

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }
// UTF-16 units of the character that begins with byte `b`.
std::size_t unitsOfLead(unsigned char b) { return b >= 0xF0 ? 2 : 1; }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendUtf8(std::string& to, char32_t c) {
    if (c < 0x80) {
        to += static_cast<char>(c);
    } else if (c < 0x800) {
        to += static_cast<char>(0xC0 | (c >> 6));
        to += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        to += static_cast<char>(0xE0 | (c >> 12));
        to += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        to += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        to += static_cast<char>(0xF0 | (c >> 18));
        to += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        to += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        to += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// At most 20 units of the text's beginning, never half a character.
std::string_view first20(std::string_view t) {
    std::size_t end = 0, units = 0;
    while (end < t.size()) {
        const std::size_t u = unitsOfLead(static_cast<unsigned char>(t[end]));
        if (units + u > kExcerptUnits) break;
        units += u;
        ++end;
        while (end < t.size() && isContinuation(static_cast<unsigned char>(t[end]))) ++end;
    }
    return t.substr(0, end);
}

class Parser {
public:
    explicit Parser(std::string_view text) : t_(text) {}

    std::optional<JsonValue> run() {
        skipBlanks();
        if (at('{')) return parseObject();
        if (at('[')) return parseArray();
        g_errors = "Invalid JSON";
        return std::nullopt;
    }

private:
    bool atEnd() const { return pos_ >= t_.size(); }
    bool at(char c) const { return pos_ < t_.size() && t_[pos_] == c; }

    // ---- Failure lines ----

    // False once the lines kept are at their bound: the line is not made.
    bool room() { return failures_++ < kMaxFailures; }

    // 1-based UTF-16 position of byte `at`; failures mostly come in text
    // order, so counting goes on from the last one.
    std::size_t positionOf(std::size_t at) {
        if (at < countedTo_) countedTo_ = countedUnits_ = 0;
        for (; countedTo_ < at; ++countedTo_) {
            const auto b = static_cast<unsigned char>(t_[countedTo_]);
            if (!isContinuation(b)) countedUnits_ += unitsOfLead(b);
        }
        return countedUnits_ + 1;
    }
    // At most 20 units from byte `at`, never half a character.
    std::string_view next20(std::size_t at) const { return first20(t_.substr(at)); }
    std::string_view last20() const {
        std::size_t begin = t_.size(), units = 0;
        while (begin > 0) {
            std::size_t lead = begin - 1;
            while (lead > 0 && isContinuation(static_cast<unsigned char>(t_[lead]))) --lead;
            const std::size_t u = unitsOfLead(static_cast<unsigned char>(t_[lead]));
            if (units + u > kExcerptUnits) break;
            units += u;
            begin = lead;
        }
        return t_.substr(begin);
    }

    // An excerpt as a failure line quotes it: its line breaks as blanks, so
    // that every failure stays one line.
    static void appendExcerpt(std::string_view excerpt) {
        const std::size_t from = g_errors.size();
        g_errors.append(excerpt);
        for (std::size_t i = from; i < g_errors.size(); ++i)
            if (g_errors[i] == '\r' || g_errors[i] == '\n') g_errors[i] = ' ';
    }

    // `what` at position N : and the next 20 characters (or `excerpt`).
    void failAt(const char* what, std::size_t at) { failAt(what, at, next20(at)); }
    void failAt(const char* what, std::size_t at, std::string_view excerpt) {
        if (!room()) return;
        g_errors.append(what).append(" at position ").append(std::to_string(positionOf(at))).append(" : ");
        appendExcerpt(first20(excerpt));
        g_errors.append("\r\n");
    }
    void failMissing(char close) {
        if (!room()) return;
        g_errors.append("Missing '").append(1, close).append("': ");
        appendExcerpt(last20());
        g_errors.append("\r\n");
    }
    void failRaised(const std::string& description, std::string_view detail) {
        if (!room()) return;
        g_errors.append(description).append(": ");
        appendExcerpt(first20(detail));
        g_errors.append("\r\n");
    }
    // One element or member that moved nothing ends its object or array.
    void failStuck(char close, const char* what) {
        if (atEnd()) failMissing(close);
        else failAt(what, pos_);
    }

    // ---- Nesting ----

    bool enter() {
        if (depth_ < kMaxNesting) {
            ++depth_;
            return true;
        }
        if (room())
            g_errors.append("Nesting too deep at position ").append(std::to_string(positionOf(pos_))).append("\r\n");
        abandoned_ = true;
        return false;
    }

    // ---- Grammar ----

    void skipBlanks() {
        bool inComment = false, inBlock = false, pending = false;
        for (; pos_ < t_.size(); ++pos_) {
            // Pending means the character just before was a "/" or "*".
            const bool wasPending = std::exchange(pending, false);
            // A line comment ends at its line end, whatever it holds ("/*" too).
            if (inComment && !inBlock && t_[pos_] != '\r' && t_[pos_] != '\n') continue;
            switch (t_[pos_]) {
            case '\r':
            case '\n':
                if (!inBlock) inComment = false;
                break;
            case '\t':
            case ' ':
            case '(':
            case ')': break;
            case '/':
                if (inBlock) {
                    if (wasPending) inBlock = inComment = false;
                } else if (wasPending) {
                    inComment = true;
                } else {
                    pending = true;
                }
                break;
            case '*':
                if (wasPending) inComment = inBlock = true;
                else pending = true;
                break;
            default:
                if (!inComment) return;
            }
        }
    }

    // A description of the raised error, or null.
    const std::string* parseValue(JsonValue& out) {
        skipBlanks();
        if (atEnd()) return parseNumber(out);
        switch (t_[pos_]) {
        case '{': out = parseObject(); break;
        case '[': out = parseArray(); break;
        case '"':
        case '\'': out.v = parseString(); break;
        case 't':
        case 'f': out.v = parseBoolean(); break;
        case 'n': out = parseNull(); break;
        default: return parseNumber(out);
        }
        return nullptr;
    }

    // Steps over blanks and a separating comma; false when the object or
    // array ends here, at `close` (passed) or at the end of the text.
    bool beforeMember(char close) {
        skipBlanks();
        if (at(close)) {
            ++pos_;
            return false;
        }
        if (at(',')) {
            ++pos_;
            skipBlanks();
        } else if (atEnd()) {
            failMissing(close);
            return false;
        }
        return true;
    }

    JsonValue parseObject() {
        JsonValue result{JsonObject{}};
        if (!enter()) return result;
        auto& members = std::get<JsonObject>(result.v);
        ++pos_;
        while (beforeMember('}')) {
            const std::size_t start = pos_;
            std::string key = parseKey();
            JsonValue value;
            if (const std::string* raised = parseValue(value)) {
                failRaised(*raised, key);
                break;
            }
            if (abandoned_) break;
            if (pos_ == start) {
                failStuck('}', "Invalid Object");
                break;
            }
            if (!members.add(std::move(key), std::move(value))) {
                failRaised(keyRepeated(), key);
                break;
            }
        }
        --depth_;
        return result;
    }

    JsonValue parseArray() {
        JsonValue result{JsonList{}};
        if (!enter()) return result;
        auto& elements = std::get<JsonList>(result.v);
        ++pos_;
        while (beforeMember(']')) {
            const std::size_t start = pos_;
            JsonValue value;
            if (const std::string* raised = parseValue(value)) {
                failRaised(*raised, next20(pos_));
                break;
            }
            if (abandoned_) break;
            if (pos_ == start) {
                failStuck(']', "Invalid Array");
                break;
            }
            elements.push_back(std::move(value));
        }
        --depth_;
        return result;
    }

    // Quotes of either kind toggle and are dropped, as are blanks anywhere.
    std::string parseKey() {
        skipBlanks();
        std::string key;
        bool inDouble = false, inSingle = false;
        while (pos_ < t_.size()) {
            const char c = t_[pos_];
            switch (c) {
            case '"':
            case '\'': {
                bool& flag = c == '"' ? inDouble : inSingle;
                flag = !flag;
                ++pos_;
                if (!flag) {
                    skipBlanks();
                    if (!at(':')) {
                        failAt("Invalid Key", pos_, key);
                        return key;
                    }
                }
                break;
            }
            case ':':
                ++pos_;
                if (!inDouble && !inSingle) return key;
                key += ':';
                break;
            case '\r':
            case '\n':
            case '\t':
            case ' ': ++pos_; break;
            default: {
                const std::size_t run = pos_;
                while (pos_ < t_.size() && !isKeySyntax(t_[pos_])) ++pos_;
                key.append(t_.substr(run, pos_ - run));
            }
            }
        }
        return key;
    }
    static bool isKeySyntax(char c) {
        return c == '"' || c == '\'' || c == ':' || c == '\r' || c == '\n' || c == '\t' || c == ' ';
    }

    std::string parseString() {
        skipBlanks();
        const char delimiter = t_[pos_++];
        builder_.Remove(0, builder_.Length());
        while (pos_ < t_.size()) {
            const std::size_t run = pos_;
            while (pos_ < t_.size() && t_[pos_] != delimiter && t_[pos_] != '\\') ++pos_;
            builder_.Append(t_.substr(run, pos_ - run));
            if (atEnd()) break;
            if (t_[pos_++] == delimiter) break;
            if (atEnd()) break; // a backslash as the last character is dropped
            const char c = t_[pos_];
            switch (c) {
            case '"':
            case '\\':
            case '/':
            case '\'': builder_.Append(t_.substr(pos_++, 1)); break;
            case 'b': ++pos_; builder_.Append("\b"); break;
            case 'f': ++pos_; builder_.Append("\f"); break;
            case 'n': ++pos_; builder_.Append("\n"); break;
            case 'r': ++pos_; builder_.Append("\r"); break;
            case 't': ++pos_; builder_.Append("\t"); break;
            case 'u': {
                ++pos_;
                std::string character;
                appendUtf8(character, escapedCharacter());
                builder_.Append(character);
                break;
            }
            default: break; // the backslash goes, the character is read as it stands
            }
        }
        return builder_.toString();
    }

    // The four characters after "\u", read as far as they are hexadecimal
    // digits; the position moves past the four, never past the end.
    char32_t hexUnit() {
        char32_t code = 0;
        std::size_t p = pos_;
        while (p < t_.size() && p - pos_ < 4 && hexDigit(t_[p]) >= 0) code = code * 16 + hexDigit(t_[p++]);
        std::size_t units = 0;
        while (pos_ < t_.size() && units < 4) {
            units += unitsOfLead(static_cast<unsigned char>(t_[pos_]));
            ++pos_;
            while (pos_ < t_.size() && isContinuation(static_cast<unsigned char>(t_[pos_]))) ++pos_;
        }
        return code;
    }
    // A surrogate pair written as two escapes is one character; a lone
    // surrogate cannot stand in a text and becomes U+FFFD.
    char32_t escapedCharacter() {
        const char32_t first = hexUnit();
        if (first < 0xD800 || first > 0xDFFF) return first;
        if (first <= 0xDBFF && t_.compare(pos_, 2, "\\u") == 0 && pos_ + 6 <= t_.size()) {
            char32_t second = 0;
            bool hex = true;
            for (std::size_t i = 2; i < 6; ++i) {
                const int d = hexDigit(t_[pos_ + i]);
                hex = hex && d >= 0;
                second = second * 16 + static_cast<char32_t>(d < 0 ? 0 : d);
            }
            if (hex && second >= 0xDC00 && second <= 0xDFFF) {
                pos_ += 6;
                return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
            }
        }
        return 0xFFFD;
    }

    // A decimal from every character that may belong to a number; Empty
    // when the text ends while collecting.
    const std::string* parseNumber(JsonValue& out) {
        skipBlanks();
        const std::size_t start = pos_;
        while (pos_ < t_.size() && isNumberCharacter(t_[pos_])) ++pos_;
        if (atEnd()) {
            out.v = JsonEmpty{};
            return nullptr;
        }
        double d = 0;
        const char* first = t_.data() + start;
        const char* last = t_.data() + pos_;
        const auto [ptr, ec] = std::from_chars(first, last, d);
        if (ec == std::errc::result_out_of_range) return &overflow();
        if (ec != std::errc{} || ptr != last) return &typeMismatch();
        out.v = d;
        return nullptr;
    }
    static bool isNumberCharacter(char c) {
        return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E';
    }

    bool parseBoolean() {
        skipBlanks();
        if (t_.compare(pos_, 4, "true") == 0) {
            pos_ += 4;
            return true;
        }
        if (t_.compare(pos_, 5, "false") == 0) {
            pos_ += 5;
            return false;
        }
        failAt("Invalid Boolean", pos_);
        return false;
    }

    JsonValue parseNull() {
        skipBlanks();
        if (t_.compare(pos_, 4, "null") == 0) {
            pos_ += 4;
            return JsonValue{JsonNull{}};
        }
        failAt("Invalid null value", pos_);
        return JsonValue{JsonEmpty{}};
    }

    std::string_view t_;
    std::size_t pos_ = 0;
    int depth_ = 0;
    bool abandoned_ = false; // nesting too deep: every level returns what it has
    int failures_ = 0;
    std::size_t countedTo_ = 0, countedUnits_ = 0;
    cStringBuilder builder_;
};

} // namespace

std::optional<JsonValue> Parse(std::string_view text) {
    g_errors.clear();
    return Parser(text).run();
}

const std::string& GetParserErrors() { return g_errors; }

} // namespace sorlix::JSON
