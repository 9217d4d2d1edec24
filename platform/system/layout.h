#pragma once
// Where this Windows machine keeps its folders, as Wine lays a prefix out:
// the Windows folder, the user's profile and the shared folders (from the
// ProfileList key), the program-file folders (from the native view of
// HKLM\Software\Microsoft\Windows\CurrentVersion), and the computer's name.
// The environment, the directory queries and the special folders all start
// from here, so they agree with each other.

#include <string>
#include <string_view>

namespace winsys {

struct MachineLayout {
    std::string windows;         // C:\windows
    std::string system32;        // C:\windows\system32
    std::string syswow64;        // C:\windows\syswow64; empty on 32-bit Windows
    std::string profile;         // C:\users\<name>
    std::string programData;     // C:\ProgramData
    std::string publicFolder;    // C:\users\Public
    // Native folders: on 64-bit Windows "Program Files" holds 64-bit programs.
    std::string programFiles;    // C:\Program Files
    std::string commonFiles;     // C:\Program Files\Common Files
    // The 32-bit folders; on 32-bit Windows the same as the native ones.
    std::string programFilesX86; // C:\Program Files (x86)
    std::string commonFilesX86;  // C:\Program Files (x86)\Common Files
};

// Read afresh from the current machine's registry, with Wine's defaults.
MachineLayout machineLayout();

// The NetBIOS name from the registry, else from the host name.
std::string computerName();
// The NetBIOS form of a host name, as Wine makes it: up to the first dot,
// upper case, at most 15 characters.
std::string netbiosNameFromHostName(std::string_view hostName);

} // namespace winsys
