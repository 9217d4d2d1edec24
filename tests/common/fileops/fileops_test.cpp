// FileOps members one by one, through the interface as clients call it.

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <vector>

#include "tests/common/fileops/fileops_fixture.h"

#include "platform/com/com_error.h"
#include "platform/com/late_bound.h"
#include "platform/com/safearray.h"
#include "tests/support/pe_writer.h"
#include "tests/support/vtable_check.h"

namespace fileopstest {
namespace {

using namespace win;
using namespace winsys::com;
using halvenlib::_Collection;
using halvenlib::_FileOps;

// The description and number of the error a failed call left.
ComError errorOf(HRESULT hr) {
    try {
        check(hr);
    } catch (const ComError& e) {
        return e;
    }
    return ComError(S_OK, "", "");
}

std::vector<std::string> texts(_Collection* c) {
    std::vector<std::string> out;
    forEach(c, [&](const VARIANT& v) { out.push_back(v.bstrVal); });
    return out;
}

std::vector<BYTE> bytesOf(SAFEARRAY* a, LONG* lower) {
    std::vector<BYTE> out(elementCount(a));
    SafeArrayGetLBound(a, 1, lower);
    void* data = nullptr;
    SafeArrayAccessData(a, &data);
    if (!out.empty()) std::memcpy(out.data(), data, out.size());
    SafeArrayUnaccessData(a);
    return out;
}

TEST(FileOpsInterfaces, KeepTheirSlotOrder) {
    EXPECT_TRUE(testsupport::slotOrderMatches(
        _FileOps::info(),
        {"DeleteFilesByMask", "DeleteFilesByMask2", "EnsureFolderExist", "RemoveFolder", "RemoveFolder2",
         "RemoveFile", "isFileExist", "FileCopyAx", "SaveFile", "LoadFile", "SaveFileB", "LoadFileB",
         "CopyFileOrFolder", "DirectoryContents", "IsFolder", "Wow64DisableWow64FileSystemRedirection",
         "Wow64RevertWow64FileSystemRedirection", "LoadFileHeaderMachine", "FileCreationDate"}));
    EXPECT_TRUE(testsupport::slotOrderMatches(_Collection::info(), {"Item", "Add", "Count", "Remove", "_NewEnum"}));
}

TEST_F(FileOpsTest, AnswersToItsFourIdentities) {
    const struct {
        const char* label;
        IID iid;
    } cases[] = {
        {"current", _FileOps::iid}, {"third", _FileOps::iidV3}, {"second", _FileOps::iidV2}, {"first", _FileOps::iidV1}};
    for (const auto& c : cases) {
        ComPtr<_FileOps> p;
        ASSERT_EQ(ops->QueryInterface(c.iid, p.putVoid()), S_OK) << c.label;
        prefix.writeFile("C:\\id\\here.txt", "x");
        VARIANT_BOOL there = VARIANT_FALSE;
        ASSERT_EQ(p->isFileExist("C:\\id\\here.txt", &there), S_OK) << c.label;
        EXPECT_EQ(there, VARIANT_TRUE) << c.label;
    }
    // The object is one application object, and late-bound callers reach it by name.
    ComPtr<_FileOps> again;
    ASSERT_EQ(getApplicationObject(halvenlib::CLSID_FileOps, _FileOps::iid, again.putVoid()), S_OK);
    EXPECT_EQ(again.get(), ops.get());
    std::string cause = "sentinel";
    VARIANT r = callMethod(ops.get(), "deletefilesbymask2", {makeText("C:\\nowhere"), makeText("*.*"), byRef(&cause)});
    EXPECT_EQ(r.boolVal, VARIANT_TRUE);
    EXPECT_EQ(cause, "");
}

TEST_F(FileOpsTest, DeletesFilesByMask) {
    const struct {
        const char* label;
        const char* folder;
        const char* mask;
        std::vector<const char*> gone, kept;
    } cases[] = {
        {"all files, subfolders stay", "C:\\m", "*.*", {"C:\\m\\a.txt", "C:\\m\\b.log"}, {"C:\\m\\sub\\c.txt"}},
        {"one extension", "C:\\m\\", "*.txt", {"C:\\m\\a.txt"}, {"C:\\m\\b.log", "C:\\m\\sub\\c.txt"}},
        {"expanded folder", "%SystemDrive%\\m", "*.log", {"C:\\m\\b.log"}, {"C:\\m\\a.txt"}},
        {"prefixed folder", "\\\\?\\C:\\m", "a.*", {"C:\\m\\a.txt"}, {"C:\\m\\b.log"}},
        {"missing folder", "C:\\nothing", "*.*", {}, {"C:\\m\\a.txt"}},
    };
    for (const auto& c : cases) {
        for (const char* f : {"C:\\m\\a.txt", "C:\\m\\b.log", "C:\\m\\sub\\c.txt"}) prefix.writeFile(f, "x");
        std::string cause = "sentinel";
        VARIANT_BOOL ok = VARIANT_FALSE;
        ASSERT_EQ(ops->DeleteFilesByMask2(c.folder, c.mask, &cause, &ok), S_OK) << c.label;
        EXPECT_EQ(ok, VARIANT_TRUE) << c.label;
        EXPECT_EQ(cause, "") << c.label;
        for (const char* f : c.gone) EXPECT_FALSE(exists(f)) << c.label << ": " << f;
        for (const char* f : c.kept) EXPECT_TRUE(exists(f)) << c.label << ": " << f;
    }
}

TEST_F(FileOpsTest, ReadOnlyFilesStopDeletionWithTheSystemText) {
    for (const char* f : {"C:\\ro\\a.txt", "C:\\ro\\m.txt", "C:\\ro\\z.txt"}) prefix.writeFile(f, "x");
    prefix.setReadOnly("C:\\ro\\m.txt");

    std::string cause;
    VARIANT_BOOL ok = VARIANT_TRUE;
    ASSERT_EQ(ops->DeleteFilesByMask2("C:\\ro", "*.*", &cause, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_EQ(cause, "Access is denied. ('\\\\?\\C:\\ro\\m.txt')");
    EXPECT_FALSE(exists("C:\\ro\\a.txt")); // before it in search order
    EXPECT_TRUE(exists("C:\\ro\\z.txt"));  // not reached

    ASSERT_EQ(ops->RemoveFile("C:\\ro\\m.txt", &cause, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_EQ(cause, "Access is denied. ");

    ASSERT_EQ(ops->RemoveFolder2("C:\\ro", VARIANT_TRUE, &cause, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_EQ(cause, "DeleteFilesByMask2 failed. Access is denied. ('\\\\?\\C:\\ro\\m.txt')");

    // Copying over a read-only file raises the system error with the Part's text.
    prefix.writeFile("C:\\src.txt", "new");
    VARIANT ignored;
    ComError e = errorOf(ops->FileCopyAx("C:\\src.txt", "C:\\ro\\m.txt", &ignored));
    EXPECT_EQ(e.number(), 5);
    EXPECT_EQ(e.description(), "Cannot copy file 'C:\\src.txt' to 'C:\\ro\\m.txt'. Access is denied. ");
    EXPECT_EQ(read("C:\\ro\\m.txt"), "x");

    prefix.setReadOnly("C:\\ro\\m.txt", false);
    ASSERT_EQ(ops->RemoveFile("C:\\ro\\m.txt", &cause, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(cause, "");
}

TEST_F(FileOpsTest, FileCopyAxOverwritesAndReportsMissingSources) {
    prefix.writeFile("C:\\a.txt", "new");
    prefix.writeFile("C:\\d\\b.txt", "old and longer");
    VARIANT r = makeLong(7);
    ASSERT_EQ(ops->FileCopyAx("C:\\a.txt", "C:\\d\\b.txt", &r), S_OK);
    EXPECT_EQ(r.vt, VT_EMPTY);
    EXPECT_EQ(read("C:\\d\\b.txt"), "new");

    ComError e = errorOf(ops->FileCopyAx("C:\\none.txt", "C:\\d\\c.txt", &r));
    EXPECT_EQ(e.number(), 2);
    EXPECT_EQ(e.description(), "Cannot copy file 'C:\\none.txt' to 'C:\\d\\c.txt'. The system cannot find the file "
                               "specified. ");
}

TEST_F(FileOpsTest, SaveFileBLeavesNoTailOfALongerOldFile) {
    prefix.writeFile("C:\\b\\data.bin", "a much longer old content");
    SAFEARRAY* in = makeByteArray({1, 2, 3}, 1);
    ASSERT_EQ(ops->SaveFileB("C:\\b\\data.bin", in), S_OK);
    SafeArrayDestroy(in);
    EXPECT_EQ(read("C:\\b\\data.bin"), std::string("\x01\x02\x03", 3));

    SAFEARRAY* out = nullptr;
    ASSERT_EQ(ops->LoadFileB("C:\\b\\data.bin", &out), S_OK);
    LONG lower = -1;
    EXPECT_EQ(bytesOf(out, &lower), (std::vector<BYTE>{1, 2, 3}));
    EXPECT_EQ(lower, 1);
    SafeArrayDestroy(out);

    for (const char* missingOrEmpty : {"C:\\b\\none.bin", "C:\\b\\empty.bin"}) {
        prefix.writeFile("C:\\b\\empty.bin", "");
        ASSERT_EQ(ops->LoadFileB(missingOrEmpty, &out), S_OK) << missingOrEmpty;
        EXPECT_EQ(elementCount(out), 0u) << missingOrEmpty;
        SafeArrayDestroy(out);
    }

    // A read-only file refuses and keeps its content.
    prefix.setReadOnly("C:\\b\\data.bin");
    in = makeByteArray({9}, 1);
    EXPECT_EQ(errorOf(ops->SaveFileB("C:\\b\\data.bin", in)).number(), 75);
    SafeArrayDestroy(in);
    EXPECT_EQ(read("C:\\b\\data.bin"), std::string("\x01\x02\x03", 3));
}

TEST_F(FileOpsTest, TextFilesGoThroughTheAnsiCodePage) {
    prefix.makeDir("C:\\t");
    ASSERT_EQ(ops->SaveFile("C:\\t\\note.txt", "caf\xC3\xA9 \xE2\x82\xAC"), S_OK);
    EXPECT_EQ(read("C:\\t\\note.txt"), "caf\xE9 \x80");
    std::string back;
    ASSERT_EQ(ops->LoadFile("C:\\t\\note.txt", &back), S_OK);
    EXPECT_EQ(back, "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(errorOf(ops->LoadFile("C:\\t\\none.txt", &back)).number(), 53);
    EXPECT_EQ(errorOf(ops->SaveFile("C:\\missing\\dir\\x.txt", "x")).number(), 76);
}

TEST_F(FileOpsTest, ReadsTheMachineTypeFromTheHeader) {
    auto pe = [](WORD machine) {
        testsupport::PeSpec spec;
        spec.machine = machine;
        return testsupport::buildPe(spec).bytes;
    };
    std::vector<BYTE> zeroOffset = pe(IMAGE_FILE_MACHINE_I386);
    std::memset(zeroOffset.data() + 60, 0, 4);
    std::vector<BYTE> badSignature = pe(IMAGE_FILE_MACHINE_I386);
    std::uint32_t at;
    std::memcpy(&at, badSignature.data() + 60, 4);
    badSignature[at + 1] = 'X';
    std::vector<BYTE> shortMz(80, 0);
    shortMz[0] = 'M';
    shortMz[1] = 'Z';
    std::vector<BYTE> otherMachine = pe(IMAGE_FILE_MACHINE_I386);
    otherMachine[at + 4] = 0xC4; // ARM
    otherMachine[at + 5] = 0x01;

    const struct {
        const char* label;
        std::vector<BYTE> bytes; // empty: no file
        bool ok;
        const char* cause;
        VARIANT_BOOL is32, is64; // after the call; the caller's values are 1 and 1
    } cases[] = {
        {"64-bit", pe(IMAGE_FILE_MACHINE_AMD64), true, "", VARIANT_FALSE, VARIANT_TRUE},
        {"32-bit", pe(IMAGE_FILE_MACHINE_I386), true, "", VARIANT_TRUE, VARIANT_FALSE},
        {"other machine", otherMachine, true, "", VARIANT_FALSE, VARIANT_FALSE},
        {"missing", {}, false, "Cannot load file.", VARIANT_BOOL(1), VARIANT_BOOL(1)},
        {"text", std::vector<BYTE>(200, 'a'), false, "Invalid file.", VARIANT_BOOL(1), VARIANT_BOOL(1)},
        {"short", shortMz, false, "Invalid file.", VARIANT_BOOL(1), VARIANT_BOOL(1)},
        {"offset 0", zeroOffset, false, "Cannot find IMAGE_NT_HEADERS.", VARIANT_BOOL(1), VARIANT_BOOL(1)},
        {"bad signature", badSignature, false, "Invalid IMAGE_NT_HEADERS.", VARIANT_BOOL(1), VARIANT_BOOL(1)},
    };
    for (const auto& c : cases) {
        const std::string path = std::string("C:\\pe\\") + c.label + ".dll";
        if (!c.bytes.empty())
            prefix.writeFile(path, std::string_view(reinterpret_cast<const char*>(c.bytes.data()), c.bytes.size()));
        VARIANT_BOOL is32 = VARIANT_BOOL(1), is64 = VARIANT_BOOL(1), ok = VARIANT_FALSE;
        std::string cause = "sentinel";
        ASSERT_EQ(ops->LoadFileHeaderMachine(path, &is32, &is64, &cause, &ok), S_OK) << c.label;
        EXPECT_EQ(ok, toVariantBool(c.ok)) << c.label;
        EXPECT_EQ(cause, c.cause) << c.label;
        EXPECT_EQ(is32, c.is32) << c.label;
        EXPECT_EQ(is64, c.is64) << c.label;
    }
}

// Switches redirection back on however the test ends.
struct RedirectionOn {
    _FileOps* ops;
    ~RedirectionOn() { ops->Wow64RevertWow64FileSystemRedirection(); }
};

TEST_F(FileOpsTest, RedirectionSwitchChoosesSystem32OrSyswow64) {
    prefix.writeFile("C:\\windows\\system32\\probe.txt", "64");
    prefix.writeFile("C:\\windows\\syswow64\\probe.txt", "32");
    RedirectionOn guard{ops.get()};
    auto seen = [&] {
        std::string s;
        EXPECT_EQ(ops->LoadFile("C:\\windows\\system32\\probe.txt", &s), S_OK);
        return s;
    };
    EXPECT_EQ(seen(), "32");
    ASSERT_EQ(ops->Wow64DisableWow64FileSystemRedirection(), S_OK);
    EXPECT_EQ(seen(), "64");
    ops->Wow64DisableWow64FileSystemRedirection();
    ASSERT_EQ(ops->Wow64RevertWow64FileSystemRedirection(), S_OK);
    EXPECT_EQ(seen(), "32"); // no nesting: one revert switches it on
}

TEST_F(FileOpsTest, EnsureFolderExistCreatesMissingParentsWithUsualRights) {
    ASSERT_EQ(ops->EnsureFolderExist("C:\\e\\one\\two\\three"), S_OK);
    for (const char* d : {"C:\\e", "C:\\e\\one", "C:\\e\\one\\two", "C:\\e\\one\\two\\three"}) {
        struct stat st{};
        ASSERT_EQ(::stat(prefix.host(d).c_str(), &st), 0) << d;
        EXPECT_TRUE(S_ISDIR(st.st_mode)) << d;
        EXPECT_EQ(st.st_mode & (S_IWGRP | S_IWOTH), 0u) << d << ": writable by others";
    }
    prefix.writeFile("C:\\e\\one\\keep.txt", "k");
    EXPECT_EQ(ops->EnsureFolderExist("C:\\e\\one\\"), S_OK);
    EXPECT_TRUE(exists("C:\\e\\one\\keep.txt"));
    EXPECT_EQ(ops->EnsureFolderExist("Q:\\a\\b"), S_OK); // no such drive: nothing, no error
    EXPECT_FALSE(exists("C:\\a"));
}

TEST_F(FileOpsTest, IsFolderAndExistence) {
    prefix.writeFile("C:\\f\\file.txt", "x");
    const struct {
        const char* path;
        VARIANT_BOOL folder, exists;
    } cases[] = {
        {"C:\\f", VARIANT_TRUE, VARIANT_TRUE},
        {"c:\\F\\FILE.TXT", VARIANT_FALSE, VARIANT_TRUE},
        {"C:\\f\\", VARIANT_TRUE, VARIANT_TRUE},
    };
    for (const auto& c : cases) {
        VARIANT_BOOL folder = VARIANT_BOOL(1), there = VARIANT_BOOL(1);
        ASSERT_EQ(ops->IsFolder(c.path, &folder), S_OK) << c.path;
        EXPECT_EQ(folder, c.folder) << c.path;
        ASSERT_EQ(ops->isFileExist(c.path, &there), S_OK) << c.path;
        EXPECT_EQ(there, c.exists) << c.path;
    }
    // Nothing matches: a missing path, and a trailing "\" where a file or nothing is.
    for (const char* path : {"C:\\nothing", "C:\\nothing\\", "C:\\f\\file.txt\\"}) {
        VARIANT_BOOL folder = VARIANT_BOOL(1);
        EXPECT_EQ(ops->IsFolder(path, &folder), static_cast<HRESULT>(0x80040000u)) << path;
    }
}

TEST_F(FileOpsTest, DirectoryContentsListsWholeNamesInSearchOrder) {
    prefix.writeFile("C:\\dc\\b file with a long name.txt", "x");
    prefix.writeFile("C:\\dc\\A\\inner.txt", "x");
    ComPtr<_Collection> c;
    ASSERT_EQ(ops->DirectoryContents("C:\\dc", c.put()), S_OK);
    EXPECT_EQ(texts(c.get()), (std::vector<std::string>{"A", "b file with a long name.txt"}));
    LONG n = -1;
    c->Count(&n);
    EXPECT_EQ(n, 2);

    ASSERT_EQ(ops->DirectoryContents("C:\\", c.put()), S_OK);
    const auto root = texts(c.get());
    EXPECT_NE(std::find(root.begin(), root.end(), "dc"), root.end());
    EXPECT_EQ(std::find(root.begin(), root.end(), "."), root.end());

    ASSERT_EQ(ops->DirectoryContents("C:\\none", c.put()), S_OK);
    EXPECT_TRUE(texts(c.get()).empty());
}

TEST_F(FileOpsTest, FileCreationDateIsLocalTimeOrZero) {
    prefix.writeFile("C:\\cd.txt", "x");
    DATE d{-1};
    ASSERT_EQ(ops->FileCreationDate("C:\\cd.txt", &d), S_OK);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // Days from 1899-12-30 to today, by the calendar.
    std::tm base{};
    base.tm_year = -1;
    base.tm_mon = 11;
    base.tm_mday = 30;
    base.tm_hour = 12;
    std::tm today = local;
    today.tm_hour = 12;
    today.tm_min = today.tm_sec = 0;
    const double days = std::round(std::difftime(timegm(&today), timegm(&base)) / 86400.0);
    const double expected = days + (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
    EXPECT_NEAR(d.value, expected, 120.0 / 86400.0);

    ASSERT_EQ(ops->FileCreationDate("C:\\none.txt", &d), S_OK);
    EXPECT_EQ(d.value, 0.0);
}

} // namespace
} // namespace fileopstest
