#pragma once
// FileOps, the library's file and folder operations, as an application
// object (reached through winsys::com::getApplicationObject), and the plain
// collection of texts that DirectoryContents hands back.
//
// Members that can fail in an expected way return a Boolean and put the
// reason into the trailing by-reference FalseCause; FileCopyAx, IsFolder and
// the whole-file members raise errors instead.

#include <string>

#include "platform/com/dispatch_table.h"
#include "platform/com/safearray.h"
#include "platform/com/unknown.h"

namespace halvenlib {

using win::HRESULT;

inline constexpr win::CLSID CLSID_FileOps{0xC0F777B8, 0x1814, 0x4442, {0xBA, 0x00, 0xB8, 0x16, 0xF5, 0xFA, 0x31, 0xD2}};

// The runtime's standard collection: an ordered list with optional keys,
// positions counted from 1 (errors 5, 9 and 457 as the runtime raises them).
struct _Collection : win::IDispatch {
    static constexpr win::IID iid{0xA4C46780, 0x499F, 0x101B, {0xBB, 0x78, 0x00, 0xAA, 0x00, 0x38, 0x3C, 0xBB}};
    static const winsys::com::InterfaceInfo& info();

    virtual HRESULT Item(win::VARIANT* Index, win::VARIANT* result) = 0;
    virtual HRESULT Add(win::VARIANT* Item, win::VARIANT* Key, win::VARIANT* Before, win::VARIANT* After) = 0;
    virtual HRESULT Count(win::LONG* result) = 0;
    virtual HRESULT Remove(win::VARIANT* Index) = 0;
    virtual HRESULT NewEnum(win::IUnknown** result) = 0;

protected:
    ~_Collection() = default;
};

inline const winsys::com::InterfaceInfo& _Collection::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_Collection", {
        function<&_Collection::Item>("Item", win::DISPID_VALUE),
        method<&_Collection::Add>("Add").optionalFrom(1),
        function<&_Collection::Count>("Count"),
        method<&_Collection::Remove>("Remove"),
        function<&_Collection::NewEnum>("_NewEnum", win::DISPID_NEWENUM),
    });
    return i;
}

struct _FileOps : win::IDispatch {
    static constexpr win::IID iid{0x6F4B4A2C, 0x5E52, 0x403F, {0xAD, 0xDD, 0x95, 0xC0, 0xC5, 0xC4, 0xA4, 0xEE}};
    // Earlier identities of the same interface, still answered.
    static constexpr win::IID iidV3{0x5EFFFD28, 0x332F, 0x41DB, {0x8B, 0x09, 0x4C, 0x19, 0x8F, 0xB6, 0xAB, 0x62}};
    static constexpr win::IID iidV2{0x37405E04, 0x1795, 0x416A, {0x93, 0x9E, 0x8D, 0x96, 0x5B, 0x13, 0xAF, 0x79}};
    static constexpr win::IID iidV1{0x57120287, 0x8F43, 0x4C0A, {0x87, 0x41, 0x1E, 0x89, 0x30, 0x4C, 0x99, 0xDE}};
    static const winsys::com::InterfaceInfo& info();

    // Result always empty.
    virtual HRESULT DeleteFilesByMask(const std::string& Folder, const std::string& FileMask, win::VARIANT* result) = 0;
    virtual HRESULT DeleteFilesByMask2(const std::string& Folder, const std::string& FileMask, std::string* FalseCause,
                                       win::VARIANT_BOOL* result) = 0;
    virtual HRESULT EnsureFolderExist(const std::string& Folder) = 0;
    // WithSubFolders may be null (False).
    virtual HRESULT RemoveFolder(const std::string& PathName, win::VARIANT_BOOL* WithSubFolders) = 0;
    virtual HRESULT RemoveFolder2(const std::string& PathName, win::VARIANT_BOOL WithSubFolders,
                                  std::string* FalseCause, win::VARIANT_BOOL* result) = 0;
    virtual HRESULT RemoveFile(const std::string& FileName, std::string* FalseCause, win::VARIANT_BOOL* result) = 0;
    virtual HRESULT isFileExist(const std::string& File, win::VARIANT_BOOL* result) = 0;
    // Result always empty.
    virtual HRESULT FileCopyAx(const std::string& Source, const std::string& Destination, win::VARIANT* result) = 0;
    virtual HRESULT SaveFile(const std::string& FileName, const std::string& Content) = 0;
    virtual HRESULT LoadFile(const std::string& FileName, std::string* result) = 0;
    virtual HRESULT SaveFileB(const std::string& FileName, win::SAFEARRAY* Content) = 0;
    virtual HRESULT LoadFileB(const std::string& FileName, win::SAFEARRAY** result) = 0;
    // False with the reason whenever nothing was copied: a missing source, a
    // file written as a folder, a folder whose copy cannot be made.
    virtual HRESULT CopyFileOrFolder(const std::string& FileOrFolder, const std::string& CopyTo,
                                     std::string* FalseCause, win::VARIANT_BOOL* result) = 0;
    virtual HRESULT DirectoryContents(const std::string& Folder, _Collection** result) = 0;
    // Looks at the disk; a path ending in "\" matches only a folder. Raises
    // 0x80040000 when nothing matches.
    virtual HRESULT IsFolder(const std::string& FileOrFolder, win::VARIANT_BOOL* result) = 0;
    virtual HRESULT Wow64DisableWow64FileSystemRedirection() = 0;
    virtual HRESULT Wow64RevertWow64FileSystemRedirection() = 0;
    virtual HRESULT LoadFileHeaderMachine(const std::string& FileName, win::VARIANT_BOOL* Is32Bit,
                                          win::VARIANT_BOOL* Is64Bit, std::string* FalseCause,
                                          win::VARIANT_BOOL* result) = 0;
    virtual HRESULT FileCreationDate(const std::string& FileName, win::DATE* result) = 0;

protected:
    ~_FileOps() = default;
};

inline const winsys::com::InterfaceInfo& _FileOps::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_FileOps", {
        function<&_FileOps::DeleteFilesByMask>("DeleteFilesByMask"),
        function<&_FileOps::DeleteFilesByMask2>("DeleteFilesByMask2"),
        method<&_FileOps::EnsureFolderExist>("EnsureFolderExist"),
        method<&_FileOps::RemoveFolder>("RemoveFolder").optionalFrom(1),
        function<&_FileOps::RemoveFolder2>("RemoveFolder2"),
        function<&_FileOps::RemoveFile>("RemoveFile"),
        function<&_FileOps::isFileExist>("isFileExist"),
        function<&_FileOps::FileCopyAx>("FileCopyAx"),
        method<&_FileOps::SaveFile>("SaveFile"),
        function<&_FileOps::LoadFile>("LoadFile"),
        method<&_FileOps::SaveFileB>("SaveFileB"),
        function<&_FileOps::LoadFileB>("LoadFileB"),
        function<&_FileOps::CopyFileOrFolder>("CopyFileOrFolder"),
        function<&_FileOps::DirectoryContents>("DirectoryContents"),
        function<&_FileOps::IsFolder>("IsFolder"),
        method<&_FileOps::Wow64DisableWow64FileSystemRedirection>("Wow64DisableWow64FileSystemRedirection"),
        method<&_FileOps::Wow64RevertWow64FileSystemRedirection>("Wow64RevertWow64FileSystemRedirection"),
        function<&_FileOps::LoadFileHeaderMachine>("LoadFileHeaderMachine"),
        function<&_FileOps::FileCreationDate>("FileCreationDate"),
    });
    return i;
}

} // namespace halvenlib
