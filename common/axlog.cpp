#include "common/axlog.h"

// Each LogIt reads the log, appends its line and writes the file back
// through the layer (which replaces files whole, so a reader never sees a
// half line). Every step is guarded on its own: a log that cannot be
// written loses that line in that file only, and nothing reaches the caller.

#include <cstdio>
#include <ctime>
#include <string_view>

#include "common/interfaces/log.h"
#include "common/server.h"
#include "platform/com/error_info.h"
#include "platform/com/object.h"
#include "platform/core/lasterror.h"
#include "platform/core/text.h"
#include "platform/files/files.h"
#include "platform/system/regional.h"

namespace halvenlib {

using namespace win;
using namespace winsys::com;

namespace {

constexpr std::size_t kMaxDescription = 1024; // UTF-16 units kept whole in the main log
constexpr std::size_t kKeptEachSide = 500;

const char* severityText(LONG severity) {
    switch (severity) {
    case sevError: return "Error";
    case sevWarning: return "Warning";
    case sevInformational: return "Informational";
    case sevSummary: return "Summary";
    case sevInternalError: return "InternalError";
    case sevTrace: return "Trace";
    default: return "";
    }
}

// Local date and time as the user's regional settings write them.
std::string nowText() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return winsys::localDateTimeText(tm, winsys::userRegionalFormats());
}

std::string numberText(LONG number) {
    if (number == 0) return "";
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(number));
    return buf;
}

// The first and last 500 units around eleven points, for a description
// longer than 1024 UTF-16 units.
std::string cutDescription(const std::string& description) {
    if (winsys::utf16Length(description) <= kMaxDescription) return description;
    const std::u16string u = winsys::toUtf16(description);
    return winsys::toUtf8(u.substr(0, kKeptEachSide)) + "..........." +
           winsys::toUtf8(u.substr(u.size() - kKeptEachSide));
}

std::string logLine(const std::string& stamp, LONG number, const std::string& description, LONG severity,
                    const std::string& source) {
    return stamp + "\t" + severityText(severity) + "\t" + numberText(number) + "\t" + description + "\t" + source +
           "\r\n";
}

// Appends the line (in the ANSI code page) to the file, creating it when
// missing. Any failure loses the line.
void appendLine(const std::string& path, const std::string& line) {
    try {
        (void)winsys::appendFile(path, winsys::toCp1252(line));
    } catch (...) {
    }
}

class axLog final : public DispatchObject<_axLog> {
public:
    HRESULT get_FileName(std::string* path) override {
        *path = fileName_;
        return S_OK;
    }
    HRESULT get_ShortLogFileName(std::string* path) override {
        *path = shortLogFileName_;
        return S_OK;
    }
    HRESULT get_ShortLogMode(VARIANT_BOOL* on) override {
        *on = shortLogMode_ ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

    HRESULT Init2(const std::string& FileName, const std::string& ShortLogFileName) override {
        fileName_ = FileName;
        shortLogFileName_ = ShortLogFileName;
        shortLogMode_ = true;
        const DWORD lastError = GetLastError();
        DeleteFile(shortLogFileName_); // no earlier log, or one we may not delete: both fine
        SetLastError(lastError);
        return S_OK;
    }

    HRESULT Init(const std::string& FileName) override {
        fileName_ = FileName;
        shortLogMode_ = false;
        return S_OK;
    }

    HRESULT LogIt(LONG ErrNumber, const std::string& Description, LONG Severity, const std::string& Source) override {
        const DWORD lastError = GetLastError();
        try {
            const std::string stamp = nowText();
            if (shortLogMode_ && !shortLogFileName_.empty())
                appendLine(shortLogFileName_, logLine(stamp, ErrNumber, Description, Severity, Source));
            if (!fileName_.empty())
                appendLine(fileName_, logLine(stamp, ErrNumber, cutDescription(Description), Severity, Source));
        } catch (...) {
        }
        SetLastError(lastError);
        clearErrorInfo();
        return S_OK;
    }

private:
    std::string fileName_;
    std::string shortLogFileName_;
    bool shortLogMode_ = false;
};

const ClassRegistration kRegistration{{CLSID_axLog, "axLog", "Halvenlib.axLog", 0, &createaxLog},
                                      {{_axLog::iid, "_axLog"}}};

} // namespace

HRESULT createaxLog(REFIID riid, void** ppv) { return createAs<axLog>(riid, ppv); }

} // namespace halvenlib
