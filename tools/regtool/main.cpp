// regtool: the registry of a Wine-layout prefix from the command line, in
// the manner of reg.exe. The prefix is WINEPREFIX (default ~/.wine).

#include <iostream>
#include <string_view>

#include "platform/core/machine.h"
#include "platform/core/text.h"
#include "platform/registry/registry.h"
#include "tools/regtool/commands.h"

namespace {

const char kHelp[] = R"(Usage: regtool COMMAND ARGUMENTS...

Reads and changes the registry of the Windows machine in the Wine prefix
named by WINEPREFIX (default ~/.wine); changed hives are written back at
the end. KEY is ROOT\path\to\key with ROOT one of HKEY_LOCAL_MACHINE (HKLM),
HKEY_CURRENT_USER (HKCU), HKEY_CLASSES_ROOT (HKCR), HKEY_USERS (HKU),
HKEY_CURRENT_CONFIG (HKCC).

  regtool import FILE.reg
      Applies a registry file: "Windows Registry Editor Version 5.00"
      (UTF-16LE or UTF-8) or "REGEDIT4" (Windows-1252). Nothing is written
      when any line of the file is bad; the message names file and line.
  regtool export KEY [FILE]
      Writes KEY and all its subkeys as a version 5 registry file, UTF-16LE
      with CR LF as regedit writes it; without FILE, prints it as UTF-8.
  regtool query KEY [/v NAME | /ve] [/s]
      Shows the values and subkeys of KEY, or one value (/v NAME; /ve the
      default value); /s goes through all subkeys.
  regtool add KEY [/v NAME | /ve] [/t TYPE] [/s SEP] [/d DATA] [/f]
      Creates KEY and optionally sets a value. TYPE: REG_SZ (default),
      REG_EXPAND_SZ, REG_MULTI_SZ (items split at SEP, default \0),
      REG_DWORD, REG_DWORD_BIG_ENDIAN, REG_QWORD (decimal or 0x hex),
      REG_BINARY, REG_NONE (hex digits, as in 0aff10).
  regtool delete KEY [/v NAME | /ve | /va] [/f]
      Deletes KEY with all its subkeys, or one value, or all values (/va).

  /f        overwrite or delete without asking (required without a terminal)
  /reg:64   the 64-bit view of the registry (the default, as a 64-bit
            regedit shows keys: HKLM\Software is the 64-bit one)
  /reg:32   the 32-bit view (HKLM\Software\Wow6432Node on 64-bit Windows)
  --help    this text

Options may start with / or -. Exit code: 0 done, 1 failed.
)";

bool isOption(std::string_view arg, std::string_view name) {
    return arg.size() == name.size() + 1 && (arg[0] == '/' || arg[0] == '-') &&
           winsys::equalsNoCase(arg.substr(1), name);
}

int usageError(const std::string& message) {
    std::cerr << "regtool: " << message << " (see regtool --help)\n";
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usageError("a command is required");
    const std::string_view command = argv[1];
    if (command == "--help" || command == "-h" || isOption(command, "?")) {
        std::cout << kHelp;
        return 0;
    }

    regtool::Options o;
    for (int i = 2; i < argc; ++i) {
        const std::string_view a = argv[i];
        auto operand = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "--help") {
            std::cout << kHelp;
            return 0;
        } else if (isOption(a, "v")) {
            const char* v = operand();
            if (!v) return usageError("/v needs a value name");
            o.value = v;
        } else if (isOption(a, "ve")) {
            o.value = "";
        } else if (isOption(a, "va")) {
            o.allValues = true;
        } else if (isOption(a, "f")) {
            o.force = true;
        } else if (isOption(a, "t")) {
            const char* t = operand();
            if (!t) return usageError("/t needs a type");
            o.type = t;
        } else if (isOption(a, "d")) {
            const char* d = operand();
            if (!d) return usageError("/d needs data");
            o.data = d;
        } else if (isOption(a, "s") && winsys::equalsNoCase(command, "add")) {
            const char* s = operand();
            if (!s) return usageError("/s needs a separator");
            o.separator = s;
        } else if (isOption(a, "s")) {
            o.recurse = true;
        } else if (isOption(a, "reg:32")) {
            o.view = winsys::RegView::Bits32;
        } else if (isOption(a, "reg:64")) {
            o.view = winsys::RegView::Bits64;
        } else {
            o.args.emplace_back(a);
        }
    }

    int (*run)(const regtool::Options&) = nullptr;
    if (winsys::equalsNoCase(command, "import")) run = regtool::runImport;
    else if (winsys::equalsNoCase(command, "export")) run = regtool::runExport;
    else if (winsys::equalsNoCase(command, "query")) run = regtool::runQuery;
    else if (winsys::equalsNoCase(command, "add")) run = regtool::runAdd;
    else if (winsys::equalsNoCase(command, "delete")) run = regtool::runDelete;
    else return usageError("unknown command '" + std::string(command) + "'");

    if (auto r = winsys::openDefaultMachine(); !r) {
        std::cerr << "regtool: " << r.error().message << "\n";
        return 1;
    }
    // A wineserver serving the prefix would write its own copy of the hives
    // over any change: the changing commands refuse and say why.
    const bool changes = run == regtool::runImport || run == regtool::runAdd || run == regtool::runDelete;
    if (auto refusal = winsys::registryRefusal(); changes && refusal) {
        std::cerr << "regtool: " << *refusal << "\n";
        return 1;
    }
    return run(o);
}
