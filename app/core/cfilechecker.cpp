#include "app/core/cfilechecker.h"

#include <optional>
#include <string_view>

#include "app/core/mapi.h"
#include "app/core/comcalls.h"
#include "platform/com/variant.h"
#include "platform/core/text.h"
#include "platform/system/pathnames.h"

namespace sorlix {

namespace {

using winsys::com::call;

constexpr win::DWORD kPathBuffer = 2000;

void removeAll(std::string& s, std::string_view what, std::size_t from) {
    for (std::size_t at; (at = s.find(what, from)) != std::string::npos;) s.erase(at, what.size());
}

bool isRundll32Line(std::string_view text) {
    return winsys::startsWithNoCase(text, "rundll32") || winsys::startsWithNoCase(text, "\"rundll32.exe\"") ||
           winsys::startsWithNoCase(text, "%systemroot%\\system32\\rundll32");
}

std::string rundll32Library(const std::string& text) {
    const auto s = text.find(' ');
    if (s == std::string::npos) return "rundll32.exe";
    const auto c = text.find(',');
    std::string result = c != std::string::npos && c > s ? text.substr(s + 1, c - s - 1) : text.substr(s);
    result = MAPI::Trim(result);
    if (result.find('.') == std::string::npos) result += ".dll";
    return result;
}

// A Windows call that reports the size it needs when the buffer is short:
// retried with that size, so that the answer is never read from a buffer the
// call did not fill.
template <class Call>
std::optional<std::string> withRetry(Call&& fill) {
    std::string buffer;
    win::DWORD size = kPathBuffer;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const win::DWORD n = fill(size, &buffer);
        if (n == 0) return std::nullopt;
        if (n < size) return buffer;
        size = n;
    }
    return std::nullopt;
}

std::optional<std::string> searchPath(const std::string& name) {
    return withRetry([&](win::DWORD size, std::string* buffer) {
        return win::SearchPath(nullptr, name, nullptr, size, buffer);
    });
}

std::optional<std::string> longPath(const std::string& path) {
    return withRetry([&](win::DWORD size, std::string* buffer) { return win::GetLongPathName(path, buffer, size); });
}

std::string expand(const std::string& text) {
    std::string expanded;
    call([&] { return Global()->ExpandEnvironmentStrings(text, &expanded); });
    return expanded;
}

} // namespace

CFileChecker::CFileChecker(bool isNT, bool isNT4) : longNames_(isNT && !isNT4) {
    cache_ = NewCollection();
}

std::string CFileChecker::GetFileNameFromCommandLine(const std::string& text) const {
    if (isRundll32Line(text)) return rundll32Library(text);

    std::string line = text;
    if (const auto slash = line.find('/'); slash != std::string::npos) line = MAPI::Trim(line.substr(0, slash));

    std::string result;
    if (line.find(' ') == std::string::npos) {
        result = line;
    } else if (line[0] == '"') {
        const auto close = line.find('"', 1);
        result = close != std::string::npos ? line.substr(1, close - 1) : line.substr(1, line.find(' ') - 1);
    } else {
        removeAll(line, "\"%1\"", 2);
        removeAll(line, "%1", 2);
        const auto backslash = line.rfind('\\');
        const auto cut = backslash != std::string::npos ? line.find(' ', backslash) : line.rfind(' ');
        result = cut != std::string::npos ? line.substr(0, cut) : line;
    }

    result = MAPI::Trim(result);
    if (result.size() >= 2 && result.front() == '"' && result.back() == '"') result = result.substr(1, result.size() - 2);
    if (result == "explorer") result = "explorer.exe";
    return result;
}

std::string CFileChecker::GetFullFileNameFromShortFilename(const std::string& name) {
    if (name.empty()) return {};
    const std::string plain = name.starts_with("\\??\\") ? name.substr(4) : name;
    try {
        if (HasItem(cache_.get(), name)) return ItemText(cache_.get(), name);

        std::optional<std::string> found = searchPath(expand(plain));
        if (!found) found = searchPath(plain);
        std::string result = plain;
        if (found) {
            result = *found;
            if (longNames_) {
                if (auto converted = longPath(result)) result = *converted;
            }
        }

        win::VARIANT item = winsys::com::makeText(result);
        win::VARIANT key = winsys::com::makeText(name);
        call([&] { return cache_->Add(&item, &key, nullptr, nullptr); });
        return result;
    } catch (...) {
        return plain;
    }
}

} // namespace sorlix
