#pragma once
// CGlobal, the common library's application object: system queries
// (environment, version, processor, folders, temporary files, WOW64), text
// helpers (SQL/XML escaping, numbered placeholders, GUID text), file
// version resources and the encoders. Members are in vtable slot order;
// callers bind by slot. Also the library's public enumerations enCSIDL
// and ErrorCodes.

#include <string>

#include "common/interfaces/records.h"
#include "platform/com/dispatch_table.h"
#include "platform/com/unknown.h"

namespace halvenlib {

inline constexpr win::CLSID CLSID_CGlobal{0x8403DBF1, 0x907E, 0x41CA, {0x99, 0x26, 0xFA, 0xED, 0xF2, 0x67, 0x6D, 0x82}};
// Type-library ids of the two enumerations.
inline constexpr win::GUID GUID_enCSIDL{0x773FA8BE, 0x9A54, 0x4036, {0xB5, 0xBD, 0xA1, 0x01, 0x0B, 0x98, 0xD9, 0x93}};
inline constexpr win::GUID GUID_ErrorCodes{0xC4C723AD, 0x9600, 0x4FD1, {0x97, 0xB8, 0xD1, 0x16, 0x0D, 0x4A, 0x22, 0xBB}};

enum enCSIDL : win::LONG {
    CSIDL_DESKTOP = 0x00,
    CSIDL_INTERNET = 0x01,
    CSIDL_PROGRAMS = 0x02,
    CSIDL_CONTROLS = 0x03,
    CSIDL_PRINTERS = 0x04,
    CSIDL_PERSONAL = 0x05,
    CSIDL_FAVORITES = 0x06,
    CSIDL_STARTUP = 0x07,
    CSIDL_RECENT = 0x08,
    CSIDL_SENDTO = 0x09,
    CSIDL_BITBUCKET = 0x0A,
    CSIDL_STARTMENU = 0x0B,
    CSIDL_DESKTOPDIRECTORY = 0x10,
    CSIDL_DRIVES = 0x11,
    CSIDL_NETWORK = 0x12,
    CSIDL_NETHOOD = 0x13,
    CSIDL_FONTS = 0x14,
    CSIDL_TEMPLATES = 0x15,
    CSIDL_COMMON_STARTMENU = 0x16,
    CSIDL_COMMON_PROGRAMS = 0x17,
    CSIDL_COMMON_STARTUP = 0x18,
    CSIDL_COMMON_DESKTOPDIRECTORY = 0x19,
    CSIDL_APPDATA = 0x1A,
    CSIDL_PRINTHOOD = 0x1B,
    CSIDL_LOCAL_APPDATA = 0x1C,
    CSIDL_ALTSTARTUP = 0x1D,
    CSIDL_COMMON_ALTSTARTUP = 0x1E,
    CSIDL_COMMON_FAVORITES = 0x1F,
    CSIDL_INTERNET_CACHE = 0x20,
    CSIDL_COOKIES = 0x21,
    CSIDL_HISTORY = 0x22,
    CSIDL_COMMON_APPDATA = 0x23,
    CSIDL_WINDOWS = 0x24,
    CSIDL_SYSTEM = 0x25,
    CSIDL_PROGRAM_FILES = 0x26,
    CSIDL_MYPICTURES = 0x27,
    CSIDL_PROFILE = 0x28,
    CSIDL_SYSTEMX86 = 0x29,
    CSIDL_PROGRAM_FILESX86 = 0x2A,
    CSIDL_PROGRAM_FILES_COMMON = 0x2B,
    CSIDL_PROGRAM_FILES_COMMONX86 = 0x2C,
    CSIDL_COMMON_TEMPLATES = 0x2D,
    CSIDL_COMMON_DOCUMENTS = 0x2E,
    CSIDL_COMMON_ADMINTOOLS = 0x2F,
    CSIDL_ADMINTOOLS = 0x30,
    CSIDL_FLAG_CREATE = -32768, // the 16-bit flag as automation clients pass it
    CSIDL_FLAG_DONT_VERIFY = 0x4000,
};

// Scoped so that the names do not clash with win::E_FAIL and its kin.
enum class ErrorCodes : win::LONG {
    E_NOTIMPL = static_cast<win::LONG>(0x80004001),
    E_INVALIDARG = static_cast<win::LONG>(0x80070057),
    E_FAIL = static_cast<win::LONG>(0x80004005),
};

struct _CGlobal : win::IDispatch {
    static constexpr win::IID iid{0x9CD94FB6, 0xC370, 0x4AC4, {0x80, 0x26, 0xB4, 0xDE, 0x00, 0xF8, 0x89, 0x9A}};
    static const winsys::com::InterfaceInfo& info();

