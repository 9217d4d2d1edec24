#pragma once
// COperaPluginIgnore: Opera's "plugin-ignore.ini", the plugin files the
// browser is told not to load. Names are kept lower-cased, without folder.

#include <set>
#include <string>

namespace sorlix {

class COperaPluginIgnore {
public:
    // Reads the names of the "[plugins to ignore]" sections (a leading
    // byte-order mark dropped, the text read as UTF-8). False with the
    // error's text in FalseCause when the file cannot be read (logged).
    bool LoadPluginIgnoreIni(const std::string& PluginIgnoreIniFullFilename, std::string& FalseCause);
    // Whether the file name of `path` (the text after its last "\") is listed.
    bool IsFileIgnored(const std::string& path) const;

private:
    std::set<std::string> names_;
};

} // namespace sorlix
