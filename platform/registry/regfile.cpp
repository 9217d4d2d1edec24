#include "platform/registry/regfile.h"

// The reader of .reg text. It accepts what regedit writes and what people
// write by hand in its spirit: blanks around tokens, ';' comments, root
// names in short form, one-digit bytes, continuation lines anywhere in a
// byte list. It refuses the rest with the line that broke.

#include <algorithm>
#include <array>

#include "platform/core/text.h"
#include "platform/system/message.h"

namespace winsys {

namespace {

struct RootName {
    const char* full;
    const char* abbrev;
    win::HKEY key;
};

// Made at first use: the predefined handles are set at run time, in no
// order relative to this file's own statics (clang sets them later).
const std::array<RootName, 5>& roots() {
    static const std::array<RootName, 5> table{{
        {"HKEY_LOCAL_MACHINE", "HKLM", win::HKEY_LOCAL_MACHINE},
        {"HKEY_CURRENT_USER", "HKCU", win::HKEY_CURRENT_USER},
        {"HKEY_CLASSES_ROOT", "HKCR", win::HKEY_CLASSES_ROOT},
        {"HKEY_USERS", "HKU", win::HKEY_USERS},
        {"HKEY_CURRENT_CONFIG", "HKCC", win::HKEY_CURRENT_CONFIG},
    }};
    return table;
}

const char kHeader5[] = "Windows Registry Editor Version 5.00";
const char kHeader4[] = "REGEDIT4";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// 1 to 8 hex digits, the whole of `digits`.
bool parseHexDword(std::string_view digits, win::DWORD& out) {
    if (digits.empty() || digits.size() > 8) return false;
    out = 0;
    for (char c : digits) {
        int v = hexValue(c);
        if (v < 0) return false;
        out = (out << 4) | static_cast<win::DWORD>(v);
    }
    return true;
}

// For messages: a token as the file has it, cut short when long.
std::string quoteToken(std::string_view s) {
    constexpr std::size_t kMax = 40;
    std::string t(s.substr(0, kMax));
    if (s.size() > kMax) t += "...";
    return "'" + t + "'";
}

struct ParseError {
    int line;
    std::string reason;
};

class Parser {
public:
    explicit Parser(std::string text) : text_(std::move(text)) { splitLines(); }

    std::vector<RegOperation> run() {
        const std::string_view header = lines_.empty() ? std::string_view() : trim(lines_[0]);
        if (header != kHeader5 && header != kHeader4) {
            lineNo_ = 1;
            fail(std::string("not a registry file: the first line must be '") + kHeader5 + "' or '" + kHeader4 +
                 "'");
        }
        ansiHex_ = header == kHeader4;
        next_ = 1;
        std::string_view line;
        while (nextLine(line)) {
            line = trim(line);
            if (line.empty() || line.front() == ';') continue;
            if (line.front() == '[')
                section(line);
            else if (line.front() == '"' || line.front() == '@')
                value(line);
            else
                fail("unexpected text " + quoteToken(line));
        }
        return std::move(ops_);
    }

private:
    void splitLines() {
        std::string_view rest(text_);
        while (!rest.empty()) {
            std::size_t nl = rest.find('\n');
            std::string_view line = rest.substr(0, nl);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            lines_.push_back(line);
            if (nl == std::string_view::npos) break;
            rest.remove_prefix(nl + 1);
        }
    }

    bool nextLine(std::string_view& line) {
        if (next_ >= lines_.size()) return false;
        line = lines_[next_++];
        lineNo_ = static_cast<int>(next_);
        return true;
    }

    [[noreturn]] void fail(std::string reason) const { throw ParseError{lineNo_, std::move(reason)}; }

    void section(std::string_view line) {
        // Key names may hold ']': the header ends at the last one.
        std::size_t close = line.rfind(']');
        if (close == std::string_view::npos) fail("missing ']' after the key name");
        if (!trim(line.substr(close + 1)).empty()) fail("unexpected text after ']'");
        std::string_view inner = line.substr(1, close - 1);
        const bool remove = !inner.empty() && inner.front() == '-';
        if (remove) inner.remove_prefix(1);
        auto path = parseRegKeyPath(inner);
        if (!path) fail(path.error().message);
        if (remove && path->subKey.empty()) fail("a root key cannot be deleted");
        RegOperation op;
        op.kind = remove ? RegOperation::Kind::DeleteKey : RegOperation::Kind::CreateKey;
        op.key = path.value();
        op.line = lineNo_;
        key_ = op.key;
        haveKey_ = true;
        deleting_ = remove;
        ops_.push_back(std::move(op));
    }

