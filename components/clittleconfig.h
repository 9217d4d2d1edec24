#pragma once
// CLittleConfig, the removal record of one add-on: files and folders,
// registry subkeys and registry values, each list free of repeats.

#include <string>

#include "components/interfaces/quarncust.h"

namespace quarncust {

// The class factory's creation function.
win::HRESULT createCLittleConfig(win::REFIID riid, void** ppv);

// The repeat-test keys (compared without regard to case). The parts are
// joined so that distinct entries never give the same key: the root's
// decimal text ends at a '|', and in a value's key the subkey has each '|'
// doubled and ends at "|;", so the value name that follows cannot run into it.
std::string subkeyKey(win::LONG key, const std::string& subkey);
std::string valueKey(win::LONG key, const std::string& subkey, const std::string& valueName);

} // namespace quarncust
