#include "platform/registry/hive.h"

#include <charconv>

#include "platform/core/text.h"
#include "platform/registry/hive_syntax.h"

namespace winsys::reg {

using namespace syntax;

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// C escape letters by control character; '.' where octal is used.
constexpr char kEscapeLetters[33] = ".......abtnvfr.............e....";

bool isOctal(char16_t c) { return c >= '0' && c <= '7'; }

bool fitsForm(Form form, const std::vector<win::BYTE>& d) {
    switch (form) {
    case Form::String:
        return d.size() >= 2 && d.size() % 2 == 0 && d[d.size() - 2] == 0 && d[d.size() - 1] == 0;
    case Form::Dword:
        return d.size() == 4;
    case Form::Hex:
        return true;
    }
    return false;
}


// Appends one UTF-16 unit as Wine escapes it; `next` is the following unit
// or -1. Returns the number of characters written.
std::size_t appendUnit(std::string& out, char16_t c, int next, char extra) {
    if (c > 127) {
        char buf[8];
        const bool wide = next >= 0 && next < 128 && isHex(static_cast<char>(next));
        std::size_t n = 0;
        buf[n++] = '\\';
        buf[n++] = 'x';
        if (wide) {
            for (int shift = 12; shift >= 0; shift -= 4) buf[n++] = kHexDigits[(c >> shift) & 0xF];
        } else {
            auto r = std::to_chars(buf + n, buf + sizeof buf, static_cast<unsigned>(c), 16);
            n = static_cast<std::size_t>(r.ptr - buf);
        }
        out.append(buf, n);
        return n;
    }
    if (c < 32) {
        if (kEscapeLetters[c] != '.') {
            out += '\\';
            out += kEscapeLetters[c];
            return 2;
        }
        char buf[5] = {'\\', '0', '0', '0', 0};
        if (next >= 0 && isOctal(static_cast<char16_t>(next))) {
            buf[1] = static_cast<char>('0' + ((c >> 6) & 7));
            buf[2] = static_cast<char>('0' + ((c >> 3) & 7));
            buf[3] = static_cast<char>('0' + (c & 7));
            out.append(buf, 4);
            return 4;
        }
        auto r = std::to_chars(buf + 1, buf + sizeof buf, static_cast<unsigned>(c), 8);
        const auto n = static_cast<std::size_t>(r.ptr - buf);
        out.append(buf, n);
        return n;
    }
    if (c == '\\' || c == extra || (extra == '[' && c == ']')) {
        out += '\\';
        out += static_cast<char>(c);
        return 2;
    }
    out += static_cast<char>(c);
    return 1;
}

// `extra` is '"' for names and text, '[' for key names (escaping '[' and ']').
std::size_t appendEscaped(std::string& out, std::u16string_view s, char extra) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); ++i) n += appendUnit(out, s[i], i + 1 < s.size() ? s[i + 1] : -1, extra);
    return n;
}

std::size_t appendEscapedName(std::string& out, std::string_view utf8, char extra) {
    bool ascii = true;
    for (char ch : utf8) ascii = ascii && static_cast<unsigned char>(ch) < 0x80;
    if (!ascii) return appendEscaped(out, toUtf16KeepingSurrogates(utf8), extra);
    std::size_t n = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i)
        n += appendUnit(out, static_cast<char16_t>(utf8[i]), i + 1 < utf8.size() ? utf8[i + 1] : -1, extra);
    return n;
}

// String data: UTF-16LE bytes ending in NUL; the final NUL is not written.
void appendStringData(std::string& out, const std::vector<win::BYTE>& d) {
    const std::size_t units = d.size() / 2 - 1;
    auto unit = [&](std::size_t i) { return static_cast<char16_t>(d[2 * i] | (d[2 * i + 1] << 8)); };
    for (std::size_t i = 0; i < units; ++i) appendUnit(out, unit(i), i + 1 < units ? unit(i + 1) : -1, '"');
}

