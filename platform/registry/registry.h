#pragma once
// The registry calls of the layer, shaped after Windows' Reg* functions and
// returning Win32 error numbers. Names are UTF-8 and compare without regard
// to case; value data are raw bytes (REG_SZ as UTF-16LE with its NUL).
// There are no buffer sizes: a value of any size is returned whole.
//
// The process is 32-bit: on 64-bit Windows a plain root reads the 32-bit
// view (HKLM\Software\Wow6432Node, Software\Classes\Wow6432Node) unless the
// call asks for KEY_WOW64_64KEY. HKEY_CLASSES_ROOT merges the user's classes
// over the machine's.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/result.h"
#include "platform/core/wintypes.h"

namespace win {

struct HKEY__;
using HKEY = HKEY__*;

inline HKEY predefinedKey(std::uintptr_t v) { return reinterpret_cast<HKEY>(v); }
inline const HKEY HKEY_CLASSES_ROOT = predefinedKey(0x80000000u);
inline const HKEY HKEY_CURRENT_USER = predefinedKey(0x80000001u);
inline const HKEY HKEY_LOCAL_MACHINE = predefinedKey(0x80000002u);
inline const HKEY HKEY_USERS = predefinedKey(0x80000003u);
inline const HKEY HKEY_PERFORMANCE_DATA = predefinedKey(0x80000004u);
inline const HKEY HKEY_CURRENT_CONFIG = predefinedKey(0x80000005u);
inline const HKEY HKEY_DYN_DATA = predefinedKey(0x80000006u);

LSTATUS RegOpenKeyEx(HKEY key, const std::string& subKey, DWORD options, REGSAM sam, HKEY* result);
LSTATUS RegCreateKeyEx(HKEY key, const std::string& subKey, DWORD options, REGSAM sam, HKEY* result,
                       DWORD* disposition);
// Every call that changes a hive has written it back before it returns;
// a failed write fails the call (ERROR_CANTWRITE, ERROR_DISK_FULL...) and
// the change is dropped. While a wineserver serves the prefix, changing
// calls fail with ERROR_SHARING_VIOLATION.
LSTATUS RegCloseKey(HKEY key);
// Writes any changed hive of this key back to disk now.
LSTATUS RegFlushKey(HKEY key);

LSTATUS RegQueryValueEx(HKEY key, const std::string& name, DWORD* type, std::vector<BYTE>* data);
LSTATUS RegSetValueEx(HKEY key, const std::string& name, DWORD type, const BYTE* data, std::size_t size);
inline LSTATUS RegSetValueEx(HKEY key, const std::string& name, DWORD type, const std::vector<BYTE>& data) {
    return RegSetValueEx(key, name, type, data.data(), data.size());
}
LSTATUS RegDeleteValue(HKEY key, const std::string& name);

// Subkeys enumerate sorted without regard to case, values in creation order.
// Past the last item: ERROR_NO_MORE_ITEMS.
LSTATUS RegEnumKeyEx(HKEY key, DWORD index, std::string* name);
LSTATUS RegEnumValue(HKEY key, DWORD index, std::string* name, DWORD* type, std::vector<BYTE>* data);
LSTATUS RegQueryInfoKey(HKEY key, DWORD* subKeys, DWORD* values);

// Deletes a key without subkeys (ERROR_ACCESS_DENIED when it has some).
// `sam` picks the view (KEY_WOW64_64KEY / KEY_WOW64_32KEY).
LSTATUS RegDeleteKeyEx(HKEY key, const std::string& subKey, REGSAM sam, DWORD reserved);
inline LSTATUS RegDeleteKey(HKEY key, const std::string& subKey) { return RegDeleteKeyEx(key, subKey, 0, 0); }
// Deletes a key and everything below it; an empty subKey empties `key`.
// Link keys are deleted themselves, never what they point at.
LSTATUS RegDeleteTree(HKEY key, const std::string& subKey);
// Copies the values and subkeys of `subKey` below `source` into
// `destination`, in one write. A link key is copied as a link.
LSTATUS RegCopyTree(HKEY source, const std::string& subKey, HKEY destination);

// Closes a key on scope exit.
class UniqueHKey {
public:
    UniqueHKey() = default;
    explicit UniqueHKey(HKEY k) : k_(k) {}
    UniqueHKey(const UniqueHKey&) = delete;
    UniqueHKey& operator=(const UniqueHKey&) = delete;
    UniqueHKey(UniqueHKey&& o) noexcept : k_(o.release()) {}
    UniqueHKey& operator=(UniqueHKey&& o) noexcept { reset(o.release()); return *this; }
    ~UniqueHKey() { reset(); }
    HKEY get() const { return k_; }
    HKEY* put() { reset(); return &k_; }
    HKEY release() { HKEY k = k_; k_ = nullptr; return k; }
    void reset(HKEY k = nullptr) { if (k_) RegCloseKey(k_); k_ = k; }
    explicit operator bool() const { return k_ != nullptr; }

private:
    HKEY k_ = nullptr;
};

} // namespace win

namespace winsys {

// Writes every changed hive of the current machine back to disk (the
// program calls it on exit; RegCloseKey and RegFlushKey do it too).
winsys::Result<void> flushRegistry();

// Why the registry of the current machine cannot be changed now (a
// wineserver serves the prefix), or none.
std::optional<std::string> registryRefusal();

// A batch makes the changing calls between its begin and its end reach the
// disk together or not at all (regtool import). While it is open this
// process holds the prefix's writers' lock, the calls change the hives in
// memory only, and nothing is written (RegCloseKey, RegFlushKey and
// flushRegistry write nothing); commitRegistryBatch writes every changed
// hive (all or none, as one call does), abandonRegistryBatch drops the
// changes by reading those hives again. One batch at a time; begin fails
// while a wineserver serves the prefix, and commit, when one began to serve
// it meanwhile, drops the batch's changes and writes nothing.
Result<void> beginRegistryBatch();
Result<void> commitRegistryBatch();
void abandonRegistryBatch();

// The full name of the key a handle reaches, after links and the 32-bit
// view's redirection ("\Registry\Machine\Software\X"); two handles of
// one key give the same name. Walks of key trees use it to stop at link
// loops.
Result<std::string> registryKeyName(win::HKEY key);

// A number that differs whenever what the registry calls answer may have
// changed since it was taken: a change made through them, a hive read
// again, another machine. Callers keep what they read beside it.
std::uint64_t registryChangeStamp();

// What loading the current machine's hives reported: bad lines skipped
// ("file:line: reason 'line'") and hives that could not be loaded at all.
std::vector<std::string> registryWarnings();

// Why the prefix's hive file `fileName` ("user.reg") cannot serve a program
// that needs what it holds: missing, unreadable, or no Wine registry file;
// none when it can. (The registry itself takes a missing user hive for an
// empty one, so that a new prefix can be filled.)
std::optional<std::string> hiveFileProblem(const std::filesystem::path& prefix, std::string_view fileName);

} // namespace winsys
