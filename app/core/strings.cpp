#include "app/core/strings.h"

#include <map>
#include <stdexcept>

namespace sorlix {

namespace {

const std::map<win::LONG, const char*> kStrings{
    {100, "Vendrel Sorlix"},
    {110, "(noname)"},
    {122, "File not found:\n%1"},
    {123, "Everyone"},
    {124, "Default"},
    {127, "Toolbar is improperly installed or configured"},
    {128, "Toolbar button and menu are improperly installed or configured"},
    {129, "Menu extension is improperly installed or configured"},
    {130, "Browser Helper Object is improperly installed or configured"},
    {134, "Explorer bar is improperly installed or configured"},
    {156, "Are you sure you want to delete %1?"},
    {158, "Cannot delete %1. "},
    {159, "ID"},
    {160, "File"},
    {161, "Manufacturer"},
    {162, "User"},
    {176, "%1 is restored."},
    {177, "Cannot restore %1 %2. %3"},
    {179, "There are no items to restore."},
    {180, "%1 is improperly installed or configured"},
    {184, "Copy \"%1\""},
    {185, "Search Google for \"%1\""},
    {186, "Vertical Explorer Bar"},
    {187, "Horizontal Explorer Bar"},
    {188, "Type"},
};

} // namespace

std::string LoadResString(win::LONG id) {
    const auto it = kStrings.find(id);
    if (it == kStrings.end()) throw std::out_of_range("no string " + std::to_string(id) + " in the string table");
    return it->second;
}

} // namespace sorlix
