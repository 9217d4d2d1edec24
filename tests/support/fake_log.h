#pragma once
// A log object for tests of code that logs through the common library's
// log interface: it keeps every LogIt call instead of writing files.

#include <string>
#include <vector>

#include "common/interfaces/log.h"
#include "platform/com/object.h"

namespace testsupport {

struct LogLine {
    win::LONG number;
    std::string description;
    win::LONG severity;
    std::string source;
};

class FakeLog final : public winsys::com::DispatchObject<halvenlib::_axLog> {
public:
    std::vector<LogLine> lines;

    win::HRESULT get_FileName(std::string* path) override { *path = ""; return win::S_OK; }
    win::HRESULT get_ShortLogFileName(std::string* path) override { *path = ""; return win::S_OK; }
    win::HRESULT get_ShortLogMode(win::VARIANT_BOOL* on) override { *on = win::VARIANT_FALSE; return win::S_OK; }
    win::HRESULT Init2(const std::string&, const std::string&) override { return win::S_OK; }
    win::HRESULT Init(const std::string&) override { return win::S_OK; }
    win::HRESULT LogIt(win::LONG number, const std::string& description, win::LONG severity,
                       const std::string& source) override {
        lines.push_back({number, description, severity, source});
        return win::S_OK;
    }
};

} // namespace testsupport
