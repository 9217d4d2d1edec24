#include "platform/unzip/unzip.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>
#include <zip.h>
#include <zlib.h>

#include "platform/core/text.h"
#include "platform/files/hostfile.h"
#include "platform/files/paths.h"

namespace {

std::atomic<std::uint64_t> g_opens{0};
std::atomic<std::uint64_t> g_inflated{0};

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipCloser>;

struct ZipFileCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};
using ZipFileHandle = std::unique_ptr<zip_file_t, ZipFileCloser>;

void print(const win::UzpCallbacks& cb, const std::string& text) {
    if (cb.Print) cb.Print(text.c_str(), static_cast<unsigned long>(text.size()));
}

const char* methodName(zip_int32_t method) {
    switch (method) {
    case ZIP_CM_STORE: return "Stored";
    case ZIP_CM_DEFLATE: return "Deflated";
    case ZIP_CM_DEFLATE64: return "Deflate64";
    case ZIP_CM_BZIP2: return "BZip2";
    case ZIP_CM_LZMA: return "LZMA";
    case ZIP_CM_XZ: return "XZ";
    default: return "Unknown";
    }
}

// Percent saved by compression, 0 for an empty entry.
unsigned compressionFactor(std::uint64_t size, std::uint64_t compressed) {
    if (size == 0 || compressed >= size) return 0;
    return static_cast<unsigned>(100 - compressed * 100 / size);
}

// The one name a flat extraction may write: a single component that
// Windows can name and that leads nowhere else.
bool isPlainName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    if (name.back() == '.' || name.back() == ' ') return false;
    return winsys::isAllowedInFileName(name);
}

std::string bareName(const std::string& entryName) {
    const auto slash = entryName.rfind('/');
    return slash == std::string::npos ? entryName : entryName.substr(slash + 1);
}

// Links, devices and pipes written by a Unix packer; anything else is data.
bool isSpecialEntry(zip_t* zip, zip_uint64_t index) {
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(zip, index, 0, &opsys, &attributes) != 0) return true;
    if (opsys != ZIP_OPSYS_UNIX) return false;
    const mode_t mode = static_cast<mode_t>(attributes >> 16);
    const mode_t type = mode & S_IFMT;
    return type != 0 && type != S_IFREG;
}

// The folder's entries by their folded names, read once per extraction, so
// that finding the entry Windows would take for a name costs no rescan.
class FolderNames {
public:
    explicit FolderNames(int dirFd) {
        std::vector<winsys::FolderEntry> entries;
        winsys::listFolder(dirFd, &entries);
        for (const winsys::FolderEntry& e : entries) names_.emplace(winsys::upperCase(e.name), e.name);
    }
    // The entry's own name, as the folder spells it.
    std::optional<std::string> find(const std::string& name) const {
        const auto it = names_.find(winsys::upperCase(name));
        if (it == names_.end()) return std::nullopt;
        return it->second;
    }
    void written(const std::string& name) { names_.emplace(winsys::upperCase(name), name); }

private:
    std::unordered_map<std::string, std::string> names_;
};

// A fresh file in the folder that nothing else names: created here, never
// followed through a link.
std::optional<std::string> createTemporary(int dirFd, winsys::UniqueFd& out) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        static const unsigned pid = static_cast<unsigned>(::getpid());
        std::snprintf(name, sizeof name, "~uz%x%04x.tmp", pid, counter++ & 0xffff);
        const int fd = ::openat(dirFd, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            out.reset(fd);
            return std::string(name);
        }
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

struct Extraction {
    zip_t* zip;
    int dirFd;
    const std::filesystem::path& host; // the folder's
    FolderNames& names;
    const win::UzpOptions& options;
    const win::UzpCallbacks& callbacks;
};

