#include "common/server.h"

namespace halvenlib {

winsys::com::ServerInfo& server() {
    static winsys::com::ServerInfo info{kLibraryName, kLibId, 1, 3, {}, {}};
    return info;
}

} // namespace halvenlib

WINSYS_COM_SERVER_EXPORTS(halvenlib::server())
