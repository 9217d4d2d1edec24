#pragma once
// A 64-bit test machine with Chrome's user data laid out as the browser
// keeps it: the real profiles "Default" and "Profile 1" of the fixtures,
// "Local State", a "System Profile" without extensions and an empty
// "Extensions\Temp", plus the extensions a test writes itself.

#include <filesystem>
#include <string>

#include "tests/app/enumerators/ie_fixture.h"

namespace chrometest {

using namespace ietest;

inline const std::string kUserData = "C:\\users\\tester\\AppData\\Local\\Google\\Chrome\\User Data";
inline const std::string kDefault = kUserData + "\\Default\\Extensions";
inline const std::string kProfile1 = kUserData + "\\Profile 1\\Extensions";

inline const std::filesystem::path kRealUserData =
    std::filesystem::path(REAL_BROWSER_DATA) / "drive_c/users/root/AppData/Local/Google/Chrome/User Data";

struct ChromeMachine : Machine {
    ChromeMachine() {
        prefix.copyIn(kRealUserData, kUserData);
        prefix.writeFile(kUserData + "\\Local State", "{}");
        prefix.makeDir(kUserData + "\\System Profile");
        prefix.makeDir(kDefault + "\\Temp");
    }
    // "<folder>\<id>\<version>\manifest.json" holding `manifest`; returns the version folder.
    std::string extension(const std::string& folder, const std::string& id, const std::string& version,
                          const std::string& manifest) const {
        const std::string dir = folder + "\\" + id + "\\" + version;
        prefix.writeFile(dir + "\\manifest.json", manifest);
        return dir;
    }
};

} // namespace chrometest
