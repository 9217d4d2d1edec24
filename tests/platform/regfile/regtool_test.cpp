// regtool run as its own process on a test prefix, as a user runs it.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>
#include <sys/wait.h>

#include <fstream>
#include <iterator>

#include "platform/core/text.h"
#include "platform/registry/regfile.h"
#include "tests/support/test_prefix.h"

extern char** environ;

namespace fs = std::filesystem;
using testsupport::TestPrefix;

namespace {

struct ToolRun {
    int code = -1;
    std::string out, err;
};

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& p, std::string_view bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Runs regtool with WINEPREFIX set to `prefix`, standard input from /dev/null.
ToolRun regtool(const fs::path& prefix, const std::vector<std::string>& args) {
    const fs::path outFile = fs::temp_directory_path() / ("regtool-out-" + std::to_string(::getpid()));
    const fs::path errFile = fs::temp_directory_path() / ("regtool-err-" + std::to_string(::getpid()));
    std::vector<std::string> env{"WINEPREFIX=" + prefix.string()};
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).rfind("WINEPREFIX=", 0) != 0) env.emplace_back(*e);
    std::vector<char*> envp, argv{const_cast<char*>(REGTOOL_PATH)};
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argsCopy = args;
    for (auto& a : argsCopy) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    ToolRun r;
    if (posix_spawn(&pid, REGTOOL_PATH, &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    r.out = readFile(outFile);
    r.err = readFile(errFile);
    fs::remove(outFile);
    fs::remove(errFile);
    return r;
}

std::string utf16File(std::string_view utf8) {
    const auto bytes = winsys::encodeRegFile(utf8);
    return std::string(bytes.begin(), bytes.end());
}

const char kSample[] =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Tool]\r\n"
    "@=\"default\"\r\n"
    "\"s\"=\"caf\xC3\xA9\"\r\n"
    "\"n\"=dword:00000010\r\n"
    "\"b\"=hex:0a,ff\r\n"
    "\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
    "\r\n[HKEY_CURRENT_USER\\Software\\Tool\\Sub]\r\n"
    "\"q\"=hex(b):00,00,00,00,01,00,00,00\r\n"
    "\r\n";

} // namespace

