#pragma once
// The small procedures of MMain that the enumerators and start-up share:
// joining a folder and a name, the bitness of Windows and its shell folders,
// copying version-resource fields into an add-on record, and the counted,
// nestable switch of WOW64 file-system redirection
// (sorlix::Wow64RedirectionCount in app/core/globals.h).

#include <string>

#include "common/interfaces/records.h"

namespace sorlix::MMain {

// "" + n -> n; "a\" + n -> "a\n"; "a" + n -> "a\n". `Name` is kept as given.
std::string JoinPath(const std::string& Folder, const std::string& Name);

// Global.IsWindows64bit, asked afresh.
bool IsWindows64bit();
// Global.SHGetFolderPath: the folder of a CSIDL.
std::string ShellFolder(win::LONG csidl);

// Adds `ParamName` with the trimmed item under `Key` when there is one and
// it is not blank. Errors of the collections (a duplicate name) reach the
// caller as ComError.
void AddParamFromCollection(halvenlib::_CCollection* Source, halvenlib::_CParams* Target, const std::string& Key,
                            const std::string& ParamName);

// Adds "manufacturer" (when the file names a company) and "version" (product
// version, else file version, else "") to the node's parameters. Never
// throws: a failure is logged and what was added stays.
void AddFileInfoToResultNode(halvenlib::_CNode* Node, const std::string& FileName);

// Only the first of nested disables and the last of the reverts reach the
// common library. A disable that the library refuses leaves the count as it
// was; a revert lowers the count before calling it.
void DisableWow64Redirection();
void RevertWow64Redirection();

// Redirection off, through the counted switch, while the object lives (when
// `off` asks for it); only a switch that took effect is reverted, on every
// way out. A failing revert is logged under `source`.
class Wow64RedirectionOff {
public:
    explicit Wow64RedirectionOff(std::string source, bool off = true);
    ~Wow64RedirectionOff();
    Wow64RedirectionOff(const Wow64RedirectionOff&) = delete;
    Wow64RedirectionOff& operator=(const Wow64RedirectionOff&) = delete;

private:
    std::string source_;
    bool off_ = false;
};

} // namespace sorlix::MMain
