#pragma once
// Shared by the end-to-end test and the screenshot program: a fresh demo
// machine (demo/build-prefix.sh in a temporary folder), start-up run on it
// as the program runs it, and the machine's state taken whole so that two
// moments can be compared: every key and value of HKEY_LOCAL_MACHINE (64-bit
// view, Wow6432Node included) and HKEY_USERS (the user and .Default) read
// through the registry calls, and every file and folder of drive C: but the
// program's own data folder.

#include <QApplication>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/core/caxbackuper.h"
#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "app/ui/fmain.h"
#include "app/ui/program_images.h"
#include "platform/com/class_registry.h"
#include "platform/core/machine.h"
#include "platform/core/text.h"
#include "platform/files/paths.h"
#include "platform/registry/registry.h"
#include "tests/support/records.h"

namespace e2e {

namespace fs = std::filesystem;

inline void ensureApplication() {
    if (QApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "sorlix-e2e";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives until the process ends
}

// A temporary folder holding a freshly built demo prefix; removed with the object.
class DemoMachine {
public:
    DemoMachine() {
        std::string tmpl = (fs::temp_directory_path() / "sorlix-e2e-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        root_ = tmpl;
        const fs::path out = root_ / "build-prefix.out";
        const std::string command = "bash '" BUILD_PREFIX_SCRIPT "' '" + prefix().string() + "' '" BUILD_DIR "' >'" +
                                    out.string() + "' 2>&1";
        status_ = std::system(command.c_str());
        std::ifstream in(out);
        output_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ~DemoMachine() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    DemoMachine(const DemoMachine&) = delete;
    DemoMachine& operator=(const DemoMachine&) = delete;

    bool built() const { return status_ == 0; }
    const std::string& output() const { return output_; }
    fs::path prefix() const { return root_ / "prefix"; }
    fs::path driveC() const { return prefix() / "drive_c"; }

    // Makes the prefix the current machine, as the program does from WINEPREFIX.
    std::string open() const {
        auto m = winsys::Machine::open(prefix());
        if (!m) return m.error().message;
        winsys::setMachine(std::move(m).value());
        return {};
    }

private:
    fs::path root_;
    std::string output_;
    int status_ = -1;
};

// ---- Registry state -----------------------------------------------------------

// One key (isKey, no name) or one value; paths begin with "HKLM\" or "HKU\".
struct RegItem {
    std::string path, name;
    bool isKey = false;
    win::DWORD type = 0;
    std::vector<win::BYTE> data;
    bool operator==(const RegItem&) const = default;
};

// Sorted by path and name without regard to case, as the registry compares them.
using RegState = std::map<std::string, RegItem>;

inline std::string sortKey(const RegItem& i) {
    return winsys::lowerCase(i.path) + (i.isKey ? std::string() : "\n" + winsys::lowerCase(i.name));
}

inline std::string describe(const RegItem& i) {
    if (i.isKey) return "key [" + i.path + "]";
    static const char* digits = "0123456789abcdef";
    std::string bytes;
    for (std::size_t n = 0; n < i.data.size() && n < 48; ++n) {
        bytes += digits[i.data[n] >> 4];
        bytes += digits[i.data[n] & 15];
        bytes += ' ';
    }
    if (i.data.size() > 48) bytes += "...";
    return "value [" + i.path + "] \"" + i.name + "\" type " + std::to_string(i.type) + " data " + bytes;
}

namespace detail {

// Every key below `key` in one registry view. Link keys are recorded as keys with their target value, never followed.
inline void walk(win::HKEY key, const std::string& path, win::REGSAM view, std::vector<RegItem>& out,
                 int depth = 0) {
    out.push_back(RegItem{path, "", true, 0, {}});
    std::string name;
    win::DWORD type = 0;
    std::vector<win::BYTE> data;
    for (win::DWORD i = 0; win::RegEnumValue(key, i, &name, &type, &data) == win::ERROR_SUCCESS; ++i)
        out.push_back(RegItem{path, name, false, type, data});
    if (depth > 64) throw std::runtime_error("registry nests too deep at " + path);
    for (win::DWORD i = 0; win::RegEnumKeyEx(key, i, &name) == win::ERROR_SUCCESS; ++i) {
        win::UniqueHKey sub;
        const auto rc = win::RegOpenKeyEx(key, name, win::REG_OPTION_OPEN_LINK, win::KEY_READ | view, sub.put());
        if (rc != win::ERROR_SUCCESS) throw std::runtime_error("cannot open " + path + "\\" + name);
        walk(sub.get(), path + "\\" + name, view, out, depth + 1);
    }
}

inline void walkRoot(win::HKEY root, const std::string& subkey, win::REGSAM view, const std::string& path,
                     std::vector<RegItem>& out) {
    win::UniqueHKey key;
    if (win::RegOpenKeyEx(root, subkey, win::REG_OPTION_OPEN_LINK, win::KEY_READ | view, key.put()) !=
        win::ERROR_SUCCESS)
        return;
    walk(key.get(), path, view, out);
}

} // namespace detail

inline RegState registryState() {
    std::vector<RegItem> items;
    detail::walkRoot(win::HKEY_LOCAL_MACHINE, "", win::KEY_WOW64_64KEY, "HKLM", items);
    detail::walkRoot(win::HKEY_USERS, "", win::KEY_WOW64_64KEY, "HKU", items);
    RegState state;
    for (RegItem& i : items) state.emplace(sortKey(i), std::move(i));
    return state;
}

// The product key below the current user; the backup index lives in it.
inline std::string productKeyPath() { return "HKU\\" + winsys::machine().userSid() + "\\Software\\Vendrel Software"; }

inline bool underProductKey(const RegItem& i) {
    const std::string p = winsys::lowerCase(productKeyPath());
    const std::string path = winsys::lowerCase(i.path);
    return path == p || path.rfind(p + "\\", 0) == 0;
}

// What the program may leave behind once every backup is restored: the empty
// keys of its backup index. Values under the product key are kept, so a
// leftover backup still shows as a difference.
inline RegState withoutEmptyProductKeys(RegState s) {
    std::erase_if(s, [](const auto& e) { return e.second.isKey && underProductKey(e.second); });
    return s;
}

// Everything but the product key: what a delete may change besides its backup.
inline RegState outsideProductKey(RegState s) {
    std::erase_if(s, [](const auto& e) { return underProductKey(e.second); });
    return s;
}

// The items of `a` that `b` lacks or holds otherwise.
inline std::vector<RegItem> lost(const RegState& a, const RegState& b) {
    std::vector<RegItem> out;
    for (const auto& [k, item] : a) {
        const auto it = b.find(k);
        if (it == b.end() || !(it->second == item)) out.push_back(item);
    }
    return out;
}

// Empty when equal, else the first difference in sort order.
inline std::string firstDifference(const RegState& expected, const RegState& actual) {
    auto e = expected.begin();
    auto a = actual.begin();
    while (e != expected.end() || a != actual.end()) {
        if (a == actual.end() || (e != expected.end() && e->first < a->first))
            return "missing: " + describe(e->second);
        if (e == expected.end() || a->first < e->first) return "added: " + describe(a->second);
        if (!(e->second == a->second)) return "changed: " + describe(e->second) + " -> " + describe(a->second);
        ++e;
        ++a;
    }
    return {};
}

// ---- File state -----------------------------------------------------------------

// Relative path under drive_c -> "<folder>", "<link>target" or the file's bytes.
using FileState = std::map<std::string, std::string>;

// The program's data folder on the host, relative to drive_c.
inline fs::path dataFolderRelative() {
    return fs::path("users") / winsys::machine().userName() / "AppData" / "Local" / "Vendrel Sorlix";
}

inline FileState fileState(const fs::path& driveC) {
    FileState state;
    const fs::path skip = driveC / dataFolderRelative();
    for (auto it = fs::recursive_directory_iterator(driveC); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path& p = it->path();
        const std::string rel = p.lexically_relative(driveC).generic_string();
        if (p == skip) {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_symlink()) {
            state[rel] = "<link>" + fs::read_symlink(p).string();
        } else if (it->is_directory()) {
            state[rel] = "<folder>";
        } else {
            std::ifstream in(p, std::ios::binary);
            state[rel].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    return state;
}

inline std::string firstDifference(const FileState& expected, const FileState& actual) {
    for (const auto& [path, content] : expected) {
        const auto it = actual.find(path);
        if (it == actual.end()) return "missing: " + path;
        if (it->second != content) return "changed: " + path;
    }
    for (const auto& [path, content] : actual)
        if (!expected.count(path)) return "added: " + path;
    return {};
}

// ---- Start-up ------------------------------------------------------------------

// Runs start-up on the current machine as the program's main does; `session`
// runs inside the main window's loop once the window shows, and the window
// is closed through its Exit command when it returns. The program-wide
// objects are dropped afterwards and the registry written back.
inline sorlix::MMain::StartupEnd runProgram(const std::function<void(sorlix::ui::FMain&)>& session,
                                            const sorlix::MessageBoxFn& messageBox) {
    sorlix::ui::setProgramFile(winsys::toWindowsPath(SORLIX_PROGRAM_FILE));
    sorlix::MMain::StartupHooks hooks;
    hooks.messageBox = messageBox;
    hooks.createAppVisor = sorlix::MMain::CreateAppVisor;
    hooks.programFolder = winsys::toWindowsPath(fs::path(SORLIX_PROGRAM_FILE).parent_path());
    std::unique_ptr<sorlix::ui::FMain> mainForm;
    hooks.createMainForm = [&mainForm] {
        mainForm = std::make_unique<sorlix::ui::FMain>();
        sorlix::ui::MainForm = mainForm.get();
    };
    hooks.collectAllAddonInfo = sorlix::MInfoCollector::CollectAllAddonInfo;
    hooks.showMainForm = [&] {
        sorlix::ui::FMain& form = *mainForm;
        QTimer::singleShot(0, &form, [&form, &session] {
            session(form);
            form.CommandBars_Execute(6008);
        });
        form.ShowForm();
        mainForm.reset();
    };
    const auto end = sorlix::MMain::Main(hooks);
    mainForm.reset();
    sorlix::MMain::ReleaseProgramObjects();
    winsys::com::releaseApplicationObjects();
    (void)winsys::flushRegistry();
    sorlix::ui::setProgramFile("");
    return end;
}

// Runs `drive` on the first modal window of class W that opens while `open`
// runs (open shows it modally); a window still open after drive, or after
// 60 s without one, is closed so that the caller never hangs.
template <class W>
bool whileModal(const std::function<void()>& open, const std::function<void(W&)>& drive) {
    bool seen = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        W* w = qobject_cast<W*>(modal);
        if (!w || !w->isVisible()) return;
        poll.stop();
        seen = true;
        drive(*w);
        if (w->isVisible()) w->close();
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    poll.start();
    guard.start(60000);
    open();
    return seen;
}

} // namespace e2e