// Inflates the entry into `fd`: at most its declared size, checked against
// its CRC. 0 or the failure's result code.
int inflateInto(const Extraction& x, zip_uint64_t index, const zip_stat_t& st, const std::string& name, int fd) {
    ZipFileHandle file;
    if (st.encryption_method != ZIP_EM_NONE) {
        char password[256] = {};
        if (!x.callbacks.Password ||
            x.callbacks.Password(password, sizeof password, "Enter password", name.c_str()) != 0) {
            print(x.callbacks, "skipped '" + name + "': encrypted, no password");
            return win::UZ_WARN_SKIPPED;
        }
        password[sizeof password - 1] = 0;
        file.reset(zip_fopen_index_encrypted(x.zip, index, 0, password));
    } else {
        file.reset(zip_fopen_index(x.zip, index, 0));
    }
    if (!file) {
        print(x.callbacks, "cannot read '" + name + "': " + zip_strerror(x.zip));
        return st.encryption_method != ZIP_EM_NONE ? win::UZ_WARN_SKIPPED : win::UZ_ERR_DAMAGED;
    }

    // A manifest is a few kilobytes: no more room than the entry can fill.
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(64 * 1024, st.size + 1)));
    std::uint64_t total = 0;
    uLong crc = crc32(0, nullptr, 0);
    for (;;) {
        // One byte beyond the declared size shows an entry that lies about it.
        const std::uint64_t want = std::min<std::uint64_t>(buffer.size(), st.size + 1 - total);
        const zip_int64_t n = zip_fread(file.get(), buffer.data(), want);
        if (n < 0) {
            print(x.callbacks, "damaged '" + name + "': " + zip_file_strerror(file.get()));
            return win::UZ_ERR_DAMAGED;
        }
        if (n == 0) break;
        g_inflated += static_cast<std::uint64_t>(n);
        total += static_cast<std::uint64_t>(n);
        if (total > st.size) {
            print(x.callbacks, "damaged '" + name + "': more data than its declared size");
            return win::UZ_ERR_DAMAGED;
        }
        crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), static_cast<uInt>(n));
        for (zip_int64_t done = 0; done < n;) {
            const ssize_t w = ::write(fd, buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0) {
                print(x.callbacks, "cannot write '" + name + "': " + std::strerror(errno));
                return win::UZ_ERR_WRITE;
            }
            done += w;
        }
    }
    if (total != st.size || ((st.valid & ZIP_STAT_CRC) && crc != st.crc)) {
        print(x.callbacks, "damaged '" + name + "': size or CRC does not match");
        return win::UZ_ERR_DAMAGED;
    }
    return win::UZ_OK;
}

// Writes one entry into the folder under its bare name. 0 or a result code.
int extractEntry(const Extraction& x, zip_uint64_t index, bool chosen) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(x.zip, index, ZIP_FL_ENC_GUESS, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
        print(x.callbacks, "damaged entry " + std::to_string(index));
        return win::UZ_ERR_DAMAGED;
    }
    const std::string entryName = st.name;
    const std::string name = bareName(entryName);
    if (name.empty()) // a folder entry: a flat extraction makes no folders
        return chosen ? win::UZ_WARN_SKIPPED : win::UZ_OK;

    if (x.callbacks.Service && x.callbacks.Service(entryName.c_str(), static_cast<unsigned long>(entryName.size())))
        return win::UZ_ERR_CANCELLED;

    if (!isPlainName(name) || isSpecialEntry(x.zip, index)) {
        print(x.callbacks, "skipped '" + entryName + "': not a plain file name");
        return win::UZ_WARN_SKIPPED;
    }
    if (!(st.valid & ZIP_STAT_SIZE) || st.size > win::kUzpMaxEntrySize) {
        print(x.callbacks, "skipped '" + entryName + "': too large");
        return win::UZ_ERR_TOO_LARGE;
    }

    std::string target = name;
    if (const auto existing = x.names.find(name)) {
        target = *existing;
        bool replace = x.options.OverwriteExisting != 0;
        if (!replace && x.options.PromptToOverwrite && x.callbacks.Replace) {
            std::vector<char> buffer(target.begin(), target.end());
            buffer.push_back(0);
            replace = x.callbacks.Replace(buffer.data()) == win::kUzpReplaceExisting;
        }
        if (!replace) {
            print(x.callbacks, "kept the existing '" + target + "'");
            return win::UZ_WARN_SKIPPED;
        }
        struct stat old;
        // Windows refuses to replace a read-only file or a folder.
        if (::fstatat(x.dirFd, target.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 &&
            (S_ISDIR(old.st_mode) || (!S_ISLNK(old.st_mode) && !(old.st_mode & S_IWUSR)))) {
            print(x.callbacks, "cannot replace '" + target + "'");
            return win::UZ_ERR_WRITE;
        }
    }

    winsys::UniqueFd out;
    const auto temporary = createTemporary(x.dirFd, out);
    if (!temporary) {
        print(x.callbacks, std::string("cannot write into the folder: ") + std::strerror(errno));
        return win::UZ_ERR_WRITE;
    }
    int result = inflateInto(x, index, st, entryName, out.get());
    if (!out.close() && result == win::UZ_OK) result = win::UZ_ERR_WRITE;
    // A rename replaces a link of that name itself, never its target.
    if (result == win::UZ_OK && ::renameat(x.dirFd, temporary->c_str(), x.dirFd, target.c_str()) != 0) {
        print(x.callbacks, "cannot write '" + target + "': " + std::strerror(errno));
        result = win::UZ_ERR_WRITE;
    }
    if (result != win::UZ_OK) {
        ::unlinkat(x.dirFd, temporary->c_str(), 0);
    } else {
        x.names.written(target);
        winsys::forgetResolvedPaths(x.host / target); // a link of that name may have been replaced
    }
    return result;
}

