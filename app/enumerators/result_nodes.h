#pragma once
// What the file-based enumerators share to build their result: a new
// result, a new add-on record in it, a removal record holding one file or
// folder, and the entry names of a folder.

#include <string>
#include <vector>

#include "common/interfaces/records.h"
#include "components/interfaces/quarncust.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

winsys::com::ComPtr<halvenlib::_CNodes> NewResult();
// A new node of `result`; its parameters are the add-on record.
winsys::com::ComPtr<halvenlib::_CParams> AddRecord(halvenlib::_CNodes* result);
// A removal record holding `path` with the flag `x64bitSystem32`.
winsys::com::ComPtr<quarncust::_CLittleConfig> FileOrFolderConfig(const std::string& path, bool x64bitSystem32);
// FileOps.DirectoryContents: the names in the folder, in listing order; none when it is missing.
std::vector<std::string> DirectoryEntries(const std::string& folder);

} // namespace sorlix
