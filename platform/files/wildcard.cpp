#include "platform/files/wildcard.h"

#include <string>
#include <vector>

#include "platform/core/text.h"

namespace winsys {

namespace {

// The mask after the translation Windows applies before matching: '?' is
// "any one, or nothing at a dot or the end", '*' before a dot is "anything
// up to the last dot", a dot before '?' or '*' is "a dot, or the end".
enum class Token : char { Literal, Star, DosStar, DosQm, DosDot };

struct Item {
    Token token;
    char16_t ch; // the folded character of a literal
};

std::u16string folded(std::string_view utf8) {
    std::u16string s = toUtf16(utf8);
    for (char16_t& c : s)
        if (c < 0xD800 || c > 0xDFFF) c = static_cast<char16_t>(foldCase(c));
    return s;
}

std::u16string_view::size_type lastDot(std::u16string_view name) { return name.rfind(u'.'); }

bool match(const Item* m, const Item* mEnd, std::u16string_view name, std::size_t n, std::size_t lastDotPos) {
    while (m != mEnd) {
        switch (m->token) {
        case Token::Literal:
            if (n >= name.size() || name[n] != m->ch) return false;
            ++m, ++n;
            break;
        case Token::Star:
            for (std::size_t k = n; k <= name.size(); ++k)
                if (match(m + 1, mEnd, name, k, lastDotPos)) return true;
            return false;
        case Token::DosStar: {
            // Any run that does not take the last dot.
            const std::size_t limit = (lastDotPos == std::u16string_view::npos || lastDotPos < n) ? name.size() : lastDotPos;
            for (std::size_t k = n; k <= limit; ++k)
                if (match(m + 1, mEnd, name, k, lastDotPos)) return true;
            return false;
        }
        case Token::DosQm:
            if (n >= name.size() || name[n] == u'.') {
                while (m != mEnd && m->token == Token::DosQm) ++m;
            } else {
                ++m, ++n;
            }
            break;
        case Token::DosDot:
            if (n < name.size() && name[n] == u'.') ++n;
            else if (n < name.size()) return false;
            ++m;
            break;
        }
    }
    return n == name.size();
}

} // namespace

bool matchesWildcard(std::string_view mask, std::string_view name) {
    if (mask == "*.*") mask = "*";
    const std::u16string m = folded(mask);
    const std::u16string nm = folded(name);
    std::vector<Item> items;
    for (std::size_t k = 0; k < m.size(); ++k) {
        const char16_t c = m[k];
        const char16_t next = k + 1 < m.size() ? m[k + 1] : 0;
        if (c == u'?') items.push_back({Token::DosQm, 0});
        else if (c == u'*') items.push_back({next == u'.' ? Token::DosStar : Token::Star, 0});
        else if (c == u'.' && (next == u'?' || next == u'*')) items.push_back({Token::DosDot, 0});
        else items.push_back({Token::Literal, c});
    }
    return match(items.data(), items.data() + items.size(), nm, 0, lastDot(nm));
}

} // namespace winsys
