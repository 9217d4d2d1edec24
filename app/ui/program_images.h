#pragma once
// The program's images: PNG resources (resource type "PNG", numbered ids) of
// the program file "Sorlix.exe" in the program folder, opened as a resource
// module.

#include <QByteArray>

#include "app/core/cresource.h"

namespace sorlix::ui {

// Opens the program file as `module`; throws ComError 0x80040D2F
// ("CResource.Init") when it cannot be loaded.
void OpenProgramResources(CResource& module);

// The PNG data of image `id`; empty when the module has no such image.
QByteArray LoadPngResource(const CResource& module, int id);

} // namespace sorlix::ui
