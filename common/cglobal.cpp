#include "common/cglobal.h"

#include <cstring>

#include "common/encoders.h"
#include "common/mcommon.h"
#include "common/records_factory.h"
#include "common/server.h"
#include "platform/com/error_info.h"
#include "platform/com/object.h"
#include "platform/com/safearray.h"
#include "platform/core/lasterror.h"
#include "platform/core/text.h"
#include "platform/files/files.h"
#include "platform/pe/pefile.h"
#include "platform/pe/version.h"
#include "platform/system/computer.h"
#include "platform/system/environment.h"
#include "platform/system/version.h"

namespace halvenlib {

using namespace winsys::com;
using win::S_OK;
using win::SAFEARRAY;

namespace {

const std::string kSource = std::string(kLibraryName) + ".CGlobal";

// The value names read from a version resource, in the order they are added.
constexpr const char* kVersionNames[] = {"CompanyName",      "FileDescription", "FileVersion", "InternalName",
                                         "LegalCopyright",   "OriginalFileName", "ProductName", "ProductVersion"};

std::string replaced(std::string text, std::initializer_list<std::pair<std::string_view, std::string_view>> steps) {
    for (const auto& [from, to] : steps) text = ReplaceAll(text, from, to);
    return text;
}

// The temporary folder, or "" when the system gives none that fits its
// classic 512-character buffer.
std::string tempFolder() {
    std::string path;
    const win::DWORD length = win::GetTempPath(&path);
    if (length == 0 || length >= 512) return {};
    return path;
}

std::string fileVersion(const std::string& fileName) {
    win::DWORD handle = 0;
    const win::DWORD size = win::GetFileVersionInfoSize(fileName, &handle);
    if (size == 0) return {};
    std::vector<win::BYTE> block;
    if (!win::GetFileVersionInfo(fileName, handle, size, &block)) return {};
    const void* value = nullptr;
    win::UINT len = 0;
    if (!win::VerQueryValue(block, "\\", &value, &len) || len < sizeof(win::VS_FIXEDFILEINFO)) return {};
    win::VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, value, sizeof fixed);
    return std::to_string(fixed.dwFileVersionMS >> 16) + "." + std::to_string(fixed.dwFileVersionMS & 0xFFFF) + "." +
           std::to_string(fixed.dwFileVersionLS >> 16) + "." + std::to_string(fixed.dwFileVersionLS & 0xFFFF);
}

// Fills `collection` with the named texts of the first translation.
void addVersionTexts(const std::string& fileName, _CCollection* collection) {
    win::DWORD handle = 0;
    const win::DWORD size = win::GetFileVersionInfoSize(fileName, &handle);
    if (size == 0) return;
    std::vector<win::BYTE> block;
    if (!win::GetFileVersionInfo(fileName, handle, size, &block)) return;
    const void* value = nullptr;
    win::UINT len = 0;
    if (!win::VerQueryValue(block, "\\VarFileInfo\\Translation", &value, &len) || len < 4) return;
    winsys::Translation first;
    std::memcpy(&first.language, value, 2);
    std::memcpy(&first.codePage, static_cast<const win::BYTE*>(value) + 2, 2);
    // Each name as "\StringFileInfo\<key>\<name>" finds it, the table walked once.
    const auto values = winsys::queryVersionStrings(block, winsys::translationKey(first), kVersionNames);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!values[i]) continue;
        // The layer keeps `len` inside the block; the text is taken whole.
        const auto* text = static_cast<const std::uint8_t*>(values[i]->buffer);
        const std::size_t bytes =
            std::min<std::size_t>(std::size_t{values[i]->len} * 2, block.data() + block.size() - text);
        VARIANT item = makeText(TrimAtNull(winsys::fromUtf16leBytes(text, bytes)));
        VARIANT itemKey = makeText(kVersionNames[i]);
        collection->Add(&item, &itemKey, nullptr, nullptr);
    }
}

// The elements of a one-dimensional array of type `vt`, as bytes.
std::vector<win::BYTE> arrayBytes(SAFEARRAY* array, win::VARTYPE vt, HRESULT* h) {
    *h = S_OK;
    if (!array) return {};
    win::VARTYPE have = 0;
    if (win::FAILED(win::SafeArrayGetVartype(array, &have)) || have != vt || win::SafeArrayGetDim(array) != 1) {
        *h = win::DISP_E_TYPEMISMATCH;
        return {};
    }
    const std::size_t size = elementCount(array) * win::SafeArrayGetElemsize(array);
    void* data = nullptr;
    if (*h = win::SafeArrayAccessData(array, &data); win::FAILED(*h)) return {};
    std::vector<win::BYTE> bytes(static_cast<const win::BYTE*>(data), static_cast<const win::BYTE*>(data) + size);
    win::SafeArrayUnaccessData(array);
    return bytes;
}

SAFEARRAY* longArrayFromIndexOne(const std::vector<std::int32_t>& longs) {
    SAFEARRAY* array = win::SafeArrayCreateVector(win::VT_I4, 1, static_cast<win::ULONG>(longs.size()));
    if (!array || longs.empty()) return array;
    void* data = nullptr;
    if (win::FAILED(win::SafeArrayAccessData(array, &data))) {
        win::SafeArrayDestroy(array);
        return nullptr;
    }
    std::memcpy(data, longs.data(), longs.size() * sizeof(std::int32_t));
    win::SafeArrayUnaccessData(array);
    return array;
}