void appendHex32(std::string& out, std::uint32_t v, bool padded) {
    char buf[8];
    if (padded) {
        for (int k = 0; k < 8; ++k) buf[k] = kHexDigits[(v >> (28 - 4 * k)) & 0xF];
        out.append(buf, 8);
    } else {
        auto r = std::to_chars(buf, buf + 8, v, 16);
        out.append(buf, r.ptr);
    }
}

void appendValue(std::string& out, const Value& v) {
    std::size_t count;
    if (!v.name.empty()) {
        out += '"';
        count = 1 + appendEscapedName(out, v.name, '"');
        out += "\"=";
        count += 2;
    } else {
        out += "@=";
        count = 2;
    }
    for (const DataTag& t : kDataTags) {
        if (t.type != v.type || !fitsForm(t.form, v.data)) continue;
        out += t.tag;
        if (t.form == Form::String) {
            appendStringData(out, v.data);
            out += "\"\n";
            return;
        }
        if (t.form == Form::Dword) {
            const auto& d = v.data;
            appendHex32(out, d[0] | (d[1] << 8) | (d[2] << 16) | (static_cast<std::uint32_t>(d[3]) << 24), true);
            out += '\n';
            return;
        }
        count += t.tag.size();
        break;
    }
    if (v.type != win::REG_BINARY) {
        const std::size_t before = out.size();
        out += kGenericHexTag;
        appendHex32(out, v.type, false);
        out += "):";
        count += out.size() - before;
    }
    // Lines break after a comma once past 76 columns, as Wine breaks them.
    const std::size_t n = v.data.size();
    for (std::size_t i = 0; i < n; ++i) {
        const win::BYTE b = v.data[i];
        const char pair[2] = {kHexDigits[b >> 4], kHexDigits[b & 0xF]};
        out.append(pair, 2);
        count += 2;
        if (i + 1 < n) {
            out += ',';
            if (++count > 76) {
                out += "\\\n  ";
                count = 2;
            }
        }
    }
    out += '\n';
}

void appendLines(std::string& out, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        out += line;
        out += '\n';
    }
}

void appendSection(std::string& out, const Key& k, const std::string& path) {
    out += "\n[";
    out += path;
    out += "] ";
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, k.seconds);
    out.append(buf, r.ptr);
    out += '\n';
    if (k.time) {
        out += "#time=";
        appendHex32(out, static_cast<std::uint32_t>(*k.time >> 32), false);
        appendHex32(out, static_cast<std::uint32_t>(*k.time), true);
        out += '\n';
    }
    if (k.klass) {
        out += "#class=\"";
        appendEscapedName(out, *k.klass, '"');
        out += "\"\n";
    }
    if (k.link) out += "#link\n";
    for (const Value& v : k.values()) appendValue(out, v);
    appendLines(out, k.unreadLines);
}

void appendTree(std::string& out, const Key& k, std::string& path) {
    if (!k.values().empty() || k.subkeys().empty() || k.klass || k.link || !k.unreadLines.empty())
        appendSection(out, k, path);
    const std::size_t keep = path.size();
    for (const auto& sub : k.subkeys()) {
        if (keep) path += "\\\\";
        appendEscapedName(path, sub->name(), '[');
        appendTree(out, *sub, path);
        path.resize(keep);
    }
}

} // namespace

std::string formatHive(const HiveTree& tree) {
    std::string out;
    out.reserve(1 << 16);
    out += kHeader;
    out += '\n';
    out += kRelativeTo;
    out += tree.relativeTo;
    out += '\n';
    if (!tree.arch.empty()) {
        out += "\n#arch=";
        out += tree.arch;
        out += '\n';
    }
    appendLines(out, tree.unreadHead);
    std::string path;
    appendTree(out, *tree.root, path);
    if (!tree.unreadTail.empty()) out += '\n';
    appendLines(out, tree.unreadTail);
    return out;
}

} // namespace winsys::reg
