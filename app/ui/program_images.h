#pragma once
// The program's images: PNG resources (resource type "PNG", numbered ids) of
// the program file "Sorlix.exe" in the program folder, opened as a resource
// module.

#include <QByteArray>
#include <QIcon>
#include <string>

#include "app/core/cresource.h"

namespace sorlix::ui {

// The program file (a Windows path): MMain::AppPath() + "\\Sorlix.exe"
// unless set; tests point it at the built one. Empty puts the default back.
std::string ProgramFile();
void setProgramFile(const std::string& windowsPath);
// The skin of the program's windows, next to the program file.
std::string ProgramSkinFile();

// Opens the program file as `module`; throws ComError 0x80040D2F
// ("CResource.Init") when it cannot be loaded.
void OpenProgramResources(CResource& module);

// The PNG data of image `id`; empty when the module has no such image.
QByteArray LoadPngResource(const CResource& module, int id);
// The same image drawn at twice its size (resource type "PNG2X"), for
// screens at 200 %; empty when the module has none.
QByteArray LoadPngResource2x(const CResource& module, int id);
// Image `id` as an icon with both sizes; null without the image.
QIcon LoadIconResource(const CResource& module, int id);
// The same from the program file itself; also null when that cannot be
// opened, for the windows that open without their images.
QIcon LoadProgramIcon(int id);

} // namespace sorlix::ui
