#include "platform/system/shfolder.h"

#include <optional>

#include "platform/core/lasterror.h"
#include "platform/files/files.h"
#include "platform/files/paths.h"
#include "platform/registry/registry.h"
#include "platform/system/environment.h"
#include "platform/system/layout.h"
#include "platform/system/regread.h"

namespace win {

namespace {

enum class Kind { User, Common, Fixed, Virtual };
// What a default path (or a fixed folder) starts from.
enum class Base { None, Profile, AppData, LocalAppData, ProgramData, Public, Windows, System, SystemX86, ProgramFiles,
                  CommonFiles };

struct FolderRow {
    int csidl;
    Kind kind;
    const char* value; // name in the Shell Folders keys
    Base base;
    const char* sub;   // below the base; "" for the base itself
};

constexpr const char* kStartMenu = "Microsoft\\Windows\\Start Menu";
constexpr const char* kPrograms = "Microsoft\\Windows\\Start Menu\\Programs";
constexpr const char* kStartup = "Microsoft\\Windows\\Start Menu\\Programs\\Startup";
constexpr const char* kAdminTools = "Microsoft\\Windows\\Start Menu\\Programs\\Administrative Tools";

constexpr FolderRow kFolders[] = {
    {CSIDL_DESKTOP, Kind::User, "Desktop", Base::Profile, "Desktop"},
    {CSIDL_INTERNET, Kind::Virtual, nullptr, Base::None, ""},
    {CSIDL_PROGRAMS, Kind::User, "Programs", Base::AppData, kPrograms},
    {CSIDL_CONTROLS, Kind::Virtual, nullptr, Base::None, ""},
    {CSIDL_PRINTERS, Kind::Virtual, nullptr, Base::None, ""},
    {CSIDL_PERSONAL, Kind::User, "Personal", Base::Profile, "Documents"},
    {CSIDL_FAVORITES, Kind::User, "Favorites", Base::Profile, "Favorites"},
    {CSIDL_STARTUP, Kind::User, "Startup", Base::AppData, kStartup},
    {CSIDL_RECENT, Kind::User, "Recent", Base::AppData, "Microsoft\\Windows\\Recent"},
    {CSIDL_SENDTO, Kind::User, "SendTo", Base::AppData, "Microsoft\\Windows\\SendTo"},
    {CSIDL_BITBUCKET, Kind::Virtual, nullptr, Base::None, ""},
    {CSIDL_STARTMENU, Kind::User, "Start Menu", Base::AppData, kStartMenu},
    {CSIDL_MYMUSIC, Kind::User, "My Music", Base::Profile, "Music"},
    {CSIDL_MYVIDEO, Kind::User, "My Video", Base::Profile, "Videos"},
    {CSIDL_DESKTOPDIRECTORY, Kind::User, "Desktop", Base::Profile, "Desktop"},
    {CSIDL_DRIVES, Kind::Virtual, nullptr, Base::None, ""},
    {CSIDL_NETWORK, Kind::Virtual, nullptr, Base::None, ""},
    {CSIDL_NETHOOD, Kind::User, "NetHood", Base::AppData, "Microsoft\\Windows\\Network Shortcuts"},
    {CSIDL_FONTS, Kind::Fixed, nullptr, Base::Windows, "Fonts"},
    {CSIDL_TEMPLATES, Kind::User, "Templates", Base::AppData, "Microsoft\\Windows\\Templates"},
    {CSIDL_COMMON_STARTMENU, Kind::Common, "Common Start Menu", Base::ProgramData, kStartMenu},
    {CSIDL_COMMON_PROGRAMS, Kind::Common, "Common Programs", Base::ProgramData, kPrograms},
    {CSIDL_COMMON_STARTUP, Kind::Common, "Common Startup", Base::ProgramData, kStartup},
    {CSIDL_COMMON_DESKTOPDIRECTORY, Kind::Common, "Common Desktop", Base::Public, "Desktop"},
    {CSIDL_APPDATA, Kind::User, "AppData", Base::Profile, "AppData\\Roaming"},
    {CSIDL_PRINTHOOD, Kind::User, "PrintHood", Base::AppData, "Microsoft\\Windows\\Printer Shortcuts"},
    {CSIDL_LOCAL_APPDATA, Kind::User, "Local AppData", Base::Profile, "AppData\\Local"},
    // Since Windows Vista the "alternate" startup folders are the startup folders.
    {CSIDL_ALTSTARTUP, Kind::User, "Startup", Base::AppData, kStartup},
    {CSIDL_COMMON_ALTSTARTUP, Kind::Common, "Common Startup", Base::ProgramData, kStartup},
    // ...and the shared favourites are the user's.
    {CSIDL_COMMON_FAVORITES, Kind::User, "Favorites", Base::Profile, "Favorites"},
    {CSIDL_INTERNET_CACHE, Kind::User, "Cache", Base::LocalAppData, "Microsoft\\Windows\\Temporary Internet Files"},
    {CSIDL_COOKIES, Kind::User, "Cookies", Base::AppData, "Microsoft\\Windows\\Cookies"},
    {CSIDL_HISTORY, Kind::User, "History", Base::LocalAppData, "Microsoft\\Windows\\History"},
    {CSIDL_COMMON_APPDATA, Kind::Common, "Common AppData", Base::ProgramData, ""},
    {CSIDL_WINDOWS, Kind::Fixed, nullptr, Base::Windows, ""},
    {CSIDL_SYSTEM, Kind::Fixed, nullptr, Base::System, ""},
    {CSIDL_PROGRAM_FILES, Kind::Fixed, nullptr, Base::ProgramFiles, ""},
    {CSIDL_MYPICTURES, Kind::User, "My Pictures", Base::Profile, "Pictures"},
    {CSIDL_PROFILE, Kind::Fixed, nullptr, Base::Profile, ""},
    {CSIDL_SYSTEMX86, Kind::Fixed, nullptr, Base::SystemX86, ""},
    {CSIDL_PROGRAM_FILESX86, Kind::Fixed, nullptr, Base::ProgramFiles, ""},
    {CSIDL_PROGRAM_FILES_COMMON, Kind::Fixed, nullptr, Base::CommonFiles, ""},
    {CSIDL_PROGRAM_FILES_COMMONX86, Kind::Fixed, nullptr, Base::CommonFiles, ""},
    {CSIDL_COMMON_TEMPLATES, Kind::Common, "Common Templates", Base::ProgramData, "Microsoft\\Windows\\Templates"},
    {CSIDL_COMMON_DOCUMENTS, Kind::Common, "Common Documents", Base::Public, "Documents"},
    {CSIDL_COMMON_ADMINTOOLS, Kind::Common, "Common Administrative Tools", Base::ProgramData, kAdminTools},
    {CSIDL_ADMINTOOLS, Kind::User, "Administrative Tools", Base::AppData, kAdminTools},
    {CSIDL_COMMON_MUSIC, Kind::Common, "CommonMusic", Base::Public, "Music"},
    {CSIDL_COMMON_PICTURES, Kind::Common, "CommonPictures", Base::Public, "Pictures"},
    {CSIDL_COMMON_VIDEO, Kind::Common, "CommonVideo", Base::Public, "Videos"},
};

constexpr const char* kExplorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";

const FolderRow* findRow(int id) {
    for (const auto& row : kFolders)
        if (row.csidl == id) return &row;
    return nullptr;
}

std::string resolve(const FolderRow& row, bool current, const winsys::MachineLayout& layout);

std::string basePath(Base base, bool current, const winsys::MachineLayout& l) {
    switch (base) {
    case Base::Profile: return l.profile;
    case Base::AppData: return resolve(*findRow(CSIDL_APPDATA), current, l);
    case Base::LocalAppData: return resolve(*findRow(CSIDL_LOCAL_APPDATA), current, l);
    case Base::ProgramData: return l.programData;
    case Base::Public: return l.publicFolder;
    case Base::Windows: return l.windows;
    case Base::System: return l.system32;
    case Base::SystemX86: return l.syswow64.empty() ? l.system32 : l.syswow64;
    // A 32-bit process's program files are the x86 ones.
    case Base::ProgramFiles: return l.programFilesX86;
    case Base::CommonFiles: return l.commonFilesX86;
    case Base::None: break;
    }
    return {};
}

// The folder as the Shell Folders keys give it, expanded; nothing when unset.
std::optional<std::string> fromRegistry(const FolderRow& row) {
    const HKEY root = row.kind == Kind::Common ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const REGSAM view = row.kind == Kind::Common ? KEY_WOW64_64KEY : 0;
    if (auto v = winsys::sysreg::readText(root, std::string(kExplorer) + "\\User Shell Folders", row.value, view);
        v && !v->text.empty()) {
        if (v->type != REG_EXPAND_SZ) return v->text;
        std::string expanded;
        ExpandEnvironmentStrings(v->text, &expanded);
        return expanded;
    }
    if (auto v = winsys::sysreg::readText(root, std::string(kExplorer) + "\\Shell Folders", row.value, view);
        v && !v->text.empty())
        return v->text;
    return std::nullopt;
}

std::string resolve(const FolderRow& row, bool current, const winsys::MachineLayout& layout) {
    if (current && row.value) {
        if (auto p = fromRegistry(row)) return *p;
    }
    std::string path = basePath(row.base, current, layout);
    if (*row.sub) path += std::string("\\") + row.sub;
    return path;
}

std::string withoutTrailingSeparator(std::string path) {
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    return path;
}

bool isFolder(const std::string& path) {
    const DWORD a = GetFileAttributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates the folder and any parents it lacks; 0 or the Win32 error.
DWORD createFolderTree(const std::string& path) {
    auto parsed = winsys::parseWindowsPath(path);
    if (!parsed) return parsed.error().code;
    winsys::WindowsPath step = parsed.value();
    step.parts.clear();
    step.trailingSeparator = false;
    for (const auto& part : parsed->parts) {
        step.parts.push_back(part);
        const std::string at = winsys::formatWindowsPath(step);
        const DWORD a = GetFileAttributes(at);
        if (a != INVALID_FILE_ATTRIBUTES) {
            if (!(a & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_ALREADY_EXISTS; // a file stands in the way
            continue;
        }
        if (!CreateDirectory(at) && GetLastError() != ERROR_ALREADY_EXISTS) return GetLastError();
    }
    return ERROR_SUCCESS;
}

} // namespace

HRESULT SHGetFolderPath(int csidl, DWORD flags, std::string* path) {
    std::string unused;
    std::string& out = path ? *path : unused;
    out.clear();
    if (flags != SHGFP_TYPE_CURRENT && flags != SHGFP_TYPE_DEFAULT) return E_INVALIDARG;
    const FolderRow* row = findRow(csidl & 0xFF);
    if (!row) return E_INVALIDARG;
    if (row->kind == Kind::Virtual) return E_FAIL;

    const std::string folder =
        withoutTrailingSeparator(resolve(*row, flags == SHGFP_TYPE_CURRENT, winsys::machineLayout()));
    if (!isFolder(folder)) {
        if (csidl & CSIDL_FLAG_CREATE) {
            if (DWORD err = createFolderTree(folder)) return HRESULT_FROM_WIN32(err);
        } else if (!(csidl & CSIDL_FLAG_DONT_VERIFY)) {
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        }
    }
    out = folder;
    return S_OK;
}

} // namespace win
