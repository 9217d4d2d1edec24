// Reading Wine's hive text: one pass over the buffer, line by line, with a
// scratch buffer for unescaped text so that no character costs an allocation.
#include "platform/registry/hive.h"

#include <cstring>

#include "platform/core/text.h"
#include "platform/registry/hive_syntax.h"

namespace winsys::reg {

using namespace syntax;

namespace {

constexpr std::size_t kMaxDepth = 512; // Windows' limit on key nesting

// Where unescaped text goes: a scratch string (names), or straight into a
// value's UTF-16LE data bytes, so that a long string line is held once
// more, not twice.
struct Utf16Sink {
    std::u16string& out;
    void put(char16_t c) { out += c; }
};
struct Utf16leBytesSink {
    std::vector<win::BYTE>& out;
    void put(char16_t c) {
        out.push_back(static_cast<win::BYTE>(c & 0xFF));
        out.push_back(static_cast<win::BYTE>(c >> 8));
    }
};

template <class Sink>
void appendUtf16(Sink& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.put(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.put(static_cast<char16_t>(cp));
    }
}

// Decodes one UTF-8 character at p (p < end, *p >= 0x80); U+FFFD if malformed.
char32_t decodeUtf8(const char*& p, const char* end) {
    const auto b0 = static_cast<unsigned char>(*p++);
    int extra;
    char32_t cp;
    if ((b0 & 0xE0) == 0xC0) { extra = 1; cp = b0 & 0x1F; }
    else if ((b0 & 0xF0) == 0xE0) { extra = 2; cp = b0 & 0x0F; }
    else if ((b0 & 0xF8) == 0xF0) { extra = 3; cp = b0 & 0x07; }
    else return 0xFFFD;
    for (int k = 0; k < extra; ++k) {
        if (p == end || (static_cast<unsigned char>(*p) & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (static_cast<unsigned char>(*p++) & 0x3F);
    }
    static const char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
    return cp;
}

// Reads escaped text up to an unescaped `endChar` into `out`, leaving p after
// it. False when the line ends first.
template <class Sink>
bool parseEscaped(const char*& p, const char* end, char endChar, Sink& out) {
    while (p < end) {
        const char c = *p;
        if (c == endChar) {
            ++p;
            return true;
        }
        if (static_cast<unsigned char>(c) >= 0x80) {
            appendUtf16(out, decodeUtf8(p, end));
            continue;
        }
        ++p;
        if (c != '\\') {
            out.put(static_cast<char16_t>(c));
            continue;
        }
        if (p == end) return false;
        const char e = *p++;
        switch (e) {
        case 'a': out.put(u'\a'); break;
        case 'b': out.put(u'\b'); break;
        case 'e': out.put(char16_t{27}); break;
        case 'f': out.put(u'\f'); break;
        case 'n': out.put(u'\n'); break;
        case 'r': out.put(u'\r'); break;
        case 't': out.put(u'\t'); break;
        case 'v': out.put(u'\v'); break;
        case 'x': {
            unsigned v = 0;
            int digits = 0;
            while (digits < 4 && p < end && isHex(*p)) v = v * 16 + static_cast<unsigned>(hexValue(*p++)), ++digits;
            out.put(digits ? static_cast<char16_t>(v) : u'x');
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                unsigned v = static_cast<unsigned>(e - '0');
                for (int digits = 1; digits < 3 && p < end && *p >= '0' && *p <= '7'; ++digits)
                    v = v * 8 + static_cast<unsigned>(*p++ - '0');
                out.put(static_cast<char16_t>(v));
            } else if (static_cast<unsigned char>(e) >= 0x80) {
                --p;
                appendUtf16(out, decodeUtf8(p, end));
            } else {
                out.put(static_cast<char16_t>(e));
            }
        }
    }
    return false;
}

// Escaped text into the scratch string, emptied first.
bool parseEscaped(const char*& p, const char* end, char endChar, std::u16string& out) {
    out.clear();
    Utf16Sink sink{out};
    return parseEscaped(p, end, endChar, sink);
}

bool onlySpace(const char* p, const char* end) {
    for (; p < end; ++p)
        if (*p != ' ' && *p != '\t') return false;
    return true;
}

const char* skipSpace(const char* p, const char* end) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    return p;
}

bool startsWith(const char* p, const char* end, std::string_view s) {
    return static_cast<std::size_t>(end - p) >= s.size() && std::memcmp(p, s.data(), s.size()) == 0;
}

// Reads up to `maxDigits` hex digits; false when there are none.
template <class T>
bool parseHexNumber(const char*& p, const char* end, int maxDigits, T& v) {
    v = 0;
    int digits = 0;
    while (p < end && isHex(*p) && digits < maxDigits) v = static_cast<T>(v * 16 + static_cast<T>(hexValue(*p++))), ++digits;
    return digits > 0 && !(p < end && isHex(*p));
}

class Parser {
public:
    Parser(std::string_view text, std::string_view fileName) : text_(text), file_(fileName) {}

    Result<ParsedHive> run() {
        std::string_view line;
        if (!nextLine(line) || line != kHeader)
            return Error{win::ERROR_REGISTRY_CORRUPT,
                         std::string(file_) + ":1: not a Wine registry file '" + shown(line) + "'"};
        while (nextLine(line)) handleLine(line);
        endSection();
        return std::move(result_);
    }

private:
    bool nextLine(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        const char* start = text_.data() + pos_;
        const void* nl = std::memchr(start, '\n', text_.size() - pos_);
        const std::size_t len = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - start) : text_.size() - pos_;
        pos_ += len + (nl ? 1 : 0);
        line = std::string_view(start, len);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ++lineNo_;
        return true;
    }

    static std::string shown(std::string_view line) {
        constexpr std::size_t kMax = 120;
        return line.size() <= kMax ? std::string(line) : std::string(line.substr(0, kMax)) + "...";
    }

    void warn(int lineNo, std::string_view reason, std::string_view line) {
        result_.warnings.push_back(std::string(file_) + ":" + std::to_string(lineNo) + ": " + std::string(reason) +
                                   " '" + shown(line) + "'");
    }

    // Keeps a line that is not read as it stands, where the writer puts it
    // back: in its key's section, before the first key, or (in a section
    // whose key line is bad) at the end of the file.
    void keep(std::string_view raw) {
        std::vector<std::string>& to = key_ ? key_->unreadLines
                                       : sawKey_ ? result_.tree.unreadTail
                                                 : result_.tree.unreadHead;
        to.emplace_back(raw);
    }

    void skip(int lineNo, std::string_view reason, std::string_view line) {
        warn(lineNo, reason, line);
        keep(line);
    }

    // A value line that is not read: `first` is where it starts, `last` the
    // last line it took (hex data go on over several lines).
    void skipValue(int lineNo, std::string_view reason, const char* first, std::string_view last) {
        warn(lineNo, reason, last);
        keep(std::string_view(first, static_cast<std::size_t>(last.data() + last.size() - first)));
    }

    void handleLine(std::string_view line) {
        const char* p = line.data();
        const char* end = p + line.size();
        if (onlySpace(p, end)) return;
        switch (*p) {
        case ';':
            if (!sawKey_ && result_.tree.relativeTo.empty() && line.substr(0, kRelativeTo.size()) == kRelativeTo)
                result_.tree.relativeTo = std::string(line.substr(kRelativeTo.size()));
            return;
        case '#':
            handleOption(line);
            return;
        case '[':
            handleKey(line);
            return;
        case '@':
        case '"':
            handleValue(line);
            return;
        default:
            skip(lineNo_, "unknown line", line);
        }
    }

    void handleOption(std::string_view line) {
        const char* p = line.data();
        const char* end = p + line.size();
        if (!sawKey_) {
            if (startsWith(p, end, "#arch=") && result_.tree.arch.empty()) result_.tree.arch = std::string(line.substr(6));
            else keep(line);
            return;
        }
        if (!key_) return keep(line); // options of a skipped section
        if (startsWith(p, end, "#time=")) {
            p += 6;
            FileTime t;
            if (!parseHexNumber(p, end, 16, t) || !onlySpace(p, end)) return skip(lineNo_, "bad time", line);
            key_->time = t;
        } else if (startsWith(p, end, "#class=\"")) {
            p += 8;
            if (!parseEscaped(p, end, '"', scratch_) || !onlySpace(p, end)) return skip(lineNo_, "bad class", line);
            key_->klass = toUtf8KeepingSurrogates(scratch_);
        } else if (startsWith(p, end, "#link") && onlySpace(p + 5, end)) {
            key_->link = true;
        } else {
            // Other options are Wine's own business: they go back as they came.
            keep(line);
        }
    }

    void handleKey(std::string_view line) {
        endSection();
        sawKey_ = true;
        key_ = nullptr;
        const char* p = line.data() + 1;
        const char* end = line.data() + line.size();
        if (!parseEscaped(p, end, ']', scratch_)) return skip(lineNo_, "unterminated key name", line);
        p = skipSpace(p, end);
        std::uint64_t seconds = 0;
        const char* digits = p;
        while (p < end && *p >= '0' && *p <= '9' && seconds <= 0xFFFFFFFFu) seconds = seconds * 10 + (*p++ - '0');
        if (seconds > 0xFFFFFFFFu || !onlySpace(p, end)) warn(lineNo_, "bad time after key name", line);
        const bool hasTime = p > digits && seconds <= 0xFFFFFFFFu;

        // Split the unescaped path at backslashes; empty parts are skipped.
        parts_.clear();
        std::size_t start = 0;
        for (std::size_t i = 0; i <= scratch_.size(); ++i) {
            if (i < scratch_.size() && scratch_[i] != u'\\') continue;
            if (i > start)
                parts_.push_back(toUtf8KeepingSurrogates(std::u16string_view(scratch_).substr(start, i - start)));
            start = i + 1;
        }
        if (parts_.size() > kMaxDepth) return skip(lineNo_, "key nested too deeply", line);

        // Consecutive sections mostly share their leading keys: reuse them.
        std::size_t same = 0;
        while (same < parts_.size() && same < chain_.size() && equalsNoCase(chain_[same]->name(), parts_[same])) ++same;
        chain_.resize(same);
        Key* k = same ? chain_.back() : result_.tree.root.get();
        const std::uint32_t secs = hasTime ? static_cast<std::uint32_t>(seconds) : 0;
        for (std::size_t i = same; i < parts_.size(); ++i) {
            bool created = false;
            k = k->addSubkey(parts_[i], &created).get();
            if (created) k->seconds = secs;
            chain_.push_back(k);
        }
        key_ = k;
        key_->seconds = secs;
        key_->time.reset();
    }

    void handleValue(std::string_view line) {
        const int firstLine = lineNo_;
        const char* first = line.data();
        if (!key_) return skip(lineNo_, sawKey_ ? "value of a skipped key" : "value before any key", line);
        const char* p = line.data();
        const char* end = p + line.size();
        Value v;
        if (*p == '@') {
            ++p;
        } else {
            ++p;
            if (!parseEscaped(p, end, '"', scratch_)) return skipValue(firstLine, "unterminated value name", first, line);
            v.name = toUtf8KeepingSurrogates(scratch_);
        }
        p = skipSpace(p, end);
        if (p == end || *p != '=') return skipValue(firstLine, "expected '='", first, line);
        p = skipSpace(p + 1, end);

        const DataTag* tag = nullptr;
        for (const DataTag& t : kDataTags)
            if (startsWith(p, end, t.tag)) { tag = &t; break; }
        Form form;
        if (tag) {
            p += tag->tag.size();
            v.type = tag->type;
            form = tag->form;
        } else if (startsWith(p, end, kGenericHexTag)) {
            p += kGenericHexTag.size();
            if (!parseHexNumber(p, end, 8, v.type) || !startsWith(p, end, "):"))
                return skipValue(firstLine, "bad type number", first, line);
            p += 2;
            form = Form::Hex;
        } else {
            return skipValue(firstLine, "unknown data type", first, line);
        }

        switch (form) {
        case Form::String: {
            // Each byte of the line gives at most one UTF-16 unit.
            v.data.reserve(2 * static_cast<std::size_t>(end - p) + 2);
            Utf16leBytesSink sink{v.data};
            if (!parseEscaped(p, end, '"', sink) || !onlySpace(p, end))
                return skipValue(firstLine, "unterminated string", first, line);
            sink.put(0);
            // Escapes take several bytes a unit: give back what was not needed.
            if (v.data.capacity() - v.data.size() > v.data.size() / 4 + 64) v.data.shrink_to_fit();
            break;
        }
        case Form::Dword: {
            std::uint32_t d;
            if (!parseHexNumber(p, end, 8, d) || !onlySpace(p, end)) return skipValue(firstLine, "bad dword", first, line);
            v.data = {static_cast<win::BYTE>(d), static_cast<win::BYTE>(d >> 8), static_cast<win::BYTE>(d >> 16),
                      static_cast<win::BYTE>(d >> 24)};
            break;
        }
        case Form::Hex:
            if (!parseHexBytes(p, end, line, v.data)) return skipValue(firstLine, "bad hex data", first, line);
            break;
        }
        key_->appendLoadedValue(std::move(v));
    }

    // Comma-separated bytes; a trailing backslash continues on the next line.
    // `line` is updated to the last line read, for the warning.
    bool parseHexBytes(const char* p, const char* end, std::string_view& line, std::vector<win::BYTE>& out) {
        for (;;) {
            p = skipSpace(p, end);
            if (p == end) return true;
            if (*p == '\\' && onlySpace(p + 1, end)) {
                if (!nextLine(line)) return false;
                p = skipSpace(line.data(), line.data() + line.size());
                end = line.data() + line.size();
                continue;
            }
            if (!isHex(*p)) return false;
            int b = hexValue(*p++);
            if (p < end && isHex(*p)) b = b * 16 + hexValue(*p++);
            out.push_back(static_cast<win::BYTE>(b));
            p = skipSpace(p, end);
            if (p == end) return true;
            if (*p == ',') ++p;
            else if (*p != '\\') return false;
        }
    }

    void endSection() {
        if (key_) key_->dedupeLoadedValues();
    }

    std::string_view text_;
    std::string_view file_;
    std::size_t pos_ = 0;
    int lineNo_ = 0;
    bool sawKey_ = false;
    Key* key_ = nullptr;           // the section being read; null in a skipped one
    std::vector<Key*> chain_;      // the keys of the last section's path
    std::vector<std::string> parts_;
    std::u16string scratch_;
    ParsedHive result_;
};

} // namespace

Result<ParsedHive> parseHive(std::string_view text, std::string_view fileName) {
    return Parser(text, fileName).run();
}

} // namespace winsys::reg
