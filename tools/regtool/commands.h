#pragma once
// regtool's commands, each returning the process exit code (0 done, 1 not).

#include <optional>
#include <string>
#include <vector>

#include "platform/registry/regfile.h"

namespace regtool {

struct Options {
    std::vector<std::string> args;   // the operands after the command: KEY, FILE
    std::optional<std::string> value; // /v NAME; /ve makes it empty
    bool allValues = false;           // /va
    bool recurse = false;             // query /s
    bool force = false;               // /f
    std::optional<std::string> type;  // /t
    std::optional<std::string> data;  // /d
    std::string separator = "\\0";    // add /s
    winsys::RegView view = winsys::RegView::Bits64;
};

int runImport(const Options& o);
int runExport(const Options& o);
int runQuery(const Options& o);
int runAdd(const Options& o);
int runDelete(const Options& o);

} // namespace regtool
