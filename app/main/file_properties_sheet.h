#pragma once
// The file-properties sheet of this program: a small dialog of ours with a
// file's or folder's name, folder, size, dates and version fields,
// installed into MFileProps at start-up.

#include "app/core/mfileprops.h"

namespace sorlix::app {

// Shows the sheet modally, owned by the window whose handle the request
// carries (the QWidget itself); false when the path does not exist.
bool ShowFilePropertiesSheet(const MFileProps::PropertiesRequest& request);

} // namespace sorlix::app
