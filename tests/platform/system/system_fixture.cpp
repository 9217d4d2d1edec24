#include "tests/platform/system/system_fixture.h"

#include <cstdio>

#include "platform/core/text.h"
#include "platform/system/environment.h"

namespace systest {

std::string expandSz(std::string_view text) {
    std::string out = "hex(2):";
    const auto bytes = winsys::toUtf16leBytes(text, true);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
        if (i) out += ',';
        out += hex;
    }
    return out;
}

std::unique_ptr<testsupport::TestPrefix> machineWith(winsys::Arch arch, std::string_view reg) {
    testsupport::TestPrefixOptions options;
    options.arch = arch;
    auto p = std::make_unique<testsupport::TestPrefix>(options);
    if (!reg.empty()) {
        p->importReg("Windows Registry Editor Version 5.00\n\n" + std::string(reg));
        p->reopen();
    }
    return p;
}

std::string env(const std::string& name) {
    std::string value = "<unset>"; // left alone when the variable is not set
    win::GetEnvironmentVariable(name, &value);
    return value;
}

} // namespace systest
