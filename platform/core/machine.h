#pragma once
// The Windows machine the program sees: a prefix folder in Wine's layout.
//
//   <prefix>/system.reg    HKEY_LOCAL_MACHINE; its "#arch=" line says win32/win64
//   <prefix>/user.reg      the current user (HKCU, HKU\<SID>); header names the SID
//   <prefix>/userdef.reg   HKU\.Default
//   <prefix>/drive_c/      drive C:
//   <prefix>/dosdevices/   one link per drive letter ("c:" -> ../drive_c, "z:" -> /)
//
// One machine is current for the process, as Windows is. The program opens
// it from WINEPREFIX; tests install their own.

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/result.h"

namespace winsys {

enum class Arch { Win32, Win64 };

// TOKEN_ELEVATION_TYPE values.
enum class ElevationType { Default = 1, Full = 2, Limited = 3 };

// The process token, as GetTokenInformation would report it. Wine gives a
// program an elevated administrator; tests change it through machine().token().
struct ProcessToken {
    bool elevated = true;
    ElevationType elevationType = ElevationType::Full;
    bool administrator = true; // member of BUILTIN\Administrators
    std::vector<std::string> groupSids{"S-1-5-32-544", "S-1-5-32-545", "S-1-1-0", "S-1-5-11"};
};

class Machine {
public:
    // Opens the prefix at `prefix`. Fails with one message naming the path
    // when the folder is missing, unreadable or not a prefix (no system.reg).
    static Result<std::unique_ptr<Machine>> open(const std::filesystem::path& prefix);

    const std::filesystem::path& prefix() const { return prefix_; }
    Arch arch() const { return arch_; }
    bool is64bit() const { return arch_ == Arch::Win64; }
    // The process is 32-bit; on 64-bit Windows it runs under WOW64.
    bool isWow64() const { return is64bit(); }

    // The current user's SID text, from user.reg's header.
    const std::string& userSid() const { return userSid_; }
    // The user's logon name (the profile folder's name under C:\users).
    const std::string& userName() const { return userName_; }

    // Host folder behind a drive letter's dosdevices link, or nothing when the
    // drive does not exist. Letters compare without regard to case.
    std::optional<std::filesystem::path> driveRoot(char letter) const;

    ProcessToken& token() { return token_; }
    const ProcessToken& token() const { return token_; }

    // Distinct for every Machine ever opened; lets modules with per-machine
    // state (the registry store) notice that the current machine changed.
    std::uint64_t serial() const { return serial_; }

private:
    Machine() = default;
    std::filesystem::path prefix_;
    Arch arch_ = Arch::Win64;
    std::string userSid_;
    std::string userName_;
    ProcessToken token_;
    std::uint64_t serial_ = 0;
};

// The prefix named by WINEPREFIX, or ~/.wine when it is unset or empty.
std::filesystem::path defaultPrefixPath();

// The current machine. Opens defaultPrefixPath() on first use; when that
// fails the process cannot go on, so it stops with the message on stderr.
Machine& machine();
// Opens defaultPrefixPath() as the current machine, reporting failure.
Result<void> openDefaultMachine();
// Makes `m` the current machine (tests; a program that picks its prefix).
void setMachine(std::unique_ptr<Machine> m);
bool hasMachine();

} // namespace winsys
