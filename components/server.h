#pragma once
// The class table of the product library; each class's source file adds
// itself with one static ClassRegistration (see common/server.h).

#include "platform/com/server.h"

namespace quarncust {

inline constexpr win::GUID kLibId{0x3A43C252, 0x3322, 0x4B4D, {0xB1, 0x77, 0x4E, 0xFA, 0x41, 0x7F, 0x38, 0x86}};
inline constexpr const char* kLibraryName = "Quarncust";

winsys::com::ServerInfo& server();

using ClassRegistration = winsys::com::TableRegistration<&server>;

} // namespace quarncust
