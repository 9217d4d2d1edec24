#include "platform/registry/regfile.h"

#include <gtest/gtest.h>

#include <random>

using namespace winsys;

using namespace std::string_view_literals;

namespace {

const std::string_view kSamples[] = {
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\A]\r\n@=\"d\\\\x\\\"\"\r\n"
    "\"n\"=dword:0000002a\r\n\"b\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
    "  16,17,18\r\n\"m\"=hex(7):61,00,00,00,00,00\r\n\"v\"=-\r\n\r\n[-HKLM\\Software\\Old]\r\n"sv,
    "REGEDIT4\n\n[HKCU\\caf\xE9]\n\"x\"=hex(2):41,80,00\n\"s\"=\"\x80\"\n; c\n[HKCR\\a]b]\n@=-\n"sv,
    "\xFF\xFEW\0i\0n\0d\0o\0w\0s\0 \0R\0e\0g\0i\0s\0t\0r\0y\0 \0E\0d\0i\0t\0o\0r\0 \0V\0e\0r\0s\0i\0o\0n\0 \0"
    "5\0.\0\x30\0\x30\0\r\0\n\0[\0H\0K\0L\0M\0\\\0x\0]\0\r\0\n\0\"\0a\0\"\0=\0h\0e\0x\0(\0b\0)\0:\0\x31\0,\0\\\0\r\0\n\0"
    "2\0\r\0\n\0"sv,
};

} // namespace

// Damaged .reg text must never crash the reader (the sanitizer build runs
// this), and whatever it accepts must survive the writer unchanged.
TEST(RegMutation, DamagedTextNeverBreaksTheReader) {
    std::mt19937 rng(20240611);
    const char inserts[] = {'"', '\\', '[', ']', ',', '=', '@', '-', ';', '\n', '\r', '(', ')', ':', '\0', '\xFF'};
    for (auto sample : kSamples) ASSERT_TRUE(parseRegText(sample, "s.reg").ok()) << sample;
    int accepted = 0;
    for (int iteration = 0; iteration < 20000; ++iteration) {
        std::string text(kSamples[iteration % std::size(kSamples)]);
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            const std::size_t at = rng() % text.size();
            switch (rng() % 4) {
            case 0: text[at] = static_cast<char>(text[at] ^ (1u << (rng() % 8))); break;
            case 1: text.resize(at); break;
            case 2: text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), inserts[rng() % sizeof inserts]); break;
            case 3: text.erase(at, 1 + rng() % 3); break;
            }
        }
        auto ops = parseRegText(text, "m.reg");
        if (!ops) {
            ASSERT_EQ(ops.error().message.rfind("m.reg:", 0), 0u) << ops.error().message;
            continue;
        }
        ++accepted;
        std::string again = "Windows Registry Editor Version 5.00\r\n[HKCU\\k]\r\n";
        std::vector<const RegOperation*> sets;
        for (const auto& op : ops.value()) {
            auto path = parseRegKeyPath(op.key.text());
            ASSERT_TRUE(path.ok()) << op.key.text();
            EXPECT_EQ(path->text(), op.key.text());
            if (op.kind != RegOperation::Kind::SetValue) continue;
            again += formatRegValue(op.name, op.type, op.data) + "\r\n";
            sets.push_back(&op);
        }
        auto reread = parseRegText(again, "again.reg");
        ASSERT_TRUE(reread.ok()) << reread.error().message << "\n" << again;
        ASSERT_EQ(reread->size(), sets.size() + 1);
        for (std::size_t i = 0; i < sets.size(); ++i) {
            const auto& back = (*reread)[i + 1];
            EXPECT_EQ(back.name, sets[i]->name);
            EXPECT_EQ(back.type, sets[i]->type);
            EXPECT_EQ(back.data, sets[i]->data);
        }
    }
    // The mutations must leave some texts readable, or the writer half tests nothing.
    EXPECT_GT(accepted, 1000);
}
