#include "app/core/msid.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/system/account.h"

namespace sorlix::MSidToSam {

namespace {

constexpr std::size_t kMaxSubAuthorities = 13;

std::string trimmedAtNul(const std::string& s) {
    const std::string cut = s.substr(0, s.find('\0'));
    const auto b = cut.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return cut.substr(b, cut.find_last_not_of(' ') - b + 1);
}

// A decimal number up to `max`, or nothing.
std::optional<std::uint32_t> decimal(std::string_view piece, std::uint64_t max) {
    if (piece.empty()) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : piece) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
        if (v > max) return std::nullopt;
    }
    return static_cast<std::uint32_t>(v);
}

// The revision, the authority and the sub-authorities, or nothing when the
// text does not make a SID we can hold.
std::optional<std::vector<std::uint32_t>> sidNumbers(std::string_view text) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    bool first = true;
    while (start <= text.size()) {
        std::size_t end = text.find('-', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view piece = text.substr(start, end - start);
        if (!first && !piece.empty()) pieces.push_back(piece);
        first = false;
        start = end + 1;
    }
    if (pieces.size() < 2 || pieces.size() - 2 > kMaxSubAuthorities) return std::nullopt;
    std::vector<std::uint32_t> numbers;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const auto v = decimal(pieces[k], k < 2 ? 255 : 0xFFFFFFFFull);
        if (!v) return std::nullopt;
        numbers.push_back(*v);
    }
    return numbers;
}

} // namespace

void SidToSam(const std::string& sid, std::string& domain, std::string& account) {
    domain.clear();
    account.clear();
    const auto numbers = sidNumbers(sid);
    if (!numbers) return;

    const auto count = static_cast<win::BYTE>(numbers->size() - 2);
    win::SID_IDENTIFIER_AUTHORITY authority;
    authority.Value[5] = static_cast<win::BYTE>((*numbers)[1]);
    win::SID built;
    if (!win::InitializeSid(&built, authority, count)) return;
    for (win::DWORD k = 0; k < count; ++k) *win::GetSidSubAuthority(&built, k) = (*numbers)[k + 2];

    std::string name, dom;
    win::SID_NAME_USE use{};
    if (!win::LookupAccountSid(nullptr, built, &name, &dom, &use)) return;
    account = trimmedAtNul(name);
    domain = trimmedAtNul(dom);
}

} // namespace sorlix::MSidToSam
