#pragma once
// The computer's name and the folders every program asks Windows for.
// Results are Windows paths without a trailing backslash (except the
// temporary folder, which Windows gives with one); counts are UTF-16 units.

#include <string>

#include "platform/core/wintypes.h"

namespace win {

// The NetBIOS name: the "ComputerName" value of
// HKLM\System\CurrentControlSet\Control\ComputerName\ComputerName, else
// the host's name as Wine makes it.
BOOL GetComputerName(std::string* name);

// The first of TMP, TEMP, USERPROFILE that is set, else the Windows folder,
// folded to a full path, with a trailing backslash. Not checked on disk.
DWORD GetTempPath(std::string* path);

UINT GetWindowsDirectory(std::string* path); // C:\windows
// C:\windows\system32: the text a 32-bit process gets too; WOW64 sends it to
// syswow64 when a file is opened there.
UINT GetSystemDirectory(std::string* path);
// C:\windows\syswow64; on 32-bit Windows 0 with ERROR_CALL_NOT_IMPLEMENTED.
UINT GetSystemWow64Directory(std::string* path);

} // namespace win
