#include "common/server.h"

namespace halvenlib {

namespace {

winsys::com::ServerInfo& table() {
    static winsys::com::ServerInfo info{kLibraryName, kLibId, 1, 3, {}, {}};
    return info;
}

} // namespace

ClassRegistration::ClassRegistration(winsys::com::ClassEntry cls, std::vector<winsys::com::InterfaceEntry> interfaces) {
    table().classes.push_back(std::move(cls));
    for (auto& i : interfaces) table().interfaces.push_back(std::move(i));
}

ClassRegistration::ClassRegistration(std::vector<winsys::com::InterfaceEntry> interfaces) {
    for (auto& i : interfaces) table().interfaces.push_back(std::move(i));
}

const winsys::com::ServerInfo& server() { return table(); }

} // namespace halvenlib

WINSYS_COM_SERVER_EXPORTS(halvenlib::server())
