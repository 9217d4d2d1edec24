#pragma once
// FileOps: the library's file and folder operations (interface _FileOps in
// common/interfaces/fileops.h). An application object holding no state.
//
// Tree removal and folder copy expand %VAR% references once, on the path
// the caller gives, refuse drive and share roots (with or without the
// long-path prefix), and never go through a link to a folder: a link is
// removed or copied as the link it is. Every call on the disk uses the
// long-path prefix, so listing, copying and removing see the same tree.

#include <string>

#include "platform/com/types.h"

namespace halvenlib {

win::HRESULT createFileOps(win::REFIID riid, void** ppv);

// True for "C:", "C:\", "\\?\C:\", "\\server\share\", "\\?\UNC\server\share"
// and anything that folds to one of them ("C:\x\..").
bool isDriveOrShareRoot(const std::string& path);

} // namespace halvenlib
