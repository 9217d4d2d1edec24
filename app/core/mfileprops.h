#pragma once
// MFileProps: the properties sheet of a file. The sheet itself is a dialog
// of the UI, which installs it with setFilePropertiesSheet; this module makes
// the shell's request and switches redirection back afterwards when asked.

#include <functional>
#include <string>

#include "platform/core/wintypes.h"

namespace sorlix::MFileProps {

// The SHELLEXECUTEINFO the shell gets for the sheet.
inline constexpr win::DWORD SEE_MASK_INVOKEIDLIST = 0x0000000C;
inline constexpr win::DWORD SEE_MASK_NOCLOSEPROCESS = 0x00000040;
inline constexpr win::DWORD SEE_MASK_FLAG_NO_UI = 0x00000400;

struct PropertiesRequest {
    win::DWORD cbSize = 60;
    win::DWORD fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    win::HANDLE hwnd = nullptr;
    std::string lpVerb = "properties";
    std::string lpFile;
    std::string lpParameters;
    std::string lpDirectory;
    int nShow = 0;
};

// Shows the sheet; true when it opened. Null removes it, and then every
// request fails as a shell without the verb would.
using PropertiesSheet = std::function<bool(const PropertiesRequest&)>;
void setFilePropertiesSheet(PropertiesSheet sheet);

// True when the sheet opened. With `revertRedirection` it then switches
// file-system redirection back on through the common library (the caller
// switched it off so that the sheet sees the 64-bit system folder). Never
// throws.
bool ShowFileProperties(const std::string& path, bool revertRedirection, win::HANDLE ownerWindow);

} // namespace sorlix::MFileProps
