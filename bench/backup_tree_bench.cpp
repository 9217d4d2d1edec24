// The file half of delete and restore on a large add-on: a generated 200 MB
// extension of 5,000 files in 50 folders, with links among them. Each step
// is measured against its floor in the same run: `cp -a` of the same folder,
// then `sync`, then `rm -rf` of the source, which is what a delete (copy
// into the store, flush, remove) and a restore (copy back, flush, drop the
// copy) each amount to. And a folder 5,000 levels deep, backed up, removed
// and restored (target: under 2 s for all three), beside its floor: the
// same folders made, flushed and removed through handles, by host path.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "app/core/caxbackuper.h"
#include "tests/support/com_library.h"
#include "tests/support/file_tree.h"
#include "tests/support/program_objects.h"
#include "tests/support/test_prefix.h"

namespace fs = std::filesystem;
using winsys::com::ComPtr;

namespace {

constexpr const char* kAddon = "C:\\Program Files\\Big\\Addon";
constexpr const char* kDeep = "C:\\Program Files\\Deep\\d";
constexpr int kFiles = 5000, kFolders = 50, kFileBytes = 40 * 1024, kLevels = 5000;

struct Machine {
    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH}, product{QUARNCUST_PATH};
    testsupport::ProgramObjects program;

    Machine() {
        std::string bytes(kFileBytes, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 31 + i / 4096);
        const fs::path addon = prefix.host(kAddon);
        for (int f = 0; f < kFiles; ++f) {
            bytes[0] = char(f);
            testsupport::writeHost(addon / ("dir" + std::to_string(f % kFolders)) / ("file" + std::to_string(f) + ".js"),
                                   bytes);
        }
        for (int d = 0; d < kFolders; d += 5) fs::create_directory_symlink("dir0", addon / ("link" + std::to_string(d)));

        // 5,000 levels: longer than any host path, so made from handles.
        const fs::path deepTop = prefix.host(kDeep);
        fs::create_directories(deepTop);
        int fd = ::open(deepTop.c_str(), O_RDONLY | O_DIRECTORY);
        for (int level = 0; level < kLevels && fd >= 0; ++level) {
            ::mkdirat(fd, "d", 0755);
            const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        if (fd >= 0) {
            const int leaf = ::openat(fd, "leaf.txt", O_WRONLY | O_CREAT, 0644);
            (void)!::write(leaf, "leaf", 4);
            ::close(leaf);
            ::close(fd);
        }
    }

    ComPtr<quarncust::_CLittleConfig> record(const char* path) {
        ComPtr<quarncust::_CLittleConfig> r;
        winsys::com::check(winsys::com::createInstance(quarncust::CLSID_CLittleConfig, &r));
        win::VARIANT no = winsys::com::makeBool(false);
        winsys::com::check(r->AddFileOrFolder(path, &no));
        return r;
    }
};

Machine& machine() {
    static Machine m;
    return m;
}

sorlix::CAxBackuper engine() {
    sorlix::CAxBackuper e;
    std::string cause;
    e.Init(testsupport::ProgramObjects::kDataFolder, sorlix::kProductRegistryKey, "FF", cause);
    return e;
}

std::string onlyBackup(sorlix::CAxBackuper& e) {
    win::LONG count = 0;
    std::vector<sorlix::CAxBackuper::BackupRow> rows;
    std::string cause;
    if (!e.ListBackups(count, rows, cause) || count != 1) return {};
    return rows[0].id;
}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

void BM_DeleteAddon(benchmark::State& state) {
    Machine& m = machine();
    auto record = m.record(kAddon);
    for (auto _ : state) {
        sorlix::CAxBackuper e = engine();
        std::string cause;
        if (!e.Backup("Big", "", record.get(), cause)) return state.SkipWithError(cause.c_str());
        if (!e.RemoveByLittleConfig(record.get())) return state.SkipWithError("the removal failed");
        state.PauseTiming();
        if (!e.Restore(onlyBackup(e), cause)) return state.SkipWithError(cause.c_str());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DeleteAddon)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_RestoreAddon(benchmark::State& state) {
    Machine& m = machine();
    auto record = m.record(kAddon);
    for (auto _ : state) {
        state.PauseTiming();
        sorlix::CAxBackuper e = engine();
        std::string cause;
        if (!e.Backup("Big", "", record.get(), cause) || !e.RemoveByLittleConfig(record.get()))
            return state.SkipWithError(cause.c_str());
        const std::string id = onlyBackup(e);
        state.ResumeTiming();
        if (!e.Restore(id, cause)) return state.SkipWithError(cause.c_str());
    }
}
BENCHMARK(BM_RestoreAddon)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The floor of either: the same folder copied with `cp -a`, flushed, and
// the source removed; the copy is then moved back, untimed.
void BM_FloorCopySyncRemove(benchmark::State& state) {
    Machine& m = machine();
    const fs::path addon = m.prefix.host(kAddon), copy = addon.parent_path() / "floor-copy";
    for (auto _ : state) {
        const std::string cmd = "cp -a " + quoted(addon) + " " + quoted(copy) + " && sync && rm -rf " + quoted(addon);
        if (std::system(cmd.c_str()) != 0) return state.SkipWithError("cp, sync or rm failed");
        state.PauseTiming();
        fs::rename(copy, addon);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FloorCopySyncRemove)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Makes `levels` folders "d", each in the one before, below the open
// folder `top`, and the leaf file at the bottom.
bool makeChain(int top, int levels) {
    int fd = ::dup(top);
    for (int level = 0; level < levels && fd >= 0; ++level) {
        if (::mkdirat(fd, "d", 0755) != 0) break;
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    if (fd < 0) return false;
    const int leaf = ::openat(fd, "leaf.txt", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    const bool written = leaf >= 0 && ::write(leaf, "leaf", 4) == 4;
    if (leaf >= 0) ::close(leaf);
    ::close(fd);
    return written;
}

// Removes what makeChain made, from the bottom up, climbing through "..".
bool removeChain(int top, int levels) {
    int fd = ::dup(top);
    for (int level = 0; level < levels && fd >= 0; ++level) {
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    if (fd < 0 || ::unlinkat(fd, "leaf.txt", 0) != 0) return false;
    for (int level = 0; level < levels; ++level) {
        const int parent = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        if (parent < 0 || ::unlinkat(parent, "d", AT_REMOVEDIR) != 0) return false;
        fd = parent;
    }
    ::close(fd);
    return true;
}

// The deep folder's floor: what a backup, removal and restore amount to by
// host path (a copy made and flushed, the folder removed, made again and
// flushed, the copy removed), with no reading of the source.
void BM_DeepFolderFloor(benchmark::State& state) {
    Machine& m = machine();
    const fs::path top = m.prefix.host(kDeep), copy = top.parent_path() / "floor-copy";
    fs::create_directories(copy);
    const int topFd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int copyFd = ::open(copy.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (auto _ : state) {
        const bool done = makeChain(copyFd, kLevels) && ::syncfs(copyFd) == 0 && removeChain(topFd, kLevels) &&
                          makeChain(topFd, kLevels) && ::syncfs(topFd) == 0 && removeChain(copyFd, kLevels);
        if (!done) {
            state.SkipWithError("a folder could not be made or removed");
            break;
        }
    }
    ::close(topFd);
    ::close(copyFd);
    fs::remove(copy);
}
BENCHMARK(BM_DeepFolderFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_DeepFolderBackupAndRestore(benchmark::State& state) {
    Machine& m = machine();
    auto record = m.record(kDeep);
    for (auto _ : state) {
        sorlix::CAxBackuper e = engine();
        std::string cause;
        if (!e.Backup("Deep", "", record.get(), cause)) return state.SkipWithError(cause.c_str());
        if (!e.RemoveByLittleConfig(record.get())) return state.SkipWithError("the removal failed");
        if (!e.Restore(onlyBackup(e), cause)) return state.SkipWithError(cause.c_str());
    }
}
BENCHMARK(BM_DeepFolderBackupAndRestore)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
