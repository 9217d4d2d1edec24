#pragma once
// CCustom2 and CCustom (the application object): stateless start-up
// customisation objects whose Init writes the library's trace line.

#include <string>

#include "components/interfaces/quarncust.h"

namespace quarncust {

// The class factories' creation functions.
win::HRESULT createCCustom2(win::REFIID riid, void** ppv);
win::HRESULT createCCustom(win::REFIID riid, void** ppv);

// "Quarncust ver.<major>.<minor>.<revision>".
std::string versionLine();

} // namespace quarncust