// The values of a FormatString call as texts, from the array's lower bound.
HRESULT placeholderValues(SAFEARRAY* params, std::vector<std::string>* values) {
    if (!params) return S_OK;
    win::VARTYPE vt = 0;
    if (win::FAILED(win::SafeArrayGetVartype(params, &vt)) || vt != win::VT_VARIANT ||
        win::SafeArrayGetDim(params) != 1)
        return win::DISP_E_TYPEMISMATCH;
    win::LONG lower = 0, upper = -1;
    win::SafeArrayGetLBound(params, 1, &lower);
    win::SafeArrayGetUBound(params, 1, &upper);
    for (win::LONG i = lower; i <= upper; ++i) {
        VARIANT element;
        if (HRESULT h = win::SafeArrayGetElement(params, &i, &element); win::FAILED(h)) return h;
        std::string text;
        if (HRESULT h = toText(element, &text); win::FAILED(h)) return h;
        values->push_back(std::move(text));
    }
    return S_OK;
}

class CGlobal final : public DispatchObject<_CGlobal> {
public:
    HRESULT ExpandEnvironmentStrings(const std::string& s, std::string* result) override {
        std::string expanded;
        if (win::ExpandEnvironmentStrings(s, &expanded) == 0) {
            const win::DWORD code = win::GetLastError();
            return raiseError(static_cast<win::LONG>(code), DescribeApiError(code), kSource);
        }
        *result = std::move(expanded); // whole, however long: nothing is cut to a buffer
        return S_OK;
    }
    HRESULT SQLEncode(const std::string& pStr, std::string* result) override {
        *result = replaced(pStr, {{"'", "''"}});
        return S_OK;
    }
    HRESULT SQLDecode(const std::string& pStr, std::string* result) override {
        *result = replaced(pStr, {{"''", "'"}});
        return S_OK;
    }
    HRESULT newGuid(std::string* result) override {
        *result = NewGuidString();
        return S_OK;
    }
    HRESULT FormatString(std::string* str, SAFEARRAY* params, std::string* result) override {
        std::vector<std::string> values;
        if (HRESULT h = placeholderValues(params, &values); win::FAILED(h)) return h;
        *result = ReplacePlaceholders(*str, values);
        return S_OK;
    }
    HRESULT LocalSystemName(std::string* result) override {
        std::string name;
        if (!win::GetComputerName(&name))
            return raiseError(static_cast<win::LONG>(win::GetLastError()), "Cannot read the computer name.", kSource);
        *result = std::move(name);
        return S_OK;
    }
    HRESULT GetTempPath(std::string* result) override {
        *result = tempFolder();
        return S_OK;
    }
    HRESULT GetTempFile(const std::string& Prefix, std::string* result) override {
        const std::string folder = tempFolder();
        std::string file;
        if (folder.empty() || win::GetTempFileName(folder, Prefix, 0, &file) == 0)
            return raiseError(win::E_FAIL, "Cannot make a temporary file.", kSource);
        *result = TrimAtNull(file);
        return S_OK;
    }
    HRESULT WinDir(std::string* result) override {
        std::string value;
        *result = win::GetEnvironmentVariable("windir", &value) == 0 ? std::string() : std::move(value);
        return S_OK;
    }
    HRESULT IsConnected(VARIANT_BOOL* result) override {
        // No remote-access service runs here: its listing succeeds with no
        // connection, and that alone cannot tell whether the machine is online.
        PumpMessages();
        *result = win::VARIANT_FALSE;
        return raiseError(win::E_NOTIMPL, "Cannot tell whether a connection exists.", kSource);
    }
    HRESULT WindowsVersion(LONG* Major, LONG* Minor, LONG* Build, LONG* PlatformId, std::string* ServicePack,
                           std::string* result) override {
        win::OSVERSIONINFOEX info;
        win::GetVersionEx(&info); // a failure leaves the zero record, reported as such
        if (Major) *Major = static_cast<LONG>(info.dwMajorVersion);
        if (Minor) *Minor = static_cast<LONG>(info.dwMinorVersion);
        if (Build) *Build = static_cast<LONG>(info.dwBuildNumber & 0xFFFF);
        if (PlatformId) *PlatformId = static_cast<LONG>(info.dwPlatformId);
        if (ServicePack) *ServicePack = TrimAtNull(info.szCSDVersion);
        *result = WindowsVersionText(info);
        return S_OK;
    }
    HRESULT GetCPUType(std::string* result) override {
        win::SYSTEM_INFO info;
        win::GetSystemInfo(&info);
        *result = ProcessorText(info);
        return S_OK;
    }
    HRESULT FileVersion(const std::string& FileName, std::string* result) override {
        *result = fileVersion(FileName);
        return S_OK;
    }
    HRESULT FileVersionInfo(const std::string& FileName, _CCollection** result) override {
        ComPtr<_CCollection> collection = newCollection();
        if (!collection) return win::E_OUTOFMEMORY;
        addVersionTexts(FileName, collection.get());
        *result = collection.detach();
        return S_OK;
    }
    HRESULT MDACJetVersion(std::string* MDACVersion, std::string* JetVersion) override {
        MDACVersion->clear();
        JetVersion->clear();
        if (auto ado = ExpandEnvVars("%programfiles%\\Common Files\\System\\ado\\msado15.dll"))
            *MDACVersion = fileVersion(*ado);
        auto jet = ExpandEnvVars("%windir%\\system32\\msjet40.dll");
        auto dao = ExpandEnvVars("%programfiles%\\Common Files\\Microsoft Shared\\DAO\\dao360.dll");
        if (jet && dao && FileExists(*dao)) *JetVersion = fileVersion(*jet);
        return S_OK;
    }
    HRESULT IsDAOAvailable(VARIANT_BOOL* result) override {
        // No DAO database engine can be created on this system.
        *result = win::VARIANT_FALSE;
        return S_OK;
    }
    HRESULT IsWindows64bit(VARIANT_BOOL* result) override {
        *result = win::toVariantBool(IsWow64Now());
        return S_OK;
    }
    HRESULT Base64Encode(const std::string& inData, std::string* result) override {
        *result = halvenlib::Base64Encode(inData);
        return S_OK;
    }
    HRESULT URLEncode(const std::string& pstrSegment, std::string* result) override {
        *result = halvenlib::URLEncode(pstrSegment);
        return S_OK;
    }
    HRESULT DoEventsA() override {
        PumpMessages();
        return S_OK;
    }
    HRESULT ByteArrayToLongArray(SAFEARRAY* aByte, SAFEARRAY** result) override {
        HRESULT h = S_OK;
        const std::vector<win::BYTE> bytes = arrayBytes(aByte, win::VT_UI1, &h);
        if (win::FAILED(h)) return h;
        *result = longArrayFromIndexOne(halvenlib::ByteArrayToLongArray(bytes));
        return *result ? S_OK : win::E_OUTOFMEMORY;
    }
    HRESULT LongArrayToByteArray(SAFEARRAY* aLong, SAFEARRAY** result) override {
        HRESULT h = S_OK;
        const std::vector<win::BYTE> raw = arrayBytes(aLong, win::VT_I4, &h);
        if (win::FAILED(h)) return h;
        std::vector<std::int32_t> longs(raw.size() / sizeof(std::int32_t));
        if (!longs.empty()) std::memcpy(longs.data(), raw.data(), longs.size() * sizeof(std::int32_t));
        *result = makeByteArray(halvenlib::LongArrayToByteArray(longs), 1);
        return *result ? S_OK : win::E_OUTOFMEMORY;
    }
    HRESULT Base64EncodeB(SAFEARRAY* inData, std::string* result) override {
        HRESULT h = S_OK;
        const std::vector<win::BYTE> bytes = arrayBytes(inData, win::VT_UI1, &h);
        if (win::FAILED(h)) return h;
        *result = halvenlib::Base64EncodeB(bytes);
        return S_OK;
    }
    HRESULT Base64DecodeB(const std::string& strIn, SAFEARRAY** result) override {
        *result = makeByteArray(halvenlib::Base64DecodeB(strIn), 1);
        return *result ? S_OK : win::E_OUTOFMEMORY;
    }
    HRESULT XMLEncode(const std::string& pStr, std::string* result) override {
        *result = replaced(pStr, {{"&", "&amp;"}, {"\"", "&quot;"}, {"<", "&lt;"}, {">", "&gt;"}, {"'", "&apos;"}});
        return S_OK;
    }
    HRESULT XMLDecode(const std::string& pStr, std::string* result) override {
        *result = replaced(pStr, {{"&amp;", "&"}, {"&quot;", "\""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&apos;", "'"}});
        return S_OK;
    }
    HRESULT IsArrayEmpty(VARIANT* v, VARIANT_BOOL* result) override {
        *result = win::toVariantBool(!v || IsArrayEmptyV(*v));
        return S_OK;
    }
    HRESULT FormatMessageFromSystem(LONG ErrNum, std::string* result) override {
        *result = FormatSystemMessage(static_cast<win::DWORD>(ErrNum));
        return S_OK;
    }
    HRESULT LocalApplicationDataFolder(std::string* result) override {
        return SHGetFolderPath(CSIDL_LOCAL_APPDATA, result);
    }
    HRESULT SHGetFolderPath(LONG CSIDL, std::string* result) override {
        *result = GetSpecialFolderPath(CSIDL);
        return S_OK;
    }
};

// The library's start-up: runs once, when the library is loaded.
const bool kStarted = (LibraryStartup(), true);

const ClassRegistration kRegistration{
    {CLSID_CGlobal, "CGlobal", "Halvenlib.CGlobal", 0, &createCGlobal}, {{_CGlobal::iid, "_CGlobal"}}};

} // namespace

HRESULT createCGlobal(win::REFIID riid, void** ppv) { return createAs<CGlobal>(riid, ppv); }

} // namespace halvenlib
