#include "platform/files/paths.h"

#include <algorithm>
#include <iterator>

#include "platform/core/lasterror.h"
#include "platform/core/machine.h"
#include "platform/core/text.h"
#include "platform/files/folder_cache.h"

namespace fs = std::filesystem;

namespace winsys {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

Error pathError(win::DWORD code, std::string_view path, std::string_view why) {
    return Error{code, "'" + std::string(path) + "': " + std::string(why)};
}

// Characters no Windows file name may hold; '?' and '*' are the wildcards.
bool isBadNameChar(unsigned char c, bool wildcardsAllowed) {
    if (c < 0x20) return true;
    switch (c) {
    case '<': case '>': case ':': case '"': case '|': return true;
    case '?': case '*': return !wildcardsAllowed;
    default: return false;
    }
}

bool isLongPrefix(std::string_view s) { return s.substr(0, 4) == "\\\\?\\" || s.substr(0, 4) == "\\??\\"; }

// True for C:\windows\system32 and everything below it.
bool underSystem32(const WindowsPath& p) {
    return p.drive == 'C' && p.parts.size() >= 2 && equalsNoCase(p.parts[0], "windows") &&
           equalsNoCase(p.parts[1], "system32");
}

bool isWithin(const fs::path& p, const fs::path& root) {
    const auto r = std::mismatch(root.begin(), root.end(), p.begin(), p.end()).first;
    // A root given with a trailing '/' ends in an empty element.
    return r == root.end() || (std::next(r) == root.end() && r->empty());
}

} // namespace

Result<WindowsPath> parseWindowsPath(std::string_view in, bool wildcardsInLast) {
    WindowsPath out;
    std::string_view s = in;
    if (s.empty()) return pathError(win::ERROR_PATH_NOT_FOUND, in, "empty path");
    if (isLongPrefix(s)) {
        s.remove_prefix(4);
        out.longPrefix = true;
        if (equalsNoCase(s.substr(0, 3), "UNC") && (s.size() == 3 || isSeparator(s[3])))
            return pathError(win::ERROR_BAD_NETPATH, in, "network paths are not supported");
    } else if (s.size() >= 2 && isSeparator(s[0]) && isSeparator(s[1])) {
        if (s.size() >= 3 && (s[2] == '.' || s[2] == '?') && (s.size() == 3 || isSeparator(s[3])))
            return pathError(win::ERROR_NOT_SUPPORTED, in, "device paths are not supported");
        return pathError(win::ERROR_BAD_NETPATH, in, "network paths are not supported");
    }
    if (s.size() < 2 || s[1] != ':') {
        if (out.longPrefix) return pathError(win::ERROR_NOT_SUPPORTED, in, "device paths are not supported");
        return pathError(win::ERROR_PATH_NOT_FOUND, in, "not an absolute path (there is no current folder)");
    }
    const char letter = s[0];
    if (!((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')))
        return pathError(win::ERROR_PATH_NOT_FOUND, in, "no such drive");
    out.drive = static_cast<char>(letter >= 'a' ? letter - 'a' + 'A' : letter);
    s.remove_prefix(2);

    const bool endsWithSeparator = !s.empty() && isSeparator(s.back());
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && isSeparator(s[i])) ++i;
        std::size_t j = i;
        while (j < s.size() && !isSeparator(s[j])) ++j;
        std::string_view part = s.substr(i, j - i);
        i = j;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!out.parts.empty()) out.parts.pop_back();
            continue;
        }
        out.parts.emplace_back(part);
    }
    // Windows drops dots and blanks at the end of a path ("C:\a." is C:\a).
    if (!out.longPrefix && !endsWithSeparator && !out.parts.empty()) {
        std::string& last = out.parts.back();
        while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.pop_back();
        if (last.empty()) {
            out.parts.pop_back();
            out.trailingSeparator = true;
        }
    }
    if (endsWithSeparator) out.trailingSeparator = true;
    if (out.parts.empty()) out.trailingSeparator = false;

    for (std::size_t k = 0; k < out.parts.size(); ++k) {
        const bool wild = wildcardsInLast && k + 1 == out.parts.size();
        for (char c : out.parts[k])
            if (isBadNameChar(static_cast<unsigned char>(c), wild))
                return pathError(win::ERROR_INVALID_NAME, in, "invalid character in a name");
    }
    return out;
}

