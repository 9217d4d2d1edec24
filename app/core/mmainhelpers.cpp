#include "app/core/mmainhelpers.h"

#include <exception>

#include "app/core/globals.h"
#include "common/interfaces/fileops.h"
#include "common/interfaces/global.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_error.h"
#include "platform/com/variant.h"

namespace sorlix::MMain {

namespace {

using halvenlib::_CCollection;
using halvenlib::_CParams;
using winsys::com::call;
using winsys::com::check;
using winsys::com::ComPtr;

std::string trimBlanks(const std::string& s) {
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

bool holds(_CCollection* c, const std::string& key) {
    win::VARIANT_BOOL present = win::VARIANT_FALSE;
    call([&] { return c->IsInCollection(key, &present); });
    return present != win::VARIANT_FALSE;
}

std::string textItem(_CCollection* c, const std::string& key) {
    win::VARIANT k = winsys::com::makeText(key);
    win::VARIANT v;
    call([&] { return c->get_Item(&k, &v); });
    std::string text;
    check(winsys::com::toText(v, &text));
    return text;
}

void addParam(_CParams* target, const std::string& name, const std::string& value) {
    win::VARIANT n = winsys::com::makeText(name);
    win::VARIANT v = winsys::com::makeText(value);
    ComPtr<halvenlib::_CParam> added;
    call([&] { return target->Add(&n, &v, added.put()); });
}

ComPtr<halvenlib::_FileOps> fileOps() {
    ComPtr<halvenlib::_FileOps> ops;
    check(winsys::com::getApplicationObject(halvenlib::CLSID_FileOps, halvenlib::_FileOps::iid, ops.putVoid()));
    return ops;
}

void logError(win::LONG number, const std::string& text) {
    if (Log) Log->LogIt(number, text, halvenlib::sevError, "MMain.AddFileInfoToResultNode");
}

} // namespace

std::string JoinPath(const std::string& Folder, const std::string& Name) {
    if (Folder.empty()) return Name;
    if (Folder.back() == '\\') return Folder + Name;
    return Folder + "\\" + Name;
}

void AddParamFromCollection(_CCollection* Source, _CParams* Target, const std::string& Key,
                            const std::string& ParamName) {
    if (!holds(Source, Key)) return;
    const std::string value = trimBlanks(textItem(Source, Key));
    if (!value.empty()) addParam(Target, ParamName, value);
}

void AddFileInfoToResultNode(halvenlib::_CNode* Node, const std::string& FileName) {
    try {
        ComPtr<halvenlib::_CGlobal> global;
        check(winsys::com::getApplicationObject(halvenlib::CLSID_CGlobal, halvenlib::_CGlobal::iid, global.putVoid()));
        ComPtr<_CCollection> info;
        call([&] { return global->FileVersionInfo(FileName, info.put()); });
        ComPtr<_CParams> params;
        call([&] { return Node->get_params(params.put()); });

        if (holds(info.get(), "CompanyName")) addParam(params.get(), "manufacturer", textItem(info.get(), "CompanyName"));
        std::string version;
        if (holds(info.get(), "ProductVersion")) version = textItem(info.get(), "ProductVersion");
        else if (holds(info.get(), "FileVersion")) version = textItem(info.get(), "FileVersion");
        addParam(params.get(), "version", version);
    } catch (const winsys::com::ComError& e) {
        logError(e.number(), e.description().empty() ? winsys::com::describeHresult(e.hresult()) : e.description());
    } catch (const std::exception& e) {
        logError(static_cast<win::LONG>(win::E_FAIL), e.what());
    }
}

void DisableWow64Redirection() {
    if (Wow64RedirectionCount == 0) {
        ComPtr<halvenlib::_FileOps> ops = fileOps();
        call([&] { return ops->Wow64DisableWow64FileSystemRedirection(); });
    }
    ++Wow64RedirectionCount;
}

void RevertWow64Redirection() {
    --Wow64RedirectionCount;
    if (Wow64RedirectionCount == 0) {
        ComPtr<halvenlib::_FileOps> ops = fileOps();
        call([&] { return ops->Wow64RevertWow64FileSystemRedirection(); });
    }
}

} // namespace sorlix::MMain
