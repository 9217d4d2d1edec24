#pragma once
// MVista: whether the program may run in this process. With user account
// control off a user who is not an administrator is refused; with it on, a
// process that does not run elevated hands over to the outside elevation
// library (rundll32 with the "runas" verb) and the program ends.
// Reads the program-wide Log and Registry.

#include <string>

#include "app/core/mmain.h"
#include "platform/core/wintypes.h"

namespace sorlix::MVista {

enum class ElevationOutcome { GoOn, Refused, HandedOver };

bool IsVista();
// "EnableLUA" of the local machine is not 0; throws ComError when the
// registry object fails.
bool IsUACEnabled();
// Whether the token's groups hold Administrators; both out values are -1
// when they cannot be read.
bool GetTokenAdminInfo(win::LONG& ElevationType, win::LONG& Elevation);
// The short form of `Path`; the path itself when it has none, and whole
// however long it is.
std::string GetShortPath(const std::string& Path);

// Refused: the permissions message was shown. HandedOver: the shell was
// asked to start the elevation library (a failed request is logged).
// Either way the program is to end.
ElevationOutcome CheckElevation(const MessageBoxFn& messageBox, const std::string& programFolder);

} // namespace sorlix::MVista
