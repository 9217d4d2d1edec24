#pragma once
// Directory searches, shaped after FindFirstFile / FindNextFile / FindClose.
// The pattern is a folder and a mask in its last component (wildcard.h):
// "C:\x\*.*" lists C:\x, "." and ".." first as Windows gives them (a drive's
// root has neither); "C:\x\name" finds that one entry, which is how a path's
// existence is tested. Entries come sorted without regard to case. The
// search takes its snapshot when it starts. Host names holding "\" are not
// listed: no Windows name can hold one.
//
// Failures: 2 when nothing matches or the pattern ends in "\", 3 when the
// folder is missing, 267 when it is a file, 18 from FindNextFile at the end,
// 6 for a handle that is not open.

#include <string>

#include "platform/core/wintypes.h"

namespace win {

struct WIN32_FIND_DATA {
    DWORD dwFileAttributes = 0;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh = 0;
    DWORD nFileSizeLow = 0;
    std::string cFileName; // the name as on disk, no path
};

// INVALID_HANDLE_VALUE on failure.
HANDLE FindFirstFile(const std::string& pattern, WIN32_FIND_DATA* data);
BOOL FindNextFile(HANDLE search, WIN32_FIND_DATA* data);
BOOL FindClose(HANDLE search);

// Closes a search on scope exit.
class UniqueFindHandle {
public:
    UniqueFindHandle() = default;
    explicit UniqueFindHandle(HANDLE h) : h_(h) {}
    UniqueFindHandle(const UniqueFindHandle&) = delete;
    UniqueFindHandle& operator=(const UniqueFindHandle&) = delete;
    UniqueFindHandle(UniqueFindHandle&& o) noexcept : h_(o.release()) {}
    UniqueFindHandle& operator=(UniqueFindHandle&& o) noexcept { reset(o.release()); return *this; }
    ~UniqueFindHandle() { reset(); }
    HANDLE get() const { return h_; }
    HANDLE release() { HANDLE h = h_; h_ = INVALID_HANDLE_VALUE; return h; }
    void reset(HANDLE h = INVALID_HANDLE_VALUE) { if (h_ != INVALID_HANDLE_VALUE) FindClose(h_); h_ = h; }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

} // namespace win