void listEntries(zip_t* zip, win::UzpCallbacks& cb) {
    const zip_int64_t count = zip_get_num_entries(zip, 0);
    cb.TotalCompressedSize = cb.TotalSize = 0;
    cb.NumberOfMembers = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(zip, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS, &st) != 0) continue;
        std::tm when{};
        const std::time_t mtime = (st.valid & ZIP_STAT_MTIME) ? st.mtime : 0;
        localtime_r(&mtime, &when);
        const bool encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
        cb.TotalSize += st.size;
        cb.TotalCompressedSize += st.comp_size;
        ++cb.NumberOfMembers;
        if (cb.Message)
            cb.Message(st.size, st.comp_size, compressionFactor(st.size, st.comp_size),
                       static_cast<unsigned>(when.tm_mon + 1), static_cast<unsigned>(when.tm_mday),
                       static_cast<unsigned>(when.tm_year + 1900), static_cast<unsigned>(when.tm_hour),
                       static_cast<unsigned>(when.tm_min), encrypted ? '*' : ' ', st.name ? st.name : "",
                       methodName(st.comp_method), st.crc, encrypted ? win::kUzpFlagEncrypted : 0,
                       static_cast<win::LONG>(i));
    }
    cb.CompressionFactor = static_cast<win::LONG>(compressionFactor(cb.TotalSize, cb.TotalCompressedSize));
    int commentLength = 0;
    zip_get_archive_comment(zip, &commentLength, ZIP_FL_ENC_RAW);
    cb.CommentLength = static_cast<win::ULONG>(commentLength);
}

// The package a listing opened, kept for the call that follows on the same
// thread (and closed by it whatever it is): callers list a package, choose
// entries by the numbers the listing gave them and extract, and one opening
// serves both while the file is the one listed (so the numbers still name
// the entries listed).
struct KeptListing {
    std::string name; // the package's Windows path, as the listing named it
    std::string host;
    winsys::FileStamp stamp;
    ZipHandle zip;
};
thread_local KeptListing t_kept;

// Opens a package read-only, its stamp taken from the very file opened.
// Only a regular file is a package: a pipe or device is never waited on.
ZipHandle openPackage(const std::string& host, winsys::FileStamp* stamp, int* error) {
    winsys::UniqueFd fd(::open(host.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
        *error = errno == ENOENT ? ZIP_ER_NOENT : ZIP_ER_OPEN;
        return nullptr;
    }
    *stamp = winsys::stampOf(st);
    if (!S_ISREG(st.st_mode)) {
        *error = ZIP_ER_NOZIP;
        return nullptr;
    }
    ZipHandle zip(zip_fdopen(fd.get(), ZIP_CHECKCONS, error));
    ++g_opens;
    // The consistency check refuses a package with two entries of one name
    // (ZIP_ER_EXISTS); without it the library keeps both, each reached by
    // its number, so such a package is read as it stands.
    if (!zip && *error == ZIP_ER_EXISTS) {
        zip.reset(zip_fdopen(fd.get(), 0, error));
        ++g_opens;
    }
    if (zip) fd.release(); // the archive owns it now
    return zip;
}

std::vector<win::LONG> listed(int count, const win::UzpEntryList* list) {
    std::vector<win::LONG> r;
    if (!list) return r;
    for (int k = 0; k < std::min(count, win::kUzpListSlots) && list->Entries[k] != win::kUzpEndOfList; ++k)
        r.push_back(list->Entries[k]);
    return r;
}

} // namespace

