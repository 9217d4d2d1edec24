#include "tests/support/file_tree.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testsupport {

std::map<std::string, std::string> treeOf(const fs::path& top) {
    std::map<std::string, std::string> tree;
    for (const auto& e : fs::recursive_directory_iterator(top)) {
        const std::string name = fs::relative(e.path(), top).string();
        if (e.is_directory()) {
            tree[name + "/"] = "";
            continue;
        }
        tree[name] = readHost(e.path());
    }
    return tree;
}

std::map<std::string, std::string> entriesOutside(const fs::path& driveC, const fs::path& skipped) {
    std::map<std::string, std::string> r;
    for (auto it = fs::recursive_directory_iterator(driveC); it != fs::recursive_directory_iterator(); ++it) {
        if (it->path() == skipped) {
            it.disable_recursion_pending();
            continue;
        }
        r[it->path().string()] = it->is_symlink()        ? "link:" + fs::read_symlink(it->path()).string()
                                 : it->is_regular_file() ? readHost(it->path())
                                                         : "folder";
    }
    return r;
}

std::string readHost(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeHost(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

namespace {

void describeEntry(const fs::path& path, const std::string& rel, bool withFolderTimes,
                   std::map<std::string, std::string>* out) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return;
    char facts[96];
    const bool folder = S_ISDIR(st.st_mode);
    std::snprintf(facts, sizeof facts, "%s %04o %lld.%09ld ", folder ? "folder" : S_ISLNK(st.st_mode) ? "link" : "file",
                  static_cast<unsigned>(st.st_mode & 07777), static_cast<long long>(st.st_mtim.tv_sec),
                  st.st_mtim.tv_nsec);
    std::string text = facts;
    if (S_ISLNK(st.st_mode)) {
        text = "link -> " + fs::read_symlink(path).string() + " " + std::to_string(st.st_mtim.tv_sec);
    } else if (folder) {
        if (!withFolderTimes) text = text.substr(0, 12);
    } else if (S_ISREG(st.st_mode)) {
        text += readHost(path);
    } else {
        text = "special";
    }
    (*out)[rel] = text;
    if (!folder) return;
    for (const auto& e : fs::directory_iterator(path))
        describeEntry(e.path(), rel.empty() ? e.path().filename().string() : rel + "/" + e.path().filename().string(),
                      withFolderTimes, out);
}

bool setImmutable(const fs::path& file, bool on) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

} // namespace

std::map<std::string, std::string> exactTreeOf(const fs::path& top, bool withFolderTimes) {
    std::map<std::string, std::string> out;
    describeEntry(top, "", withFolderTimes, &out);
    return out;
}

ImmutableFile::ImmutableFile(fs::path file) : file_(std::move(file)), set_(setImmutable(file_, true)) {}

ImmutableFile::~ImmutableFile() {
    if (set_) setImmutable(file_, false);
}

} // namespace testsupport
