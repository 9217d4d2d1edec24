#include "platform/system/pathnames.h"

#include <vector>

#include "platform/core/lasterror.h"
#include "platform/core/text.h"
#include "platform/files/files.h"
#include "platform/system/environment.h"
#include "platform/system/layout.h"

namespace {

using win::DWORD;

std::string trimBlanks(std::string_view s) {
    const auto b = s.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    return std::string(s.substr(b, s.find_last_not_of(' ') - b + 1));
}

bool exists(const std::string& path) { return win::GetFileAttributes(path) != win::INVALID_FILE_ATTRIBUTES; }

bool hasDrive(std::string_view name) {
    return (name.size() >= 2 && name[1] == ':') || name.starts_with("\\\\");
}

bool hasExtension(std::string_view name) {
    const auto slash = name.find_last_of("\\/");
    const std::string_view last = slash == std::string_view::npos ? name : name.substr(slash + 1);
    return last.find('.') != std::string_view::npos;
}

// Hands `answer` over by the buffer rule of the header.
DWORD deliver(const std::string& answer, std::string* buffer, DWORD bufferMax) {
    const DWORD units = static_cast<DWORD>(winsys::utf16Length(answer));
    if (units >= bufferMax) return units + 1;
    if (buffer) *buffer = answer;
    return units;
}

std::vector<std::string> searchFolders() {
    const winsys::MachineLayout l = winsys::machineLayout();
    std::vector<std::string> folders{l.system32, l.windows + "\\system", l.windows};
    std::string path;
    win::GetEnvironmentVariable("PATH", &path);
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(';', start);
        if (end == std::string::npos) end = path.size();
        std::string folder = trimBlanks(path.substr(start, end - start));
        if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') folder = folder.substr(1, folder.size() - 2);
        if (!folder.empty()) folders.push_back(folder);
        start = end + 1;
    }
    return folders;
}

std::string joinFolder(const std::string& folder, const std::string& name) {
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) return folder + name;
    return folder + "\\" + name;
}

// The full, folded form of an existing path, or nothing.
std::optional<std::string> existingFullPath(const std::string& candidate) {
    std::string full;
    if (win::GetFullPathName(candidate, &full) == 0) return std::nullopt;
    if (!exists(full)) return std::nullopt;
    return full;
}

DWORD samePathIfExists(const std::string& path, std::string* buffer, DWORD bufferMax) {
    if (path.empty()) {
        win::SetLastError(win::ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!exists(path)) return 0; // GetFileAttributes set the error
    return deliver(path, buffer, bufferMax);
}

} // namespace

namespace win {

DWORD SearchPath(const std::string* path, const std::string& fileName, const std::string* extension,
                 DWORD bufferMax, std::string* buffer) {
    if (fileName.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string name = fileName;
    if (extension && !extension->empty() && !hasExtension(name)) name += *extension;

    std::optional<std::string> found;
    if (hasDrive(name)) {
        found = existingFullPath(name);
    } else if (name.front() == '\\' || name.front() == '/') {
        found = existingFullPath("C:" + name); // the system drive stands in for a current one
    } else {
        const std::vector<std::string> folders = path ? std::vector<std::string>{*path} : searchFolders();
        for (const std::string& folder : folders) {
            if ((found = existingFullPath(joinFolder(folder, name)))) break;
        }
    }
    if (!found) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    return deliver(*found, buffer, bufferMax);
}

DWORD GetLongPathName(const std::string& path, std::string* buffer, DWORD bufferMax) {
    return samePathIfExists(path, buffer, bufferMax);
}

DWORD GetShortPathName(const std::string& path, std::string* buffer, DWORD bufferMax) {
    return samePathIfExists(path, buffer, bufferMax);
}

} // namespace win

namespace winsys {

std::optional<std::string> moduleFilePath(std::string_view name) {
    const std::string dll = ".dll";
    std::string found;
    DWORD size = 260;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD n = win::SearchPath(nullptr, std::string(name), &dll, size, &found);
        if (n == 0) return std::nullopt;
        if (n < size) {
            const DWORD attributes = win::GetFileAttributes(found);
            if (attributes == win::INVALID_FILE_ATTRIBUTES || (attributes & win::FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
            return found;
        }
        size = n;
    }
    return std::nullopt;
}

} // namespace winsys
