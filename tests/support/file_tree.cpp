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
        std::ifstream in(e.path(), std::ios::binary);
        tree[name] = std::string(std::istreambuf_iterator<char>(in), {});
    }
    return tree;
}

} // namespace testsupport
