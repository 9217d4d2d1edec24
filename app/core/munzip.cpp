#include "app/core/munzip.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "app/core/mapi.h"
#include "platform/com/com_error.h"

namespace sorlix {

namespace {

// The object of the library call that is running; the callbacks reach it.
cUnzip* g_current = nullptr;
// Set when the password was refused once in this call: asking again is futile.
bool g_passwordRefused = false;

// The library's texts with its "/" shown as Windows shows paths.
std::string withBackslashes(std::string text) {
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

// The days since 30 December 1899 of a civil date (proleptic Gregorian).
double automationDay(int year, unsigned month, unsigned day) {
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long daysSince1970 = static_cast<long>(era) * 146097 + static_cast<long>(doe) - 719468;
    return static_cast<double>(daysSince1970 + 25569);
}

} // namespace

// The library's callbacks, friends of cUnzip.
struct UnzipCallbackBridge {
    static int print(const char* text, unsigned long length) {
        if (!g_current || length < 2 || length >= 32000) return 0;
        if (g_current->Progress) g_current->Progress(1, withBackslashes(std::string(text, length)));
        return 0;
    }

    static int replace(char* fileName) {
        win::LONG response = win::kUzpKeepExisting;
        if (g_current && g_current->OverwritePrompt) g_current->OverwritePrompt(withBackslashes(fileName), response);
        return static_cast<int>(response);
    }

    static int password(char* buffer, int size, const char*, const char*) {
        if (g_passwordRefused || !g_current) return 1;
        const std::string given = MAPI::Trim(g_current->Password);
        if (given.empty()) {
            g_passwordRefused = true;
            return 1;
        }
        const std::size_t n = std::min<std::size_t>({given.size(), 254, static_cast<std::size_t>(size - 1)});
        std::memcpy(buffer, given.data(), n);
        buffer[n] = 0;
        return 0;
    }

    static void message(std::uint64_t, std::uint64_t compressedSize, unsigned factor, unsigned month, unsigned day,
                        unsigned year, unsigned hour, unsigned minute, char, const char* name, const char* method,
                        std::uint32_t crc, unsigned char flags, win::LONG entry) {
        if (!g_current) return;
        cUnzip::Entry e;
        const std::string full = name;
        const auto slash = full.rfind('/');
        if (slash != std::string::npos) {
            e.folder = withBackslashes(full.substr(0, slash));
            e.name = full.substr(slash + 1);
        } else {
            e.name = full; // a "\" stays: it is no folder separator in a zip
        }
        if (e.name.empty()) return; // a folder entry
        e.size = static_cast<win::LONG>(std::min<std::uint64_t>(compressedSize, 0x7fffffff));
        e.factor = static_cast<win::LONG>(factor);
        e.method = method;
        e.date = win::DATE{automationDay(static_cast<int>(year), month, day) + (hour * 60.0 + minute) / 1440.0};
        e.crc = crc;
        e.encrypted = (flags & win::kUzpFlagEncrypted) != 0;
        e.number = entry;
        g_current->entries_.push_back(std::move(e));
    }

    static int service(const char* name, unsigned long length) {
        if (!g_current || length < 2 || length >= 32000) return 0;
        bool cancel = false;
        if (g_current->Cancel) g_current->Cancel(withBackslashes(std::string(name, strnlen(name, length))), cancel);
        return cancel ? 1 : 0;
    }
};

namespace mUnzip {

namespace {

void fillList(const std::vector<win::LONG>& entries, win::UzpEntryList& list) {
    if (entries.size() >= static_cast<std::size_t>(win::kUzpListSlots))
        throw winsys::com::ComError(win::hr(0x800A0009), "Subscript out of range", "mUnzip.VBUnzip");
    std::copy(entries.begin(), entries.end(), list.Entries);
    list.Entries[entries.size()] = win::kUzpEndOfList;
}

// Leaves no pointer to the object once the call is over, whatever happens.
struct CurrentObject {
    explicit CurrentObject(cUnzip& o) { g_current = &o; }
    ~CurrentObject() { g_current = nullptr; }
};

} // namespace

win::LONG VBUnzip(cUnzip& cUnzipObject, win::UzpOptions& tDCL, const std::vector<win::LONG>& sInc,
                  const std::vector<win::LONG>& sExc) {
    win::UzpEntryList include, exclude;
    fillList(sInc, include);
    fillList(sExc, exclude);
    win::UzpCallbacks callbacks;
    callbacks.Print = &UnzipCallbackBridge::print;
    callbacks.Replace = &UnzipCallbackBridge::replace;
    callbacks.Password = &UnzipCallbackBridge::password;
    callbacks.Message = &UnzipCallbackBridge::message;
    callbacks.Service = &UnzipCallbackBridge::service;
    const CurrentObject current(cUnzipObject);
    g_passwordRefused = false;
    return win::Wiz_SingleEntryUnzip(static_cast<int>(sInc.size()), &include, static_cast<int>(sExc.size()),
                                     &exclude, &tDCL, &callbacks);
}

} // namespace mUnzip

} // namespace sorlix
