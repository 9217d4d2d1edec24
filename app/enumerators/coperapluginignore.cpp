#include "app/enumerators/coperapluginignore.h"

#include <algorithm>
#include <exception>
#include <string_view>

#include "app/core/comcalls.h"
#include "app/core/mapi.h"
#include "app/enumerators/enumcalls.h"
#include "platform/core/text.h"

namespace sorlix {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The name of a line inside the section: the text before "=", TABs gone.
std::string nameOf(const std::string& line) {
    std::string name = line.substr(0, line.find('='));
    std::erase(name, '\t');
    return MAPI::Trim(name);
}

} // namespace

bool COperaPluginIgnore::LoadPluginIgnoreIni(const std::string& PluginIgnoreIniFullFilename,
                                             std::string& FalseCause) {
    FalseCause.clear();
    names_.clear();
    try {
        std::string bytes = Enum::ReadInputFile(PluginIgnoreIniFullFilename);
        if (bytes.starts_with(kUtf8Bom)) bytes.erase(0, kUtf8Bom.size());
        // Bad bytes become U+FFFD rather than ending the read.
        std::string text = winsys::toUtf8(winsys::toUtf16(bytes));
        std::replace(text.begin(), text.end(), '\n', '\r');
        bool inSection = false;
        std::size_t start = 0;
        while (start <= text.size()) {
            const std::size_t end = std::min(text.find('\r', start), text.size());
            const std::string line = winsys::lowerCase(MAPI::Trim(std::string_view(text).substr(start, end - start)));
            start = end + 1;
            if (line.empty()) continue;
            if (line.front() == '[') inSection = line == "[plugins to ignore]";
            else if (inSection && line.front() != ';')
                if (std::string name = nameOf(line); !name.empty()) names_.insert(std::move(name));
        }
        return true;
    } catch (const std::exception& e) {
        FalseCause = DescribeError(e).text;
        LogError(e, "COperaPluginIgnore.LoadPluginIgnoreIni");
        return false;
    }
}

bool COperaPluginIgnore::IsFileIgnored(const std::string& path) const {
    const std::size_t slash = path.rfind('\\');
    return names_.contains(winsys::lowerCase(slash == std::string::npos ? path : path.substr(slash + 1)));
}

} // namespace sorlix