    void value(std::string_view line) {
        if (!haveKey_) fail("value before any key");
        if (deleting_) fail("value under a key that is being deleted");
        std::size_t pos = 0;
        RegOperation op;
        op.key = key_;
        op.line = lineNo_;
        if (line.front() == '@')
            pos = 1;
        else
            op.name = quoted(line, pos);
        skipBlanks(line, pos);
        if (pos >= line.size() || line[pos] != '=') fail("missing '=' after the value name");
        ++pos;
        skipBlanks(line, pos);
        std::string_view data = line.substr(pos);

        if (!data.empty() && data.front() == '-') {
            op.kind = RegOperation::Kind::DeleteValue;
            expectEnd(line, pos + 1);
        } else if (!data.empty() && data.front() == '"') {
            op.kind = RegOperation::Kind::SetValue;
            op.type = win::REG_SZ;
            op.data = toUtf16leBytes(quoted(line, pos), true);
            expectEnd(line, pos);
        } else if (startsWithNoCase(data, "dword:")) {
            pos += 6;
            std::size_t end = pos;
            while (end < line.size() && !isBlank(line[end]) && line[end] != ';') ++end;
            win::DWORD v = 0;
            if (!parseHexDword(line.substr(pos, end - pos), v))
                fail("bad dword value " + quoteToken(line.substr(pos, end - pos)));
            expectEnd(line, end);
            op.kind = RegOperation::Kind::SetValue;
            op.type = win::REG_DWORD;
            op.data = {static_cast<win::BYTE>(v), static_cast<win::BYTE>(v >> 8), static_cast<win::BYTE>(v >> 16),
                       static_cast<win::BYTE>(v >> 24)};
        } else if (startsWithNoCase(data, "hex:") || startsWithNoCase(data, "hex(")) {
            op.kind = RegOperation::Kind::SetValue;
            op.type = hexType(line, pos);
            op.data = hexList(line, pos);
            // REGEDIT4 wrote the text types as ANSI bytes; the registry keeps UTF-16LE.
            if (ansiHex_ && (op.type == win::REG_EXPAND_SZ || op.type == win::REG_MULTI_SZ)) {
                std::string_view ansi(reinterpret_cast<const char*>(op.data.data()), op.data.size());
                op.data = toUtf16leBytes(fromCp1252(ansi), false);
            }
        } else {
            fail("unknown value format " + quoteToken(data));
        }
        ops_.push_back(std::move(op));
    }

    // A quoted string at line[pos] (the opening quote); leaves pos after the
    // closing quote. \\ and \" are the escapes regedit writes; \n and \r
    // stand for line breaks; any other backslash stays as it is.
    std::string quoted(std::string_view line, std::size_t& pos) const {
        std::string out;
        for (++pos; pos < line.size(); ++pos) {
            char c = line[pos];
            if (c == '"') {
                ++pos;
                return out;
            }
            if (c == '\\' && pos + 1 < line.size()) {
                char e = line[pos + 1];
                if (e == '\\' || e == '"' || e == 'n' || e == 'r') {
                    out += e == 'n' ? '\n' : e == 'r' ? '\r' : e;
                    ++pos;
                    continue;
                }
            }
            out += c;
        }
        fail("unterminated string");
    }

    // "hex:" or "hex(N):" at line[pos]; leaves pos after the colon.
    win::DWORD hexType(std::string_view line, std::size_t& pos) const {
        pos += 3;
        if (line[pos] == ':') {
            ++pos;
            return win::REG_BINARY;
        }
        const std::size_t close = line.find(')', pos);
        const std::size_t start = pos - 3;
        win::DWORD type = 0;
        if (close == std::string_view::npos)
            fail("bad value type in " + quoteToken(line.substr(start)));
        if (!parseHexDword(line.substr(pos + 1, close - pos - 1), type))
            fail("bad value type in " + quoteToken(line.substr(start, close + 1 - start)));
        pos = close + 1;
        if (pos >= line.size() || line[pos] != ':') fail("missing ':' after 'hex(...)'");
        ++pos;
        return type;
    }

