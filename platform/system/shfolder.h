#pragma once
// Special folders by CSIDL, as SHGetFolderPath gives them to a 32-bit
// process on Windows 7.
//
// A user's folder comes from the "User Shell Folders" key under
// HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer (REG_EXPAND_SZ
// values expanded against the process environment), else from "Shell
// Folders" beside it, else from Wine's default under the profile; the
// shared ones ("Common ...") from the same keys under HKLM. The Windows,
// system and program-file folders come from the machine's layout: a 32-bit
// process gets the x86 program files, and syswow64 for CSIDL_SYSTEMX86 on
// 64-bit Windows (system32 on 32-bit).
// Defaults below AppData and Local AppData follow those folders' current
// place, as Windows' known folders follow their parents.
//
// Results: S_OK with the path (no trailing backslash); E_INVALIDARG for an
// id Windows does not know or a bad `flags`; E_FAIL for a virtual folder
// (CSIDL_DRIVES, CSIDL_BITBUCKET...), which has no path;
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when the folder does not exist,
// unless CSIDL_FLAG_CREATE creates it (its parents too) or
// CSIDL_FLAG_DONT_VERIFY skips the check; a creation failure as
// HRESULT_FROM_WIN32 of its error. On failure `path` is emptied.

#include <string>

#include "platform/core/wintypes.h"

namespace win {

inline constexpr int CSIDL_DESKTOP = 0x00;
inline constexpr int CSIDL_INTERNET = 0x01;
inline constexpr int CSIDL_PROGRAMS = 0x02;
inline constexpr int CSIDL_CONTROLS = 0x03;
inline constexpr int CSIDL_PRINTERS = 0x04;
inline constexpr int CSIDL_PERSONAL = 0x05;
inline constexpr int CSIDL_FAVORITES = 0x06;
inline constexpr int CSIDL_STARTUP = 0x07;
inline constexpr int CSIDL_RECENT = 0x08;
inline constexpr int CSIDL_SENDTO = 0x09;
inline constexpr int CSIDL_BITBUCKET = 0x0A;
inline constexpr int CSIDL_STARTMENU = 0x0B;
inline constexpr int CSIDL_MYMUSIC = 0x0D;
inline constexpr int CSIDL_MYVIDEO = 0x0E;
inline constexpr int CSIDL_DESKTOPDIRECTORY = 0x10;
inline constexpr int CSIDL_DRIVES = 0x11;
inline constexpr int CSIDL_NETWORK = 0x12;
inline constexpr int CSIDL_NETHOOD = 0x13;
inline constexpr int CSIDL_FONTS = 0x14;
inline constexpr int CSIDL_TEMPLATES = 0x15;
inline constexpr int CSIDL_COMMON_STARTMENU = 0x16;
inline constexpr int CSIDL_COMMON_PROGRAMS = 0x17;
inline constexpr int CSIDL_COMMON_STARTUP = 0x18;
inline constexpr int CSIDL_COMMON_DESKTOPDIRECTORY = 0x19;
inline constexpr int CSIDL_APPDATA = 0x1A;
inline constexpr int CSIDL_PRINTHOOD = 0x1B;
inline constexpr int CSIDL_LOCAL_APPDATA = 0x1C;
inline constexpr int CSIDL_ALTSTARTUP = 0x1D;
inline constexpr int CSIDL_COMMON_ALTSTARTUP = 0x1E;
inline constexpr int CSIDL_COMMON_FAVORITES = 0x1F;
inline constexpr int CSIDL_INTERNET_CACHE = 0x20;
inline constexpr int CSIDL_COOKIES = 0x21;
inline constexpr int CSIDL_HISTORY = 0x22;
inline constexpr int CSIDL_COMMON_APPDATA = 0x23;
inline constexpr int CSIDL_WINDOWS = 0x24;
inline constexpr int CSIDL_SYSTEM = 0x25;
inline constexpr int CSIDL_PROGRAM_FILES = 0x26;
inline constexpr int CSIDL_MYPICTURES = 0x27;
inline constexpr int CSIDL_PROFILE = 0x28;
inline constexpr int CSIDL_SYSTEMX86 = 0x29;
inline constexpr int CSIDL_PROGRAM_FILESX86 = 0x2A;
inline constexpr int CSIDL_PROGRAM_FILES_COMMON = 0x2B;
inline constexpr int CSIDL_PROGRAM_FILES_COMMONX86 = 0x2C;
inline constexpr int CSIDL_COMMON_TEMPLATES = 0x2D;
inline constexpr int CSIDL_COMMON_DOCUMENTS = 0x2E;
inline constexpr int CSIDL_COMMON_ADMINTOOLS = 0x2F;
inline constexpr int CSIDL_ADMINTOOLS = 0x30;
inline constexpr int CSIDL_COMMON_MUSIC = 0x35;
inline constexpr int CSIDL_COMMON_PICTURES = 0x36;
inline constexpr int CSIDL_COMMON_VIDEO = 0x37;

// Flags ORed into the id; bits above them are ignored, so the sign-extended
// -32768 that automation clients pass for CSIDL_FLAG_CREATE works too.
inline constexpr int CSIDL_FLAG_DONT_VERIFY = 0x4000;
inline constexpr int CSIDL_FLAG_CREATE = 0x8000;

// `flags`: the folder's current place or its default one.
inline constexpr DWORD SHGFP_TYPE_CURRENT = 0;
inline constexpr DWORD SHGFP_TYPE_DEFAULT = 1;

HRESULT SHGetFolderPath(int csidl, DWORD flags, std::string* path);

} // namespace win
