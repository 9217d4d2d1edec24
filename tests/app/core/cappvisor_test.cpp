// The plugin-host detector on small registries of 32- and 64-bit machines:
// folder ids and their registry views, the QuickTime fallback, Java rows
// from both keys in order, Adobe Reader rows with the Uninstall entry
// matched by folder and version, ids out of range.

#include <gtest/gtest.h>

#include <string>

#include "app/core/cappvisor.h"
#include "app/core/comcalls.h"
#include "app/core/mmain.h"
#include "tests/support/com_library.h"
#include "tests/support/program_objects.h"
#include "tests/support/test_prefix.h"

using namespace sorlix;
using winsys::Arch;

namespace {

enum class Ask { Folder, Table };

struct Case {
    const char* label;
    Arch arch;
    const char* reg; // "{SW32}" stands for the 32-bit view's SOFTWARE key, "{SW64}" for the 64-bit one's
    Ask ask;
    win::LONG id;
    const char* expected; // a folder, or the table's "folder|version" rows joined by "; ", "<none>" for no table
};

std::string registryText(std::string reg, Arch arch) {
    const std::string sw32 = arch == Arch::Win64 ? "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node" : "HKEY_LOCAL_MACHINE\\SOFTWARE";
    for (const auto& [mark, text] : {std::pair<std::string, std::string>{"{SW32}", sw32},
                                     {"{SW64}", "HKEY_LOCAL_MACHINE\\SOFTWARE"}})
        for (std::size_t at; (at = reg.find(mark)) != std::string::npos;) reg.replace(at, mark.size(), text);
    return "Windows Registry Editor Version 5.00\n\n" + reg;
}

std::string tableText(halvenlib::_CGumArray* t) {
    if (!t) return "<none>";
    std::string r;
    for (win::LONG row = 1; row <= RowCount(t); ++row)
        r += (row > 1 ? "; " : "") + CellText(t, row, 1) + "|" + CellText(t, row, 2);
    return r;
}

constexpr const char* kJava = R"(
[{SW32}\JavaSoft\Java Plug-in\10.45.2]
"JavaHome"="C:\\Program Files\\Java\\jre7"

[{SW32}\JavaSoft\Java Plug-in\10.9]

[{SW32}\JavaSoft\Java Runtime Environment\1.7]
"JavaHome"="C:\\Program Files\\Java\\jre7"

[{SW32}\JavaSoft\Java Runtime Environment\1.8]
"JavaHome"="C:\\Program Files\\Java\\jre8"
)";

constexpr const char* kReaderUninstall = R"(
[{SW32}\Microsoft\Windows\CurrentVersion\Uninstall\{AC76BA86-7AD7-1033-7B44-AA0000000001}]
"InstallLocation"="c:\\program files\\adobe\\reader 11.0\\reader"
"Version"=dword:0b000010
)";

