#include "tests/support/com_library.h"

#include <stdexcept>
#include <string>

#include "platform/com/class_registry.h"
#include "platform/registry/registry.h"

namespace testsupport {

ComLibrary::ComLibrary(const std::filesystem::path& hostPath) {
    std::string message;
    if (win::FAILED(winsys::com::runSelfRegistration(hostPath, false, &message)))
        throw std::runtime_error("cannot register " + hostPath.string() + ": " + message);
    (void)winsys::flushRegistry();
}

ComLibrary::~ComLibrary() { winsys::com::releaseApplicationObjects(); }

} // namespace testsupport
