#pragma once
// Shared pieces of the Internet Explorer enumerator tests: a test machine
// with both libraries and the program-wide objects, PE files with version
// texts, zip packages, and readers that turn a record into (name, value)
// rows and a removal record into one line per entry, so that tests compare
// tables.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/enumerators/cieenumerator.h"
#include "common/interfaces/records.h"
#include "components/interfaces/quarncust.h"
#include "platform/com/com_ptr.h"
#include "platform/com/variant.h"
#include "tests/support/com_library.h"
#include "tests/support/pe_writer.h"
#include "tests/support/program_objects.h"
#include "tests/support/records.h"
#include "tests/support/test_prefix.h"
#include "tests/support/zip_writer.h"

namespace ietest {

using halvenlib::_CNode;
using halvenlib::_CNodes;
using win::LONG;
using winsys::com::ComPtr;

using Rows = std::vector<std::pair<std::string, std::string>>;
using Lines = std::vector<std::string>;

// Registry roots as records and removal records hold them.
inline const std::string kHKCR = std::to_string(halvenlib::HKEY_CLASSES_ROOT);
inline const std::string kHKCU = std::to_string(halvenlib::HKEY_CURRENT_USER);
inline const std::string kHKLM = std::to_string(halvenlib::HKEY_LOCAL_MACHINE);
inline const std::string kHKU = std::to_string(halvenlib::HKEY_USERS);
inline const std::string kHKLM64 = std::to_string(halvenlib::HKEY_LOCAL_MACHINE_64BIT);
inline const std::string kHKCR64 = std::to_string(halvenlib::HKEY_CLASSES_ROOT_64BIT);

inline const std::string kPostSetup =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Discardable\\PostSetup\\";

// A DLL of `machine` at the host path `file`, with a version resource
// holding `strings` when they are given.
inline void writeDll(const std::filesystem::path& file, win::WORD machine, const std::optional<Rows>& strings) {
    testsupport::PeSpec spec;
    spec.machine = machine;
    if (strings) spec.version = testsupport::PeVersion{.tables = {{0x0409, 1200, *strings}}};
    testsupport::writePe(file, spec);
}

struct Machine {
    explicit Machine(testsupport::TestPrefixOptions options = {}) : prefix(options) {}

    // A DLL at `path` whose version resource holds `strings`.
    void pe(const std::string& path, const Rows& strings) const { pe(path, win::IMAGE_FILE_MACHINE_I386, strings); }
    // A DLL of `machine` at `path`, with a version resource holding `strings` when they are given.
    void pe(const std::string& path, win::WORD machine, const std::optional<Rows>& strings) const {
        writeDll(prefix.host(path), machine, strings);
    }
    // A zip package at `path` holding `entries` (its folder made first).
    void package(const std::string& path, const std::vector<testsupport::ZipEntry>& entries) const {
        std::filesystem::create_directories(prefix.host(path).parent_path());
        testsupport::writeZip(prefix.host(path), entries);
    }
    const std::vector<testsupport::LogLine>& log() const { return program.log->lines; }

    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH};
    testsupport::ComLibrary product{QUARNCUST_PATH};
    testsupport::ProgramObjects program;
};

inline std::vector<ComPtr<_CNode>> nodesOf(_CNodes* nodes) {
    std::vector<ComPtr<_CNode>> r;
    LONG n = 0;
    EXPECT_EQ(nodes->get_Count(&n), win::S_OK);
    for (LONG i = 1; i <= n; ++i) {
        win::VARIANT index = winsys::com::makeLong(i);
        ComPtr<_CNode> node;
        EXPECT_EQ(nodes->get_Item(&index, node.put()), win::S_OK);
        r.push_back(std::move(node));
    }
    return r;
}

inline std::string idOf(_CNode* node) {
    std::string id;
    node->get_Id(&id);
    return id;
}

inline Lines idsOf(_CNodes* nodes) {
    Lines r;
    for (const auto& n : nodesOf(nodes)) r.push_back(idOf(n.get()));
    return r;
}

// The node whose Id is `id`; fails the test when there is none.
inline ComPtr<_CNode> nodeById(_CNodes* nodes, const std::string& id) {
    for (auto& n : nodesOf(nodes))
        if (idOf(n.get()) == id) return n;
    ADD_FAILURE() << "no node " << id;
    return nullptr;
}

inline ComPtr<halvenlib::_CParams> paramsOf(_CNode* node) {
    ComPtr<halvenlib::_CParams> p;
    EXPECT_EQ(node->get_params(p.put()), win::S_OK);
    return p;
}

inline win::VARIANT value(_CNode* node, const std::string& name) {
    win::VARIANT key = winsys::com::makeText(name), v;
    ComPtr<halvenlib::_CParam> param;
    if (paramsOf(node)->get_Item(&key, param.put()) != win::S_OK) return winsys::com::makeError(0);
    param->get_Value(&v);
    return v;
}

// Objects read "<object>", missing parameters "<missing>".
inline std::string textOf(const win::VARIANT& v) {
    if (v.vt == win::VT_DISPATCH || v.vt == win::VT_UNKNOWN) return "<object>";
    if (v.vt == win::VT_ERROR) return "<missing>";
    std::string s;
    if (winsys::com::toText(v, &s) != win::S_OK) return "<unreadable>";
    return s;
}

inline std::string param(_CNode* node, const std::string& name) { return textOf(value(node, name)); }

// Every parameter of the record, in order.
inline Rows dump(_CNode* node) {
    Rows r;
    const auto params = paramsOf(node);
    LONG n = 0;
    params->get_Count(&n);
    for (LONG i = 1; i <= n; ++i) {
        win::VARIANT index = winsys::com::makeLong(i), v;
        ComPtr<halvenlib::_CParam> p;
        EXPECT_EQ(params->get_Item(&index, p.put()), win::S_OK);
        std::string name;
        p->get_Name(&name);
        p->get_Value(&v);
        r.emplace_back(name, textOf(v));
    }
    return r;
}

// The removal record under `name`, one line per entry.
inline Lines removal(_CNode* node, const std::string& name) {
    return testsupport::removalLines(paramsOf(node).get(), name);
}

// An entry's result that holds exactly one add-on: its id, its record rows
// and its "backupCfg" lines.
inline void expectOneAddon(_CNodes* result, const std::string& id, const Rows& record, const Lines& backup) {
    ASSERT_TRUE(result);
    const auto nodes = nodesOf(result);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(idOf(nodes[0].get()), id);
    EXPECT_EQ(dump(nodes[0].get()), record);
    EXPECT_EQ(removal(nodes[0].get(), "backupCfg"), backup);
}

} // namespace ietest