    // Comma-separated bytes from line[pos]; a backslash at the end of a line
    // continues the list on the next one, and a blank line ends it.
    std::vector<win::BYTE> hexList(std::string_view line, std::size_t pos) {
        std::vector<win::BYTE> out;
        bool afterComma = true;
        for (;;) {
            skipBlanks(line, pos);
            if (pos >= line.size() || line[pos] == ';') break;
            if (line[pos] == '\\') {
                if (!trim(line.substr(pos + 1)).empty()) fail("unexpected text after '\\'");
                if (!nextLine(line)) fail("the file ends after a '\\' continuation");
                pos = 0;
                continue;
            }
            std::size_t end = pos;
            while (end < line.size() && line[end] != ',' && line[end] != '\\' && line[end] != ';' &&
                   !isBlank(line[end]))
                ++end;
            std::string_view token = line.substr(pos, std::max<std::size_t>(end - pos, 1));
            if (!afterComma) fail("missing ',' before " + quoteToken(token));
            if (token.size() > 2 || hexValue(token[0]) < 0 || (token.size() == 2 && hexValue(token[1]) < 0))
                fail("bad hex byte " + quoteToken(token));
            int v = hexValue(token[0]);
            if (token.size() == 2) v = v * 16 + hexValue(token[1]);
            out.push_back(static_cast<win::BYTE>(v));
            pos += token.size();
            skipBlanks(line, pos);
            afterComma = pos < line.size() && line[pos] == ',';
            if (afterComma) ++pos;
        }
        return out;
    }

    static void skipBlanks(std::string_view line, std::size_t& pos) {
        while (pos < line.size() && isBlank(line[pos])) ++pos;
    }

    void expectEnd(std::string_view line, std::size_t pos) const {
        skipBlanks(line, pos);
        if (pos < line.size() && line[pos] != ';') fail("unexpected text after the value " + quoteToken(line.substr(pos)));
    }

    std::string text_;
    bool ansiHex_ = false;
    std::vector<std::string_view> lines_;
    std::size_t next_ = 0;
    int lineNo_ = 0;
    RegKeyPath key_;
    bool haveKey_ = false;
    bool deleting_ = false;
    std::vector<RegOperation> ops_;
};

bool startsWithBytes(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

} // namespace

win::REGSAM regViewFlag(RegView view) {
    return view == RegView::Bits32 ? win::KEY_WOW64_32KEY : win::KEY_WOW64_64KEY;
}

std::string RegKeyPath::text() const { return subKey.empty() ? rootName : rootName + "\\" + subKey; }

Result<RegKeyPath> parseRegKeyPath(std::string_view text) {
    std::size_t slash = text.find('\\');
    std::string_view root = text.substr(0, slash);
    std::string_view rest = slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
    if (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
    RegKeyPath path;
    // The names are plain ASCII, which no other character folds onto: only
    // a name of the same length can match.
    const auto same = [&](std::string_view name) { return root.size() == name.size() && equalsNoCase(root, name); };
    for (const auto& r : roots()) {
        if (same(r.full) || same(r.abbrev)) {
            path.root = r.key;
            path.rootName = r.full;
            break;
        }
    }
    if (!path.root) {
        if (root.empty()) return Error{win::ERROR_INVALID_PARAMETER, "missing root key"};
        return Error{win::ERROR_INVALID_PARAMETER, "unknown root key " + quoteToken(root)};
    }
    // "ROOT\" names the root; anything else must be names between single backslashes.
    const bool rootOnly = slash == std::string_view::npos || text.size() == slash + 1;
    if (!rootOnly) {
        std::string_view parts = rest;
        for (;;) {
            std::size_t b = parts.find('\\');
            if (parts.substr(0, b).empty()) return Error{win::ERROR_INVALID_PARAMETER, "empty key name in " + quoteToken(text)};
            if (b == std::string_view::npos) break;
            parts.remove_prefix(b + 1);
        }
    }
    path.subKey = std::string(rest);
    return path;
}

Result<std::vector<RegOperation>> parseRegText(std::string_view bytes, std::string_view fileName) {
    std::string text;
    if (startsWithBytes(bytes, "\xFF\xFE")) {
        text = fromUtf16leBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2, bytes.size() - 2);
    } else if (startsWithBytes(bytes, "\xEF\xBB\xBF")) {
        text = bytes.substr(3);
    } else if (startsWithBytes(trim(bytes), kHeader4)) {
        text = fromCp1252(bytes);
    } else {
        text = bytes;
    }
    try {
        return Parser(std::move(text)).run();
    } catch (const ParseError& e) {
        return Error{win::ERROR_INVALID_DATA, std::string(fileName) + ":" + std::to_string(e.line) + ": " + e.reason};
    }
}

std::string winErrorText(win::DWORD code) {
    std::string text;
    if (win::FormatMessage(win::FORMAT_MESSAGE_FROM_SYSTEM | win::FORMAT_MESSAGE_IGNORE_INSERTS, code, 0, &text) == 0)
        return "Error " + std::to_string(code) + ".";
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

} // namespace winsys