    // Fails with the system's error number when the expansion fails.
    virtual HRESULT ExpandEnvironmentStrings(const std::string& s, std::string* result) = 0;
    virtual HRESULT SQLEncode(const std::string& pStr, std::string* result) = 0;
    virtual HRESULT SQLDecode(const std::string& pStr, std::string* result) = 0;
    virtual HRESULT newGuid(std::string* result) = 0;
    // Fills "%k" with the k-th value of `params` (an array of variants, from
    // its lower bound), highest k first. Null `params`: `str` unchanged.
    // Late-bound callers pass the values one by one (a parameter array).
    virtual HRESULT FormatString(std::string* str, win::SAFEARRAY* params, std::string* result) = 0;
    virtual HRESULT LocalSystemName(std::string* result) = 0;
    virtual HRESULT GetTempPath(std::string* result) = 0;
    // Creates the file; E_FAIL when no name can be made.
    virtual HRESULT GetTempFile(const std::string& Prefix, std::string* result) = 0;
    virtual HRESULT WinDir(std::string* result) = 0;
    virtual HRESULT IsConnected(VARIANT_BOOL* result) = 0;
    virtual HRESULT WindowsVersion(LONG* Major, LONG* Minor, LONG* Build, LONG* PlatformId, std::string* ServicePack,
                                   std::string* result) = 0;
    virtual HRESULT GetCPUType(std::string* result) = 0;
    virtual HRESULT FileVersion(const std::string& FileName, std::string* result) = 0;
    virtual HRESULT FileVersionInfo(const std::string& FileName, _CCollection** result) = 0;
    virtual HRESULT MDACJetVersion(std::string* MDACVersion, std::string* JetVersion) = 0;
    virtual HRESULT IsDAOAvailable(VARIANT_BOOL* result) = 0;
    virtual HRESULT IsWindows64bit(VARIANT_BOOL* result) = 0;
    virtual HRESULT Base64Encode(const std::string& inData, std::string* result) = 0;
    virtual HRESULT URLEncode(const std::string& pstrSegment, std::string* result) = 0;
    virtual HRESULT DoEventsA() = 0;
    // Arrays returned start at index 1.
    virtual HRESULT ByteArrayToLongArray(win::SAFEARRAY* aByte, win::SAFEARRAY** result) = 0;
    virtual HRESULT LongArrayToByteArray(win::SAFEARRAY* aLong, win::SAFEARRAY** result) = 0;
    virtual HRESULT Base64EncodeB(win::SAFEARRAY* inData, std::string* result) = 0;
    virtual HRESULT Base64DecodeB(const std::string& strIn, win::SAFEARRAY** result) = 0;
    virtual HRESULT XMLEncode(const std::string& pStr, std::string* result) = 0;
    virtual HRESULT XMLDecode(const std::string& pStr, std::string* result) = 0;
    virtual HRESULT IsArrayEmpty(VARIANT* v, VARIANT_BOOL* result) = 0;
    virtual HRESULT FormatMessageFromSystem(LONG ErrNum, std::string* result) = 0;
    virtual HRESULT LocalApplicationDataFolder(std::string* result) = 0;
    // `CSIDL` is an enCSIDL value; "" when the folder has no path.
    virtual HRESULT SHGetFolderPath(LONG CSIDL, std::string* result) = 0;

protected:
    ~_CGlobal() = default;
};

inline const winsys::com::InterfaceInfo& _CGlobal::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_CGlobal", {
        function<&_CGlobal::ExpandEnvironmentStrings>("ExpandEnvironmentStrings"),
        function<&_CGlobal::SQLEncode>("SQLEncode"),
        function<&_CGlobal::SQLDecode>("SQLDecode"),
        function<&_CGlobal::newGuid>("newGuid"),
        function<&_CGlobal::FormatString>("FormatString").withParamArray(),
        function<&_CGlobal::LocalSystemName>("LocalSystemName"),
        function<&_CGlobal::GetTempPath>("GetTempPath"),
        function<&_CGlobal::GetTempFile>("GetTempFile"),
        function<&_CGlobal::WinDir>("WinDir"),
        function<&_CGlobal::IsConnected>("IsConnected"),
        function<&_CGlobal::WindowsVersion>("WindowsVersion").optionalFrom(0),
        function<&_CGlobal::GetCPUType>("GetCPUType"),
        function<&_CGlobal::FileVersion>("FileVersion"),
        function<&_CGlobal::FileVersionInfo>("FileVersionInfo"),
        method<&_CGlobal::MDACJetVersion>("MDACJetVersion"),
        function<&_CGlobal::IsDAOAvailable>("IsDAOAvailable"),
        function<&_CGlobal::IsWindows64bit>("IsWindows64bit"),
        function<&_CGlobal::Base64Encode>("Base64Encode"),
        function<&_CGlobal::URLEncode>("URLEncode"),
        method<&_CGlobal::DoEventsA>("DoEventsA"),
        function<&_CGlobal::ByteArrayToLongArray>("ByteArrayToLongArray"),
        function<&_CGlobal::LongArrayToByteArray>("LongArrayToByteArray"),
        function<&_CGlobal::Base64EncodeB>("Base64EncodeB"),
        function<&_CGlobal::Base64DecodeB>("Base64DecodeB"),
        function<&_CGlobal::XMLEncode>("XMLEncode"),
        function<&_CGlobal::XMLDecode>("XMLDecode"),
        function<&_CGlobal::IsArrayEmpty>("IsArrayEmpty"),
        function<&_CGlobal::FormatMessageFromSystem>("FormatMessageFromSystem"),
        function<&_CGlobal::LocalApplicationDataFolder>("LocalApplicationDataFolder"),
        function<&_CGlobal::SHGetFolderPath>("SHGetFolderPath"),
    });
    return i;
}

} // namespace halvenlib
