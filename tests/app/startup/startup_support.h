#pragma once
// What the start-up tests share: the hooks that record what start-up
// shows and calls, and the lines of a log file.

#include <cstdio>
#include <string>
#include <vector>

#include "app/core/mmain.h"
#include "tests/support/test_prefix.h"

namespace startuptest {

inline constexpr const char* kDataFolder = "C:\\users\\tester\\AppData\\Local\\Vendrel Sorlix";
inline constexpr const char* kProgramFolder = "C:\\Program Files\\Vendrel Sorlix";

struct Shown {
    std::string text, title;
    sorlix::MessageIcon icon;
};

// Records message boxes and the order of the late steps.
struct Recorder {
    std::vector<Shown> shown;
    std::vector<std::string> steps;

    sorlix::MMain::StartupHooks hooks() {
        sorlix::MMain::StartupHooks h;
        h.messageBox = [this](const std::string& text, const std::string& title, sorlix::MessageIcon icon) {
            shown.push_back({text, title, icon});
            steps.push_back("message");
        };
        h.programFolder = kProgramFolder;
        h.createAppVisor = [this] { steps.push_back("AppVisor"); };
        h.createMainForm = [this] { steps.push_back("MainForm"); };
        h.collectAllAddonInfo = [this] { steps.push_back("collect"); };
        h.showMainForm = [this] { steps.push_back("show"); };
        return h;
    }
};

struct LogLine {
    std::string severity, number, description, source;
};

// The lines of a log file in the prefix ("stamp\tseverity\tnumber\ttext\tsource\r\n").
inline std::vector<LogLine> readLog(const testsupport::TestPrefix& prefix, const std::string& windowsPath) {
    std::vector<LogLine> lines;
    std::string text;
    if (FILE* f = std::fopen(prefix.host(windowsPath).c_str(), "rb")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
        std::fclose(f);
    }
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) end = text.size();
        std::vector<std::string> fields;
        std::size_t f = at;
        for (std::size_t tab; (tab = text.find('\t', f)) < end; f = tab + 1) fields.push_back(text.substr(f, tab - f));
        fields.push_back(text.substr(f, end - f));
        fields.resize(5);
        lines.push_back({fields[1], fields[2], fields[3], fields[4]});
        at = end + 2;
    }
    return lines;
}

inline std::vector<std::string> descriptions(const std::vector<LogLine>& lines) {
    std::vector<std::string> d;
    for (const auto& l : lines) d.push_back(l.description);
    return d;
}

} // namespace startuptest
