#pragma once
// The program's own folders (the data folder, its Temp folder and the
// backup store in it) are opened from the user's profile folder down, each
// from its parent's handle without following a link, so that none of them
// is ever a way into a folder of someone else's: a link or a non-folder on
// the way is refused by name. A data folder that is not below the profile
// (its known folder moved elsewhere) is walked from its drive's root.

#include <optional>
#include <string>

#include "platform/files/hostfile.h"
#include "platform/files/tree.h"

namespace sorlix {

// Opens `folder`, with `create` making what is missing; the reason when it
// cannot or may not be opened.
std::optional<winsys::TreeError> OpenOwnFolder(const std::string& folder, bool create, winsys::UniqueFd* out);

} // namespace sorlix
