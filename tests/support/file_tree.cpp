#include "tests/support/file_tree.h"

#include <fstream>
#include <iterator>

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

} // namespace testsupport