const Case kCases[] = {
    {"Flash folders, 64-bit", Arch::Win64, "", Ask::Folder, FolderFlash32, "C:\\windows\\syswow64\\Macromed\\Flash"},
    {"Flash 64 folder, 64-bit", Arch::Win64, "", Ask::Folder, FolderFlash64, "C:\\windows\\system32\\Macromed\\Flash"},
    {"Flash folders, 32-bit", Arch::Win32, "", Ask::Folder, FolderFlash32, "C:\\windows\\system32\\Macromed\\Flash"},
    {"id below the range", Arch::Win64, "", Ask::Folder, -1, ""},
    {"id above the range", Arch::Win64, "", Ask::Folder, 6, ""},
    {"Opera 32", Arch::Win64,
     "[HKEY_CURRENT_USER\\Software\\Opera Software]\n\"Last Install Path\"=\"C:\\\\Opera\\\\\"\n"
     "\"Last Install Path x64\"=\"C:\\\\Opera64\\\\\"\n",
     Ask::Folder, FolderOpera, "C:\\Opera\\"},
    {"Opera 64", Arch::Win64,
     "[HKEY_CURRENT_USER\\Software\\Opera Software]\n\"Last Install Path x64\"=\"C:\\\\Opera64\\\\\"\n",
     Ask::Folder, FolderOpera64, "C:\\Opera64\\"},
    {"no Opera", Arch::Win64, "", Ask::Folder, FolderOpera, ""},
    {"Media Player in the 32-bit view", Arch::Win64,
     "[{SW32}\\Microsoft\\MediaPlayer]\n\"Installation Directory\"=\"C:\\\\WMP32\"\n"
     "[{SW64}\\Microsoft\\MediaPlayer]\n\"Installation Directory\"=\"C:\\\\WMP64\"\n",
     Ask::Folder, FolderMediaPlayer, "C:\\WMP32"},
    {"QuickTime from its Uninstall entry", Arch::Win64,
     "[{SW32}\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{57752979-A1C9-4C02-856B-FBB27AC4E02C}]\n"
     "\"InstallLocation\"=\"C:\\\\QT\\\\\"\n"
     "[{SW64}\\Microsoft\\Windows\\CurrentVersion\\App Paths\\QuickTimePlayer.exe]\n\"Path\"=\"C:\\\\QT64\"\n",
     Ask::Folder, FolderQuickTime, "C:\\QT\\"},
    {"QuickTime App Paths, 64-bit view", Arch::Win64,
     "[{SW32}\\Microsoft\\Windows\\CurrentVersion\\App Paths\\QuickTimePlayer.exe]\n\"Path\"=\"C:\\\\QT32\"\n"
     "[{SW64}\\Microsoft\\Windows\\CurrentVersion\\App Paths\\QuickTimePlayer.exe]\n\"Path\"=\"C:\\\\QT64\"\n",
     Ask::Folder, FolderQuickTime, "C:\\QT64"},
    {"QuickTime App Paths only in the 32-bit view of a 64-bit machine", Arch::Win64,
     "[{SW32}\\Microsoft\\Windows\\CurrentVersion\\App Paths\\QuickTimePlayer.exe]\n\"Path\"=\"C:\\\\QT32\"\n",
     Ask::Folder, FolderQuickTime, ""},
    {"QuickTime App Paths, 32-bit machine", Arch::Win32,
     "[{SW32}\\Microsoft\\Windows\\CurrentVersion\\App Paths\\QuickTimePlayer.exe]\n\"Path\"=\"C:\\\\QT32\"\n",
     Ask::Folder, FolderQuickTime, "C:\\QT32"},
    {"Java, both keys in order, one without JavaHome", Arch::Win64, kJava, Ask::Table, ProductJava,
     "C:\\Program Files\\Java\\jre7|10.45.2; C:\\Program Files\\Java\\jre7|1.7; C:\\Program Files\\Java\\jre8|1.8"},
    {"Java, 32-bit machine", Arch::Win32, kJava, Ask::Table, ProductJava,
     "C:\\Program Files\\Java\\jre7|10.45.2; C:\\Program Files\\Java\\jre7|1.7; C:\\Program Files\\Java\\jre8|1.8"},
    {"no Java", Arch::Win64, "", Ask::Table, ProductJava, ""},
    {"Reader 11.0 and its Uninstall entry are one row", Arch::Win64,
     "[{SW32}\\Adobe\\Acrobat Reader\\11.0\\InstallPath]\n@=\"C:\\\\Program Files\\\\Adobe\\\\Reader 11.0\\\\Reader\\\\\"\n",
     Ask::Table, ProductAdobeReader, "C:\\Program Files\\Adobe\\Reader 11.0\\Reader\\|11.0"},
    {"Reader 10.0 in the same folder and the 11.0.16 entry are two rows", Arch::Win64,
     "[{SW32}\\Adobe\\Acrobat Reader\\10.0\\InstallPath]\n@=\"C:\\\\Program Files\\\\Adobe\\\\Reader 11.0\\\\Reader\\\\\"\n",
     Ask::Table, ProductAdobeReader,
     "C:\\Program Files\\Adobe\\Reader 11.0\\Reader\\|10.0; c:\\program files\\adobe\\reader 11.0\\reader|11.0.16"},
    {"Reader only in the Uninstall entry", Arch::Win32, "", Ask::Table, ProductAdobeReader,
     "c:\\program files\\adobe\\reader 11.0\\reader|11.0.16"},
    {"Reader Uninstall entry without Version", Arch::Win64,
     "[{SW32}\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{AC76BA86-7AD7-1033-7B44-AA0000000001}]\n"
     "\"InstallLocation\"=\"C:\\\\R\"\n"
     "[{SW32}\\Adobe\\Acrobat Reader\\9.0]\n",
     Ask::Table, ProductAdobeReader, ""},
    {"Reader version with the top bit set counts as signed", Arch::Win64,
     "[{SW32}\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{AC76BA86-7AD7-1033-7B44-AA0000000001}]\n"
     "\"InstallLocation\"=\"C:\\\\R\"\n\"Version\"=dword:ff000001\n",
     Ask::Table, ProductAdobeReader, "C:\\R|0.-255.-65535"},
    {"product 0", Arch::Win64, kJava, Ask::Table, 0, "<none>"},
    {"product 3", Arch::Win64, kJava, Ask::Table, 3, "<none>"},
};

TEST(AppVisor, FoldersAndTablesFromTheRegistry) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.label);
        testsupport::TestPrefix prefix({.arch = c.arch});
        testsupport::ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH);
        testsupport::ProgramObjects program;
        std::string reg = c.reg;
        // Cases whose registry names only the Reader subkeys share its Uninstall entry.
        if (c.id == ProductAdobeReader && c.ask == Ask::Table && reg.find("Uninstall") == std::string::npos)
            reg += kReaderUninstall;
        prefix.importReg(registryText(reg, c.arch));
        const std::string got = c.ask == Ask::Folder ? AppVisor->InstallFolder(c.id)
                                                     : tableText(AppVisor->InstallFoldersAndVersions(c.id).get());
        EXPECT_EQ(got, c.expected);
        EXPECT_TRUE(program.log->lines.empty());
    }
}

TEST(AppVisor, IsInstalledOnlyForJavaOn64bitWindows) {
    for (Arch arch : {Arch::Win32, Arch::Win64}) {
        testsupport::TestPrefix prefix({.arch = arch});
        testsupport::ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH);
        testsupport::ProgramObjects program;
        EXPECT_EQ(AppVisor->IsInstalled(ProductJava), arch == Arch::Win64);
        EXPECT_FALSE(AppVisor->IsInstalled(ProductAdobeReader));
    }
}

// Without the registry object every lookup fails: the trapped ones log and
// give no table or "".
TEST(AppVisor, LookupsWithoutRegistryLogAndGiveNothing) {
    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH);
    testsupport::ProgramObjects program;
    Registry.reset();
    EXPECT_FALSE(AppVisor->InstallFoldersAndVersions(ProductJava));
    EXPECT_FALSE(AppVisor->InstallFoldersAndVersions(ProductAdobeReader));
    EXPECT_EQ(AppVisor->InstallFolder(FolderQuickTime), "");
    std::vector<std::string> sources;
    for (const auto& line : program.log->lines) {
        EXPECT_EQ(line.severity, halvenlib::sevError);
        sources.push_back(line.source);
    }
    EXPECT_EQ(sources, (std::vector<std::string>{"CAppVisor.JavaRuntimeEnvironment",
                                                 "CAppVisor.AdobeReaderInstallFolders",
                                                 "CAppVisor.QuickTimeInstallFolders"}));
}

} // namespace
