#include "platform/system/message.h"

#include <gtest/gtest.h>

#include "platform/core/lasterror.h"

namespace {

constexpr win::DWORD kSystem = win::FORMAT_MESSAGE_FROM_SYSTEM | win::FORMAT_MESSAGE_IGNORE_INSERTS;

} // namespace

TEST(FormatMessage, SystemTexts) {
    struct Row {
        win::DWORD id;
        const char* text;
    } rows[] = {
        {0, "The operation completed successfully.\r\n"},
        {2, "The system cannot find the file specified.\r\n"},
        {3, "The system cannot find the path specified.\r\n"},
        {5, "Access is denied.\r\n"},
        {87, "The parameter is incorrect.\r\n"},
        {122, "The data area passed to a system call is too small.\r\n"},
        {145, "The directory is not empty.\r\n"},
        {183, "Cannot create a file when that file already exists.\r\n"},
        {193, "%1 is not a valid Win32 application.\r\n"},
        {234, "More data is available.\r\n"},
        {259, "No more data is available.\r\n"},
        {1018, "Illegal operation attempted on a registry key that has been marked for deletion.\r\n"},
        {0x80004005, "Unspecified error\r\n"},
        {0x80004001, "Not implemented\r\n"},
        {0x80040154, "Class not registered\r\n"},
        {0x80020006, "Unknown name.\r\n"},
        {0x80070005, "Access is denied.\r\n"},          // E_ACCESSDENIED, through its Win32 number
        {0x80070057, "The parameter is incorrect.\r\n"}, // E_INVALIDARG
        {0x80070002, "The system cannot find the file specified.\r\n"},
    };
    for (const auto& r : rows) {
        std::string text = "sentinel";
        EXPECT_EQ(win::FormatMessage(kSystem, r.id, 0, &text), std::string(r.text).size()) << r.id;
        EXPECT_EQ(text, r.text) << r.id;
    }
}

TEST(FormatMessage, Failures) {
    struct Row {
        const char* label;
        win::DWORD flags;
        win::DWORD id;
        win::DWORD language;
        win::DWORD error;
    } rows[] = {
        {"unknown number", kSystem, 99999, 0, win::ERROR_MR_MID_NOT_FOUND},
        {"unknown HRESULT", kSystem, 0x800A01AD, 0, win::ERROR_MR_MID_NOT_FOUND},
        {"unknown Win32 number inside an HRESULT", kSystem, 0x8007FFFF, 0, win::ERROR_MR_MID_NOT_FOUND},
        {"no FROM_SYSTEM", win::FORMAT_MESSAGE_IGNORE_INSERTS, 5, 0, win::ERROR_INVALID_PARAMETER},
        {"FROM_STRING", kSystem | win::FORMAT_MESSAGE_FROM_STRING, 5, 0, win::ERROR_INVALID_PARAMETER},
        {"a line width", kSystem | 80, 5, 0, win::ERROR_INVALID_PARAMETER},
        {"inserts without IGNORE_INSERTS", win::FORMAT_MESSAGE_FROM_SYSTEM, 193, 0, win::ERROR_INVALID_PARAMETER},
        {"German", kSystem, 5, 0x0407, win::ERROR_RESOURCE_LANG_NOT_FOUND},
    };
    for (const auto& r : rows) {
        std::string text = "sentinel";
        win::SetLastError(0);
        EXPECT_EQ(win::FormatMessage(r.flags, r.id, r.language, &text), 0u) << r.label;
        EXPECT_EQ(win::GetLastError(), r.error) << r.label;
        EXPECT_EQ(text, "sentinel") << r.label;
    }
}

TEST(FormatMessage, LanguagesThatGiveTheEnglishText) {
    for (win::DWORD language : {0x0000u, 0x0400u, 0x0800u, 0x0409u, 0x0809u, 0x0009u}) {
        std::string text;
        EXPECT_GT(win::FormatMessage(win::FORMAT_MESSAGE_FROM_SYSTEM, 5, language, &text), 0u) << language;
        EXPECT_EQ(text, "Access is denied.\r\n") << language;
    }
}
