#pragma once
// Path-name queries that Windows answers from the file system: SearchPath
// along the system search order, and the long and short forms of a path.
//
// Buffers follow Windows' rule: a call is given the size of its buffer in
// UTF-16 units (NUL included); when the answer fits, the buffer receives it
// and the call returns its length without the NUL; when it does not, the
// buffer is left alone and the call returns the size needed, NUL included,
// so that the caller can retry with that size. 0 means failure, with the
// last error set.
//
// A prefix has no 8.3 names: a path's short form is the path itself.

#include <optional>
#include <string>
#include <string_view>

#include "platform/core/wintypes.h"

namespace win {

// Looks for `fileName` with a null `path` the way Windows does for a
// process whose own folder and current folder we do not keep: the system
// folder (redirected under WOW64 as file calls are), the 16-bit system
// folder, the Windows folder, then each folder of the process's PATH. A
// `path` replaces that list with one folder. A name with a drive is only
// checked where it stands. `extension` (".dll") is appended when the name
// has none. ERROR_FILE_NOT_FOUND when nothing is there, and
// ERROR_INVALID_PARAMETER for an empty name.
DWORD SearchPath(const std::string* path, const std::string& fileName, const std::string* extension,
                 DWORD bufferMax, std::string* buffer);

// The path as given, once it is known to exist (ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND otherwise).
DWORD GetLongPathName(const std::string& path, std::string* buffer, DWORD bufferMax);
DWORD GetShortPathName(const std::string& path, std::string* buffer, DWORD bufferMax);

} // namespace win

namespace winsys {

// The file LoadLibrary would open for `name`: a name with a folder or drive
// as it stands, a bare name along the search path, ".dll" added to a name
// without an extension. Nothing when there is no such file.
std::optional<std::string> moduleFilePath(std::string_view name);

} // namespace winsys
