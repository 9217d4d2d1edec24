#include "app/enumerators/result_nodes.h"

#include "app/core/comcalls.h"
#include "common/interfaces/fileops.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_error.h"
#include "platform/com/variant.h"

namespace sorlix {

using winsys::com::call;
using winsys::com::check;
using winsys::com::ComPtr;

ComPtr<halvenlib::_CNodes> NewResult() {
    ComPtr<halvenlib::_CNodes> nodes;
    check(winsys::com::createInstance(halvenlib::CLSID_CNodes, &nodes));
    return nodes;
}

ComPtr<halvenlib::_CParams> AddRecord(halvenlib::_CNodes* result) {
    ComPtr<halvenlib::_CNode> node;
    call([&] { return result->Add(node.put()); });
    ComPtr<halvenlib::_CParams> params;
    call([&] { return node->get_params(params.put()); });
    return params;
}

ComPtr<quarncust::_CLittleConfig> FileOrFolderConfig(const std::string& path, bool x64bitSystem32) {
    ComPtr<quarncust::_CLittleConfig> cfg;
    check(winsys::com::createInstance(quarncust::CLSID_CLittleConfig, &cfg));
    win::VARIANT flag = winsys::com::makeBool(x64bitSystem32);
    call([&] { return cfg->AddFileOrFolder(path, &flag); });
    return cfg;
}

std::vector<std::string> DirectoryEntries(const std::string& folder) {
    ComPtr<halvenlib::_Collection> c;
    call([&] { return FileOps()->DirectoryContents(folder, c.put()); });
    win::LONG n = 0;
    call([&] { return c->Count(&n); });
    std::vector<std::string> names;
    for (win::LONG i = 1; i <= n; ++i) {
        win::VARIANT index = winsys::com::makeLong(i), item;
        call([&] { return c->Item(&index, &item); });
        names.push_back(VariantText(item));
        win::VariantClear(&item);
    }
    return names;
}

} // namespace sorlix
