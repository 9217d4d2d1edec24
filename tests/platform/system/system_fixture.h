#pragma once
// Machines for the system-query tests: a test prefix whose registry holds
// the given .reg text, opened afresh as a new process would see it.

#include <memory>
#include <string>
#include <string_view>

#include "tests/support/test_prefix.h"

namespace systest {

// A REG_EXPAND_SZ value in .reg syntax: hex(2): and the UTF-16LE bytes.
std::string expandSz(std::string_view text);

// A prefix of `arch` with `reg` (the keys and values, without the header
// line) imported, reopened so that nothing built before the import lingers.
std::unique_ptr<testsupport::TestPrefix> machineWith(winsys::Arch arch, std::string_view reg = "");

// The variable's value, or "<unset>".
std::string env(const std::string& name);

} // namespace systest