TEST(Regtool, ImportThenQueryAndExport) {
    TestPrefix p;
    const fs::path in = p.root() / "in.reg";
    writeFile(in, utf16File(kSample));
    ToolRun r = regtool(p.root(), {"import", in.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "The operation completed successfully.\n");

    r = regtool(p.root(), {"query", "HKCU\\Software\\Tool"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              "\nHKEY_CURRENT_USER\\Software\\Tool\n"
              "    (Default)    REG_SZ    default\n"
              "    s    REG_SZ    caf\xC3\xA9\n"
              "    n    REG_DWORD    0x10\n"
              "    b    REG_BINARY    0AFF\n"
              "    m    REG_MULTI_SZ    a\\0b\n"
              "\nHKEY_CURRENT_USER\\Software\\Tool\\Sub\n");

    r = regtool(p.root(), {"query", "HKEY_CURRENT_USER\\Software\\Tool", "/v", "Q", "/s"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "\nHKEY_CURRENT_USER\\Software\\Tool\\Sub\n    q    REG_QWORD    0x100000000\n"
                     "\nEnd of search: 1 match(es) found.\n");

    // Export to a file is regedit's form; to standard output, UTF-8 lines.
    const fs::path out = p.root() / "out.reg";
    r = regtool(p.root(), {"export", "HKCU\\Software\\Tool", out.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readFile(out), utf16File(kSample));
    r = regtool(p.root(), {"export", "hkcu\\software\\tool\\sub"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\software\\tool\\sub]\n"
                     "\"q\"=hex(b):00,00,00,00,01,00,00,00\n\n");

    // The hives on disk hold the import.
    p.reopen();
    win::UniqueHKey k;
    ASSERT_EQ(win::RegOpenKeyEx(win::HKEY_CURRENT_USER, "Software\\Tool", 0, win::KEY_READ, k.put()), 0);
    win::DWORD type = 0;
    std::vector<win::BYTE> data;
    ASSERT_EQ(win::RegQueryValueEx(k.get(), "s", &type, &data), 0);
    EXPECT_EQ(type, win::REG_SZ);
    EXPECT_EQ(data, winsys::toUtf16leBytes("caf\xC3\xA9", true));
}

TEST(Regtool, BadFileLeavesTheHivesAsTheyWere) {
    TestPrefix p;
    p.importReg("REGEDIT4\n[HKLM\\Software\\Before]\n\"v\"=dword:1\n");
    const std::string system = readFile(p.root() / "system.reg"), user = readFile(p.root() / "user.reg");
    const fs::path bad = p.root() / "bad.reg";
    writeFile(bad, "REGEDIT4\r\n[HKLM\\Software\\Before]\r\n\"v\"=dword:2\r\n\"w\"=hex:0x\r\n");
    ToolRun r = regtool(p.root(), {"import", bad.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "regtool: " + bad.string() + ":4: bad hex byte '0x'\n");
    EXPECT_EQ(readFile(p.root() / "system.reg"), system);
    EXPECT_EQ(readFile(p.root() / "user.reg"), user);

    r = regtool(p.root(), {"import", (p.root() / "none.reg").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("none.reg: The system cannot find the file specified."), std::string::npos) << r.err;
}

TEST(Regtool, AddQueryDelete) {
    TestPrefix p;
    const fs::path prefix = p.root();
    const std::string key = "HKLM\\Software\\T";
    struct Step {
        const char* label;
        std::vector<std::string> args;
        int code;
        std::string out; // expected standard output, or for a failure a part of standard error
    };
    const std::string done = "The operation completed successfully.\n";
    const Step steps[] = {
        {"string", {"add", key, "/v", "s", "/d", "x y"}, 0, done},
        {"expand string", {"add", key, "/v", "e", "/t", "reg_expand_sz", "/d", "%TEMP%"}, 0, done},
        {"multi string with a separator", {"add", key, "/v", "m", "/t", "REG_MULTI_SZ", "/s", "|", "/d", "a|b"}, 0, done},
        {"dword in hex", {"add", key, "/v", "n", "/t", "REG_DWORD", "/d", "0x10"}, 0, done},
        {"qword in decimal", {"add", key, "/v", "q", "/t", "REG_QWORD", "/d", "4294967296"}, 0, done},
        {"big-endian dword", {"add", key, "/v", "be", "/t", "REG_DWORD_BIG_ENDIAN", "/d", "1"}, 0, done},
        {"binary", {"add", key, "/v", "b", "/t", "REG_BINARY", "/d", "0aFF"}, 0, done},
        {"default value, options with '-'", {"add", key, "-ve", "-d", "dflt"}, 0, done},
        {"none", {"add", key, "/v", "z", "/t", "REG_NONE"}, 0, done},
        {"query every type",
         {"query", key},
         0,
         "\nHKEY_LOCAL_MACHINE\\Software\\T\n    s    REG_SZ    x y\n    e    REG_EXPAND_SZ    %TEMP%\n"
         "    m    REG_MULTI_SZ    a\\0b\n    n    REG_DWORD    0x10\n    q    REG_QWORD    0x100000000\n"
         "    be    REG_DWORD_BIG_ENDIAN    0x1\n    b    REG_BINARY    0AFF\n    (Default)    REG_SZ    dflt\n"
         "    z    REG_NONE    \n\n"},
        {"an existing value is not overwritten without /f", {"add", key, "/v", "s", "/d", "new"}, 1,
         "Value \"s\" exists in HKEY_LOCAL_MACHINE\\Software\\T; add /f to overwrite without asking"},
        {"with /f it is", {"add", key, "/v", "s", "/d", "new", "/f"}, 0, done},
        {"query one value", {"query", key, "/v", "S"}, 0, "\nHKEY_LOCAL_MACHINE\\Software\\T\n    s    REG_SZ    new\n\n"},
        {"dword out of range", {"add", key, "/v", "n", "/t", "REG_DWORD", "/d", "0x100000000", "/f"}, 1,
         "invalid data '0x100000000' for REG_DWORD"},
        {"odd hex digits", {"add", key, "/v", "b", "/t", "REG_BINARY", "/d", "abc", "/f"}, 1, "invalid data 'abc'"},
        {"unknown type", {"add", key, "/v", "b", "/t", "REG_LINK", "/d", "x"}, 1, "unknown value type 'REG_LINK'"},
        {"delete a value", {"delete", key, "/v", "s", "/f"}, 0, done},
        {"the deleted value is gone", {"query", key, "/v", "s"}, 1,
         "value \"s\" of HKEY_LOCAL_MACHINE\\Software\\T: The system cannot find the file specified."},
        {"delete the default value", {"delete", key, "/ve", "/f"}, 0, done},
        {"delete a missing value", {"delete", key, "/v", "s", "/f"}, 1, "The system cannot find the file specified."},
        {"delete all values", {"delete", key, "/va", "/f"}, 0, done},
        {"no values are left", {"query", key}, 0, "\nHKEY_LOCAL_MACHINE\\Software\\T\n\n"},
        {"a key is not deleted without /f", {"delete", key}, 1, "add /f to delete without asking"},
        {"a root is never deleted", {"delete", "HKLM", "/f"}, 1, "a root key cannot be deleted"},
        {"delete the key", {"delete", key, "/f"}, 0, done},
        {"the key is gone", {"query", key}, 1,
         "cannot open key HKEY_LOCAL_MACHINE\\Software\\T: The system cannot find the file specified."},
        {"unknown root", {"query", "HKXY\\a"}, 1, "HKXY\\a: unknown root key 'HKXY'"},
        {"unknown command", {"frobnicate", key}, 1, "unknown command 'frobnicate'"},
        {"32-bit view", {"add", key, "/v", "w", "/d", "32", "/reg:32"}, 0, done},
        {"seen through Wow6432Node", {"query", "HKLM\\Software\\Wow6432Node\\T", "/v", "w", "/reg:64"}, 0,
         "\nHKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\T\n    w    REG_SZ    32\n\n"},
        {"not in the 64-bit view", {"query", key}, 1, "The system cannot find the file specified."},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.label);
        ToolRun r = regtool(prefix, s.args);
        EXPECT_EQ(r.code, s.code) << r.err;
        if (s.code == 0)
            EXPECT_EQ(r.out, s.out);
        else
            EXPECT_NE(r.err.find(s.out), std::string::npos) << r.err;
    }
}

TEST(Regtool, MissingPrefixAndHelp) {
    const fs::path nowhere = fs::temp_directory_path() / "sorlix-no-such-prefix";
    ToolRun r = regtool(nowhere, {"query", "HKLM\\Software"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(nowhere.string()), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");

    r = regtool(nowhere, {"--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("/reg:32"), std::string::npos);
    EXPECT_NE(r.out.find("regtool export KEY [FILE]"), std::string::npos);
}

// A file that parses but fails on a line while it is applied: nothing of
// it is written, not even the keys before that line.
TEST(Regtool, ImportIsAllOrNothing) {
    TestPrefix p;
    const std::string system = readFile(p.root() / "system.reg"), user = readFile(p.root() / "user.reg");
    std::string deep = "HKEY_CURRENT_USER\\Software\\Deep";
    for (int i = 0; i < 520; ++i) deep += "\\k";
    const fs::path in = p.root() / "in.reg";
    writeFile(in, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\First]\n\"a\"=\"b\"\n"
                  "\n[HKEY_LOCAL_MACHINE\\Software\\First]\n\n[" + deep + "]\n");
    const ToolRun r = regtool(p.root(), {"import", in.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("regtool: " + in.string() + ":8: cannot create key " + deep, 0), 0u) << r.err;
    EXPECT_NE(r.err.find("nothing of the file was imported"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(p.root() / "system.reg"), system);
    EXPECT_EQ(readFile(p.root() / "user.reg"), user);
}

// A link key that points back at a key above it: query /s and export go
// through everything else once, name the loop on stderr and end.
TEST(Regtool, WalksStopAtLinkLoops) {
    TestPrefix p;
    p.importReg("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Top]\n\"v\"=\"top\"\n"
                "[HKEY_LOCAL_MACHINE\\Software\\Top\\Sub]\n\"w\"=\"sub\"\n"
                "[HKEY_LOCAL_MACHINE\\Software\\Elsewhere]\n\"x\"=\"else\"\n");
    // Links to the key itself, to the key two levels up, and to a key beside
    // the walk (followed: it is no loop).
    auto link = [](const std::string& path, const std::string& target) {
        std::string hex;
        for (win::BYTE b : winsys::toUtf16leBytes(target, false)) {
            char buf[4];
            std::snprintf(buf, sizeof buf, hex.empty() ? "%02x" : ",%02x", b);
            hex += buf;
        }
        return "\n[" + path + "] 1\n#link\n\"SymbolicLinkValue\"=hex(6):" + hex + "\n";
    };
    std::ofstream(p.root() / "system.reg", std::ios::app)
        << link("Software\\\\Top\\\\Self", "\\Registry\\Machine\\Software\\Top")
        << link("Software\\\\Top\\\\Sub\\\\Up", "\\Registry\\Machine\\Software\\Top")
        << link("Software\\\\Top\\\\Side", "\\Registry\\Machine\\Software\\Elsewhere");
    const std::string top = "HKEY_LOCAL_MACHINE\\Software\\Top";
    const std::string notes = "regtool: " + top + "\\Self is a link back to " + top +
                              ": its keys are not gone through again\n"
                              "regtool: " + top + "\\Sub\\Up is a link back to " + top +
                              ": its keys are not gone through again\n";

    ToolRun q = regtool(p.root(), {"query", top, "/s"});
    EXPECT_EQ(q.code, 0);
    EXPECT_EQ(q.err, notes);
    EXPECT_EQ(q.out, "\n" + top + "\n    v    REG_SZ    top\n"
                     "\n" + top + "\\Side\n    x    REG_SZ    else\n"
                     "\n" + top + "\\Sub\n    w    REG_SZ    sub\n");

    const fs::path out = p.root() / "out.reg";
    ToolRun e = regtool(p.root(), {"export", top, out.string()});
    EXPECT_EQ(e.code, 0);
    EXPECT_EQ(e.err, notes);
    const std::string exported = winsys::fromUtf16leBytes(
        reinterpret_cast<const std::uint8_t*>(readFile(out).data()) + 2, readFile(out).size() - 2);
    EXPECT_NE(exported.find("[" + top + "\\Side]\r\n\"x\"=\"else\""), std::string::npos) << exported;
    EXPECT_EQ(exported.find("Self"), std::string::npos) << exported;
    EXPECT_EQ(exported.find("\\Up]"), std::string::npos) << exported;
}

// A hive line that cannot be read is named on stderr by every command, and
// a change to the hive keeps it in the file.
TEST(Regtool, UnreadableHiveLinesAreReportedAndKept) {
    TestPrefix p;
    p.importReg("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Odd]\n\"v\"=\"x\"\n");
    std::ofstream(p.root() / "user.reg", std::ios::app) << "\n[Software\\\\Odd\\\\More] 1\n\"w\"=str(9):\"?\"\n";
    const std::string text = readFile(p.root() / "user.reg");
    std::size_t line = 1;
    for (std::size_t i = 0; i < text.rfind("\"w\"="); ++i) line += text[i] == '\n';
    const std::string warning = "regtool: " + (p.root() / "user.reg").string() + ":" + std::to_string(line) +
                                ": unknown data type '\"w\"=str(9):\"?\"'\n";

    ToolRun r = regtool(p.root(), {"query", "HKCU\\Software\\Odd"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, warning);
    r = regtool(p.root(), {"add", "HKCU\\Software\\Odd\\More", "/v", "n", "/d", "new", "/f"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, warning);
    EXPECT_NE(readFile(p.root() / "user.reg").find("\"n\"=\"new\"\n\"w\"=str(9):\"?\"\n"), std::string::npos)
        << readFile(p.root() / "user.reg");
}
