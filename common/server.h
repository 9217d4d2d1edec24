#pragma once
// The class table of the common library. Each class's source file adds its
// class and interfaces with one static ClassRegistration; DllGetClassObject,
// DllRegisterServer and DllUnregisterServer read the table that they make.
//
//   const halvenlib::ClassRegistration kReg{
//       {CLSID_CCollection, "CCollection", "Halvenlib.CCollection", 0, &createCCollection},
//       {{_CCollection::iid, "_CCollection"}}};

#include "platform/com/server.h"

namespace halvenlib {

inline constexpr win::GUID kLibId{0xE7DD9B37, 0xC1C6, 0x42DC, {0xBD, 0x66, 0x54, 0x6C, 0x9B, 0xA7, 0xE6, 0x2A}};
inline constexpr const char* kLibraryName = "Halvenlib";

// The table, complete once the library's static objects are made.
winsys::com::ServerInfo& server();

using ClassRegistration = winsys::com::TableRegistration<&server>;

} // namespace halvenlib
