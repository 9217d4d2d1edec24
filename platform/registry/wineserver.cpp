#include "platform/registry/wineserver.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace winsys::reg {

namespace {

// True when another process holds a lock on `file`.
bool lockedByOther(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    const bool held = ::fcntl(fd, F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

} // namespace

fs::path wineserverFolder(const fs::path& base, const fs::path& prefix) {
    struct stat st {};
    if (::stat(prefix.c_str(), &st) != 0) return {};
    char name[64];
    std::snprintf(name, sizeof name, "server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    return base / name;
}

std::optional<fs::path> runningWineserver(const fs::path& prefix) {
    std::vector<fs::path> bases{fs::path("/tmp") / (".wine-" + std::to_string(::getuid()))};
    std::ifstream named(prefix / "wineserver");
    std::string folder;
    if (named && std::getline(named, folder) && !folder.empty() && folder.find('/') == std::string::npos &&
        folder != "." && folder != "..")
        bases.push_back(fs::path("/tmp") / folder);
    for (const fs::path& base : bases) {
        const fs::path dir = wineserverFolder(base, prefix);
        if (!dir.empty() && lockedByOther(dir / "lock")) return dir;
    }
    return std::nullopt;
}

} // namespace winsys::reg
