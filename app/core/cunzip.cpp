#include "app/core/cunzip.h"

#include <cstring>
#include <unordered_map>

#include "app/core/munzip.h"
#include "platform/com/com_error.h"
#include "platform/core/text.h"

namespace sorlix {

void cUnzip::ZipFile(const std::string& sFile) {
    zipFile_ = sFile;
    entries_.clear();
}

const cUnzip::Entry& cUnzip::entry(win::LONG lIndex, const char* member) const {
    if (lIndex < 1 || lIndex > FileCount())
        throw winsys::com::ComError(win::hr(0x800A0009), "Subscript out of range", std::string("cUnzip.") + member);
    return entries_[static_cast<std::size_t>(lIndex - 1)];
}

cUnzip::Entry& cUnzip::entryToChange(win::LONG lIndex) {
    return const_cast<Entry&>(entry(lIndex, "FileSelected"));
}

win::LONG cUnzip::FilePackedSize(win::LONG lIndex) const {
    const Entry& e = entry(lIndex, "FilePackedSize");
    return static_cast<win::LONG>(static_cast<std::int64_t>(e.size) * e.factor / 100);
}

bool cUnzip::Directory() {
    options_.ZipFile = zipFile_.c_str();
    options_.ExtractFolder = "";
    options_.ListOnly = 1;
    const win::LONG result = mUnzip::VBUnzip(*this, options_, {}, {});
    options_.ListOnly = 0;
    return result == win::UZ_OK;
}

std::vector<win::LONG> cUnzip::chosenEntries() const {
    // Selected entries by folded bare name: the one at the top of the
    // package wins over one in a folder, else the first listed.
    std::vector<const Entry*> chosen;
    std::unordered_map<std::string, std::size_t> slotOf;
    for (const Entry& e : entries_) {
        if (!e.selected) continue;
        const auto [it, added] = slotOf.emplace(winsys::upperCase(e.name), chosen.size());
        if (added) chosen.push_back(&e);
        else if (const Entry*& c = chosen[it->second]; !c->folder.empty() && e.folder.empty()) c = &e;
    }
    std::vector<win::LONG> numbers;
    for (const Entry* c : chosen) numbers.push_back(c->number);
    return numbers;
}

bool cUnzip::Unzip() {
    if (zipFile_.empty()) return false;
    std::vector<win::LONG> include = chosenEntries();
    if (include.empty()) return false; // nothing asked for, nothing written
    // Every listed entry wanted: an empty list asks the library for all of them.
    if (include.size() == entries_.size()) include.clear();
    options_.ZipFile = zipFile_.c_str();
    options_.ExtractFolder = unzipFolder_.c_str();
    options_.ListOnly = 0;
    return mUnzip::VBUnzip(*this, options_, include, {}) == win::UZ_OK;
}

void cUnzip::GetVersion(win::LONG& lMajor, win::LONG& lMinor, win::LONG& lRevision, win::DATE& dDate,
                        std::string& sExtraInfo) const {
    win::UzpVersionRecord version;
    version.StructLength = sizeof version;
    win::UzpVersion2(&version);
    lMajor = version.WinDll.Major;
    lMinor = version.WinDll.Minor;
    lRevision = version.WinDll.Patch;
    dDate = win::DATE{0};
    sExtraInfo.assign(version.BetaLevel, strnlen(version.BetaLevel, sizeof version.BetaLevel));
}

} // namespace sorlix
