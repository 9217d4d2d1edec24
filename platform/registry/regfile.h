#pragma once
// Registry export text (".reg" files), the text people exchange, as opposed
// to the hive files (Wine's own syntax, which the store keeps).
//
// Reading takes "Windows Registry Editor Version 5.00" (UTF-16LE with a BOM
// as regedit writes it, or UTF-8 with or without BOM) and "REGEDIT4" (bytes
// in Windows-1252, whose hex(2)/hex(7) data are ANSI and are stored as
// UTF-16LE). Parsing yields a list of operations and fails as a whole on the
// first bad line, so that nothing is written from a bad file. Writing gives
// version 5 text laid out as regedit lays it out.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/result.h"
#include "platform/registry/registry.h"

namespace winsys {

// Which registry view the operations address. The default is the 64-bit
// view, as reg.exe /reg:64 on 64-bit Windows: a .reg file names the keys as
// a 64-bit regedit shows them. On 32-bit Windows both are the one registry.
enum class RegView { Bits64, Bits32 };
win::REGSAM regViewFlag(RegView view);

struct RegKeyPath {
    win::HKEY root = nullptr;
    std::string rootName; // full name, "HKEY_LOCAL_MACHINE"
    std::string subKey;   // no leading or trailing backslash; empty for the root itself
    std::string text() const; // "HKEY_LOCAL_MACHINE\Software\X"
};

// "HKLM\Software\X" or "HKEY_LOCAL_MACHINE\Software\X" (root names without
// regard to case; one trailing backslash allowed). The error says why not.
Result<RegKeyPath> parseRegKeyPath(std::string_view text);

struct RegOperation {
    enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = Kind::CreateKey;
    RegKeyPath key;
    std::string name; // value name; empty for the default value
    win::DWORD type = win::REG_NONE;
    std::vector<win::BYTE> data;
    int line = 0; // source line, for messages
};

// Decodes the bytes of a .reg file and parses them. A bad line fails the
// whole text with "FILE:LINE: reason" (error code ERROR_INVALID_DATA).
Result<std::vector<RegOperation>> parseRegText(std::string_view bytes, std::string_view fileName);

// Runs the operations in order in `view`: keys made with RegCreateKeyEx,
// trees removed with RegDeleteTree, values set and deleted. Deleting what
// is not there is no error. All or nothing: the operations run in one
// registry batch, written when every one succeeded; the first failure stops
// them, drops every change made so far and gives a message naming file,
// line, key and the Windows error text.
Result<void> applyRegOperations(const std::vector<RegOperation>& ops, RegView view, std::string_view fileName);

// Deletes a key and everything below it in `view` (RegDeleteTree takes no
// view). A missing key gives ERROR_FILE_NOT_FOUND.
win::LSTATUS deleteRegTree(const RegKeyPath& key, RegView view);

// The keys of a walk down a key tree, from its top to the key being gone
// through, by the full names that registryKeyName gives. A subkey that
// reaches one of them is a link back up: entering it would never end.
class RegKeyChain {
public:
    // True when `key` was entered; false, with loopNote() saying why, when
    // it is one of the keys above. `path` is the key's path as shown.
    Result<bool> enter(win::HKEY key, const std::string& path);
    void leave();
    std::size_t depth() const { return names_.size(); }
    // "PATH is a link back to ABOVE: its keys are not gone through again"
    const std::string& loopNote() const { return note_; }

private:
    std::vector<std::string> names_, paths_;
    std::string note_;
};

// Version 5 text of `key` and all its subkeys (depth first, subkeys in
// enumeration order, the default value first), UTF-8 with CR LF, from the
// header line to the closing blank line. A subkey that is a link back to a
// key above it is left out, with a note in `loops`.
Result<std::string> exportRegTree(const RegKeyPath& key, RegView view, std::vector<std::string>* loops = nullptr);

// One value as regedit writes it: `"name"=data`, long byte lists broken
// into "\" CR LF continuation lines indented by two blanks.
std::string formatRegValue(std::string_view name, win::DWORD type, const std::vector<win::BYTE>& data);

// The file form of export text: UTF-16LE with a byte-order mark.
std::vector<std::uint8_t> encodeRegFile(std::string_view utf8);

// Windows' message text for an error number ("Access is denied.").
std::string winErrorText(win::DWORD code);

} // namespace winsys