bool isAllowedInFileName(std::string_view text) {
    for (char c : text)
        if (isSeparator(c) || isBadNameChar(static_cast<unsigned char>(c), false)) return false;
    return true;
}

std::string formatWindowsPath(const WindowsPath& path) {
    std::string r{path.drive, ':', '\\'};
    for (std::size_t k = 0; k < path.parts.size(); ++k) {
        if (k) r += '\\';
        r += path.parts[k];
    }
    if (path.trailingSeparator && !path.parts.empty()) r += '\\';
    return r;
}

bool redirectedUnderWow64(const WindowsPath& p) {
    if (!underSystem32(p)) return false;
    if (p.parts.size() < 3) return true;
    const std::string& sub = p.parts[2];
    for (const char* exempt : {"catroot", "catroot2", "logfiles", "spool"})
        if (equalsNoCase(sub, exempt)) return false;
    return !(equalsNoCase(sub, "drivers") && p.parts.size() >= 4 && equalsNoCase(p.parts[3], "etc"));
}

bool redirectionApplies(const WindowsPath& p) { return redirectedUnderWow64(p) && win::isFsRedirectionActive(); }

Result<fs::path> resolveHostPath(const WindowsPath& path, bool redirect, std::optional<HostStat>* leaf,
                                 Resolve how) {
    std::vector<std::string> names = path.parts;
    if (redirect && underSystem32(path)) names[1] = "syswow64";
    auto host = resolveOnDisk(path.drive, names, leaf, how);
    if (!host) return Error{win::ERROR_PATH_NOT_FOUND, std::string("drive ") + path.drive + ": does not exist"};
    return std::move(*host);
}

Result<fs::path> toHostPath(std::string_view windowsPath, Resolve how) {
    auto parsed = parseWindowsPath(windowsPath);
    if (!parsed) return parsed.error();
    return resolveHostPath(*parsed, redirectionApplies(*parsed), nullptr, how);
}

std::string toWindowsPath(const fs::path& hostPath) {
    std::error_code ec;
    fs::path abs = fs::absolute(hostPath, ec).lexically_normal();
    if (ec) abs = hostPath.lexically_normal();
    if (abs.has_relative_path() && abs.filename().empty()) abs = abs.parent_path();
    // Folders are compared as the drive links resolve them; the file's own
    // name stays, even when it is a link.
    if (abs.has_relative_path()) {
        fs::path parent = fs::weakly_canonical(abs.parent_path(), ec);
        if (!ec) abs = parent / abs.filename();
    }

    // The drive whose folder holds the file most closely; Z: (/) when none does.
    char letter = 'Z';
    fs::path root = "/";
    std::ptrdiff_t depth = -1;
    for (char l = 'A'; l <= 'Z'; ++l) {
        auto r = machine().driveRoot(l);
        if (!r || !isWithin(abs, *r)) continue;
        const auto d = std::distance(r->begin(), r->end());
        if (d > depth) {
            letter = l;
            root = std::move(*r);
            depth = d;
        }
    }

    std::string out{letter, ':', '\\'};
    bool atRoot = true;
    for (const auto& part : abs.lexically_relative(root)) {
        if (part.empty() || part == ".") continue;
        if (!atRoot) out += '\\';
        out += part.string();
        atRoot = false;
    }
    return out;
}

} // namespace winsys

namespace win {

namespace {
thread_local bool t_redirectionOff = false;
}

BOOL Wow64DisableWow64FsRedirection(void** old) {
    if (!winsys::machine().isWow64()) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return 0;
    }
    if (!old) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    *old = t_redirectionOff ? reinterpret_cast<void*>(1) : nullptr;
    t_redirectionOff = true;
    return 1;
}

BOOL Wow64RevertWow64FsRedirection(void* old) {
    if (!winsys::machine().isWow64()) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return 0;
    }
    t_redirectionOff = old != nullptr;
    return 1;
}

bool isFsRedirectionActive() { return winsys::machine().isWow64() && !t_redirectionOff; }

} // namespace win
