#include "components/server.h"

namespace quarncust {

winsys::com::ServerInfo& server() {
    static winsys::com::ServerInfo info{kLibraryName, kLibId, 1, 0, {}, {}};
    return info;
}

} // namespace quarncust

WINSYS_COM_SERVER_EXPORTS(quarncust::server())