namespace win {

int Wiz_SingleEntryUnzip(int includeCount, const UzpEntryList* include, int excludeCount,
                         const UzpEntryList* exclude, UzpOptions* options, UzpCallbacks* callbacks) {
    if (!options || !callbacks || !options->ZipFile) return UZ_ERR_PARAMETER;
    if (options->ExtractOnlyNewer || options->SpaceToUnderscore || options->TestOnly || options->FolderNames ||
        options->CrToCrLf) {
        print(*callbacks, "option not supported");
        return UZ_ERR_UNSUPPORTED;
    }
    // A call takes the archive a listing kept; only the extraction of the
    // package listed, named as it was and still the very file listed, uses
    // it (so the numbers chosen name the entries the listing showed).
    KeptListing kept = std::exchange(t_kept, {});
    int error = 0;
    winsys::FileStamp stamp;
    ZipHandle zip;
    std::filesystem::path hostZip;
    if (!options->ListOnly && kept.zip && kept.name == options->ZipFile && winsys::stampOf(kept.host) == kept.stamp) {
        zip = std::move(kept.zip);
        hostZip = kept.host;
    } else {
        auto resolved = winsys::toHostPath(options->ZipFile);
        if (!resolved) {
            print(*callbacks, std::string("cannot find '") + options->ZipFile + "'");
            return UZ_ERR_NOT_ZIP;
        }
        hostZip = std::move(resolved).value();
        zip = openPackage(hostZip.native(), &stamp, &error);
    }
    if (zip) winsys::noteRead(hostZip);
    if (!zip) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        const std::string why = error == ZIP_ER_EXISTS ? "it holds two entries of one name" : zip_error_strerror(&e);
        print(*callbacks, std::string("cannot open '") + options->ZipFile + "': " + why);
        zip_error_fini(&e);
        return UZ_ERR_NOT_ZIP;
    }
    if (options->ListOnly) {
        listEntries(zip.get(), *callbacks);
        t_kept = {options->ZipFile, hostZip.native(), stamp, std::move(zip)};
        return UZ_OK;
    }

    if (!options->ExtractFolder) return UZ_ERR_PARAMETER;
    // Written into: found as the disk holds it now.
    const auto hostFolder = winsys::toHostPath(options->ExtractFolder, winsys::Resolve::FromDisk);
    winsys::UniqueFd dir(hostFolder ? ::open(hostFolder->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1);
    if (dir.get() < 0) {
        print(*callbacks, std::string("cannot open the folder '") + options->ExtractFolder + "'");
        return UZ_ERR_WRITE;
    }

    const zip_int64_t count = zip_get_num_entries(zip.get(), 0);
    const std::vector<LONG> excludedList = listed(excludeCount, exclude);
    const std::unordered_set<LONG> excluded(excludedList.begin(), excludedList.end());
    std::vector<LONG> chosen = listed(includeCount, include);
    const bool all = chosen.empty();
    if (all)
        for (LONG i = 0; i < count; ++i) chosen.push_back(i);
    for (LONG i : chosen)
        if (i < 0 || i >= count) return UZ_ERR_PARAMETER;

    FolderNames names(dir.get());
    const Extraction x{zip.get(), dir.get(), hostFolder.value(), names, *options, *callbacks};
    int result = UZ_OK;
    for (LONG i : chosen) {
        if (excluded.contains(i)) continue;
        const int r = extractEntry(x, static_cast<zip_uint64_t>(i), !all);
        if (r == UZ_ERR_CANCELLED) return r;
        if (result == UZ_OK) result = r;
    }
    return result;
}

void UzpVersion2(UzpVersionRecord* version) {
    if (!version || version->StructLength < sizeof(UzpVersionRecord)) return;
    unsigned major = 0, minor = 0, patch = 0;
    char rest[16] = {};
    std::sscanf(zip_libzip_version(), "%u.%u.%u%15s", &major, &minor, &patch, rest);
    const UzpVersionNumber numbers{static_cast<unsigned char>(major), static_cast<unsigned char>(minor),
                                   static_cast<unsigned char>(patch), 0};
    *version = UzpVersionRecord{};
    version->StructLength = sizeof(UzpVersionRecord);
    version->Flag = rest[0] ? 1 : 0;
    std::snprintf(version->BetaLevel, sizeof version->BetaLevel, "%s", rest);
    std::snprintf(version->ZlibVersion, sizeof version->ZlibVersion, "%s", zlibVersion());
    version->Unzip = version->WinDll = numbers;
}

} // namespace win

namespace winsys {

UnzipCounters unzipCounters() { return {g_opens.load(), g_inflated.load()}; }

void resetUnzipCounters() {
    g_opens = 0;
    g_inflated = 0;
}

} // namespace winsys
