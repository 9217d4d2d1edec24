#include "app/enumerators/csafariextenum.h"

// The run is one error trap. An "Info.plist" that cannot be read costs only
// its extension, with one log line naming the file: one that is no file (a
// folder, a device, one over the size bound) logs here, one that does not
// parse (binary, malformed, too deep, an entity, no dict of keys and
// values) is logged by the parser after its box. A stranger's file must not
// hide every other extension.

#include <exception>
#include <string>
#include <variant>

#include "app/core/comcalls.h"
#include "app/core/mmainhelpers.h"
#include "app/enumerators/cplistparser.h"
#include "app/enumerators/enumcalls.h"
#include "common/interfaces/fileops.h"
#include "common/interfaces/global.h"
#include "common/interfaces/log.h"
#include "platform/com/variant.h"

namespace sorlix {

namespace {

using halvenlib::_CParams;
using winsys::com::call;
using winsys::com::ComPtr;

constexpr const char* kSource = "CSafariExtEnum.EnumSafariExtensions";

// The record keys and the property-list keys they copy, in record order.
constexpr std::pair<const char*, const char*> kCopiedKeys[] = {
    {"manufacturer", "Author"},       {"originalName", "CFBundleDisplayName"},
    {"iD", "CFBundleIdentifier"},     {"description", "Description"},
    {"updateInfoURL", "Update Manifest URL"}, {"homepageURL", "Website"},
};

// A plain value as the record keeps it; no value for a dict or an array.
bool recordValue(const PlistValue& value, win::VARIANT& out) {
    if (const auto* s = std::get_if<std::string>(&value.v)) out = winsys::com::makeText(*s);
    else if (const auto* d = std::get_if<double>(&value.v)) out = winsys::com::makeDouble(*d);
    else if (const auto* b = std::get_if<bool>(&value.v)) out = winsys::com::makeBool(*b);
    else if (std::holds_alternative<std::monostate>(value.v)) out = winsys::com::makeEmpty();
    else return false;
    return true;
}

// The first of the record's keys that holds a non-empty text.
std::string searchName(_CParams* record) {
    for (const char* key : {"originalName", "iD", "description"})
        if (HasParam(record, key))
            if (std::string name = ParamText(record, key); !name.empty()) return name;
    return "";
}

} // namespace

ComPtr<halvenlib::_CNodes> CSafariExtEnum::EnumSafariExtensions() {
    std::string plistPath; // the list being read, for the log line
    try {
        const std::string extensions = MMain::JoinPath(MMain::ShellFolder(halvenlib::CSIDL_LOCAL_APPDATA), "Apple Computer\\Safari\\Extensions");
        CPlistParser parser;
        ComPtr<halvenlib::_CNodes> result = Enum::NewNodes();
        for (const std::string& entry : Enum::DirectoryContents(extensions)) {
            const std::string folder = extensions + "\\" + entry;
            plistPath = folder + "\\Info.plist";
            if (!Enum::FileExists(plistPath)) continue;
            std::string bytes;
            if (Enum::Trapped(kSource, halvenlib::sevError, [&] { bytes = Enum::ReadInputFile(plistPath); })) continue;
            const std::optional<PlistDict> plist = parser.Parse(bytes, plistPath);
            if (!plist) continue;

            const ComPtr<_CParams> record = Enum::NewRecord(result.get());
            AddParam(record.get(), "dLL", winsys::com::makeText(folder));
            for (const auto& [name, key] : kCopiedKeys) {
                win::VARIANT v;
                if (const PlistValue* value = plist->find(key); value && recordValue(*value, v))
                    AddParam(record.get(), name, v);
            }
            AddParam(record.get(), "websearchName", winsys::com::makeText(searchName(record.get())));
            AddParam(record.get(), "backupCfg",
                     winsys::com::makeObject(Enum::FileOrFolderConfig(folder, false).get()));
        }
        return result;
    } catch (const std::exception& e) {
        const ErrorText error = DescribeError(e);
        LogLine(error.number, plistPath.empty() ? error.text : error.text + " ('" + plistPath + "')",
                halvenlib::sevError, kSource);
        return nullptr;
    }
}

} // namespace sorlix
