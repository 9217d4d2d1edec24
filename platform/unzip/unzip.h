#pragma once
// The system's unzip library: its two entry points, Wiz_SingleEntryUnzip
// and UzpVersion2, with the option, entry-list, callback and version
// records they take, over libzip.
//
// The library lists a package through the message callback and extracts
// chosen entries flat into a folder. Entry names come from strangers, so
// extraction is strict:
//   - an entry is chosen by the number the listing gave it, never by a
//     name, so exactly the listed entry is written;
//   - it is written under its bare name (the text after the last "/"),
//     which must be one plain component: not "." or "..", no "\", "/", ":",
//     NUL or other character Windows refuses, no trailing dot or blank;
//   - only as a regular file: links and other special entries are skipped,
//     and the file is made under a temporary name, never through a link,
//     with plain rights and the current time (nothing from the archive);
//   - at most its declared size and at most kUzpMaxEntrySize bytes are
//     inflated; size and CRC are checked before the file is renamed to its
//     name, so a damaged entry leaves no file.
// A chosen entry that is not written makes the call fail (non-zero). A
// package with two entries of one name is read as it stands: each entry is
// still chosen by its number. The folder is read once per call, so an
// extraction of n entries costs n, not n squared.
// Texts are UTF-8, as everywhere in the layer.

#include <cstddef>
#include <cstdint>

#include "platform/core/wintypes.h"

namespace win {

// Option record. Booleans are 1 or 0. Only the options the system uses have
// a behaviour here; a call that sets ExtractOnlyNewer, SpaceToUnderscore,
// TestOnly, FolderNames or CrToCrLf fails with UZ_ERR_UNSUPPORTED.
struct UzpOptions {
    LONG ExtractOnlyNewer = 0;
    LONG SpaceToUnderscore = 0;
    LONG PromptToOverwrite = 0; // ask the replace callback about an existing file
    LONG MessageLevel = 0;      // kept for the caller; every message is printed
    LONG Unused5 = 0;
    LONG TestOnly = 0;
    LONG ListOnly = 0; // list through the message callback, extract nothing
    LONG Unused8 = 0;
    LONG Unused9 = 0;
    LONG FolderNames = 0;
    LONG OverwriteExisting = 0;
    LONG CrToCrLf = 0;
    LONG Unused13 = 0;
    LONG CaseSensitiveNames = 0; // entries are chosen by number, so no effect
    LONG Unused15 = 0;
    const char* ZipFile = nullptr;       // Windows path of the package
    const char* ExtractFolder = nullptr; // Windows path of the folder; unused when listing
};

// The include and exclude lists: entry numbers as the message callback gave
// them, from the first slot on; the slot after the last holds kUzpEndOfList.
inline constexpr int kUzpListSlots = 1024;
inline constexpr LONG kUzpEndOfList = -1;
struct UzpEntryList {
    LONG Entries[kUzpListSlots];
};

// Largest entry extracted; a package's manifest is a few kilobytes.
inline constexpr std::uint64_t kUzpMaxEntrySize = 8u * 1024 * 1024;

// Flag byte of the message callback.
inline constexpr unsigned char kUzpFlagEncrypted = 0x40;

// Answers of the replace callback; any other answer keeps the file too.
inline constexpr int kUzpKeepExisting = 100;
inline constexpr int kUzpReplaceExisting = 101;

// Results of Wiz_SingleEntryUnzip.
enum UzpResult : int {
    UZ_OK = 0,
    UZ_WARN_SKIPPED = 1,     // a chosen entry was not written (unsafe, special, encrypted, file kept)
    UZ_ERR_DAMAGED = 2,      // an entry's data is damaged: bad CRC, truncated, not its declared size
    UZ_ERR_NOT_ZIP = 3,      // the package cannot be opened as a zip
    UZ_ERR_TOO_LARGE = 4,    // an entry declares more than kUzpMaxEntrySize
    UZ_ERR_WRITE = 5,        // the folder cannot be opened or written
    UZ_ERR_CANCELLED = 6,    // the service callback asked to stop
    UZ_ERR_UNSUPPORTED = 7,  // an option without behaviour here is set
    UZ_ERR_PARAMETER = 8,    // a missing record or path, or an entry number not in the package
};

using UzpPrintCallback = int (*)(const char* text, unsigned long length);
using UzpSoundCallback = void (*)();
// The file that exists (a writable buffer); returns kUzpKeepExisting or
// kUzpReplaceExisting.
using UzpReplaceCallback = int (*)(char* fileName);
// Fills `buffer` (`size` bytes, zero-terminated) and returns 0, or returns
// non-zero for no password.
using UzpPasswordCallback = int (*)(char* buffer, int size, const char* prompt, const char* entryName);
// One call per entry of the package; `entry` is the number that chooses it.
using UzpMessageCallback = void (*)(std::uint64_t size, std::uint64_t compressedSize, unsigned factor,
                                    unsigned month, unsigned day, unsigned year, unsigned hour, unsigned minute,
                                    char marker, const char* name, const char* method, std::uint32_t crc,
                                    unsigned char flags, LONG entry);
// Before each entry is extracted; non-zero stops the call.
using UzpServiceCallback = int (*)(const char* name, unsigned long length);

struct UzpCallbacks {
    UzpPrintCallback Print = nullptr;
    UzpSoundCallback Sound = nullptr; // never called
    UzpReplaceCallback Replace = nullptr;
    UzpPasswordCallback Password = nullptr;
    UzpMessageCallback Message = nullptr;
    UzpServiceCallback Service = nullptr;
    // Filled by a listing: totals over the entries, the overall compression
    // factor in percent, the number of entries and the comment's length.
    std::uint64_t TotalCompressedSize = 0;
    std::uint64_t TotalSize = 0;
    LONG CompressionFactor = 0;
    ULONG NumberOfMembers = 0;
    ULONG CommentLength = 0;
};

// Lists (ListOnly 1) or extracts the package. An empty include list means
// every entry; an excluded entry is never extracted.
int Wiz_SingleEntryUnzip(int includeCount, const UzpEntryList* include, int excludeCount,
                         const UzpEntryList* exclude, UzpOptions* options, UzpCallbacks* callbacks);

struct UzpVersionNumber {
    unsigned char Major = 0, Minor = 0, Patch = 0, Unused = 0;
};
// The version record: StructLength 64 on the way in. The interface numbers
// are those of the zip library underneath; it publishes no date.
struct UzpVersionRecord {
    ULONG StructLength = 0;
    ULONG Flag = 0; // bit 0: a pre-release
    char BetaLevel[10] = {};
    char Date[20] = {};
    char ZlibVersion[10] = {};
    UzpVersionNumber Unzip, ZipInfo, Os2Dll, WinDll;
};
static_assert(sizeof(UzpVersionRecord) == 64);

// Fills the record when its StructLength is at least 64; else leaves it.
void UzpVersion2(UzpVersionRecord* version);

} // namespace win

namespace winsys {

// What the library did since the last reset, for benchmarks: packages
// opened and bytes inflated.
struct UnzipCounters {
    std::uint64_t archiveOpens = 0;
    std::uint64_t inflatedBytes = 0;
};
UnzipCounters unzipCounters();
void resetUnzipCounters();

} // namespace winsys
