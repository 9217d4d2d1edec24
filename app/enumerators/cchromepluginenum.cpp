#include "app/enumerators/cchromepluginenum.h"

// What Chrome's plugin list is fed from, in the order the browser looks:
// each Chrome program folder ("plugins" there and in every entry of it,
// with the files Chrome ships in its version folders), then the folders of
// other products, the folder scan, and last the files manifests declare.

#include "app/core/caddontypevisor.h"
#include "app/core/cappvisor.h"
#include "app/core/comcalls.h"
#include "app/core/mmain.h"
#include "app/core/mmainhelpers.h"
#include "app/core/resume_next.h"
#include "app/enumerators/cchromeextenumerator.h"
#include "app/enumerators/cpluginscan.h"
#include "app/enumerators/enumcalls.h"
#include "platform/system/shfolder.h"

namespace sorlix {

namespace {

// Files Chrome ships in each entry of its program folder, in test order.
constexpr const char* kShippedFiles[] = {
    "\\ppGoogleNaClPluginChrome.dll",
    "\\pdf.dll",
    "\\gcswf32.dll",
    "\\PepperFlash\\pepflashplayer.dll",
};

constexpr std::size_t kChromeExeTail = 11; // "\chrome.exe"

} // namespace

winsys::com::ComPtr<halvenlib::_CNodes> CChromePluginEnum::EnumerateChromePlugins() {
    winsys::com::ComPtr<halvenlib::_CNodes> result;
    Enum::Trapped("CChromePluginEnum.EnumerateChromePlugins", halvenlib::sevError, [&] {
        CPluginScan scan(atChromePlugin);
        CChromeExtEnumerator chrome;

        for (const std::string& exe : Enum::Texts(chrome.FindChromeExeFiles().get())) {
            const std::string folder = exe.substr(0, exe.size() - kChromeExeTail);
            scan.QueuePluginFolder(folder + "\\plugins");
            for (const std::string& entry : Enum::DirectoryContents(folder)) {
                scan.QueuePluginFolder(folder + "\\" + entry + "\\plugins");
                for (const char* file : kShippedFiles) scan.QueuePlugin(folder + "\\" + entry + file);
            }
        }

        scan.QueuePluginFolder(MMain::JoinPath(MMain::ShellFolder(win::CSIDL_APPDATA), "Mozilla\\plugins"));

        for (const std::string& java : Enum::InstallFolders(ProductJava))
            scan.QueuePluginFolder(MMain::JoinPath(java, "new_plugin"));
        for (const std::string& reader : Enum::InstallFolders(ProductAdobeReader))
            scan.ProcessAdobeReaderFolder(MMain::JoinPath(reader, "browser"));
        scan.QueuePluginFolder(ProgramObject(AppVisor).InstallFolder(FolderMediaPlayer));

        scan.ProcessPluginFolders();
        for (const std::string& path : Enum::Texts(chrome.FindPluginsInExtensions().get())) scan.QueuePlugin(path);
        result = scan.ProcessPlugins();
    });
    return result;
}

} // namespace sorlix
