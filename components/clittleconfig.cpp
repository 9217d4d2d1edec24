#include "components/clittleconfig.h"

#include "components/server.h"
#include "platform/com/class_registry.h"
#include "platform/com/error_info.h"
#include "platform/com/object.h"
#include "platform/com/variant.h"

namespace quarncust {

using namespace win;
using namespace winsys::com;
using halvenlib::_CCollection;

namespace {

constexpr const char* kSource = "Quarncust.CLittleConfig";

// Entry i of a kind is item i of each of that kind's lists; the first list
// of each kind carries the repeat-test keys.
class CLittleConfig final : public DispatchObject<_CLittleConfig> {
public:
    HRESULT init() {
        for (ComPtr<_CCollection>* list : {&files_, &fileFlags_, &subkeyRoots_, &subkeys_, &valueRoots_,
                                           &valueSubkeys_, &valueNames_})
            if (HRESULT h = createInstance(halvenlib::CLSID_CCollection, list); FAILED(h)) return h;
        return S_OK;
    }

    HRESULT AddLittleConfig(_CLittleConfig** LittleConfig) override {
        if (LittleConfig && *LittleConfig) merge(*LittleConfig);
        clearErrorInfo();
        return S_OK;
    }

    HRESULT AddFileOrFolder(const std::string& FileOrFolder, VARIANT* x64bitSystem32) override {
        VARIANT flag;
        if (x64bitSystem32) VariantCopyInd(&flag, x64bitSystem32);
        VARIANT path = makeText(FileOrFolder);
        return addEntry("_" + FileOrFolder, {{files_.get(), &path}, {fileFlags_.get(), &flag}});
    }

    HRESULT AddRegistrySubkey(LONG key, const std::string& Subkey) override {
        VARIANT root = makeLong(key), sub = makeText(Subkey);
        return addEntry(subkeyKey(key, Subkey), {{subkeyRoots_.get(), &root}, {subkeys_.get(), &sub}});
    }

    HRESULT AddRegistryValue(LONG key, const std::string& Subkey, const std::string& ValueName) override {
        VARIANT root = makeLong(key), sub = makeText(Subkey), name = makeText(ValueName);
        return addEntry(valueKey(key, Subkey, ValueName),
                        {{valueRoots_.get(), &root}, {valueSubkeys_.get(), &sub}, {valueNames_.get(), &name}});
    }

    HRESULT get_FileOrFoldersCount(LONG* count) override { return files_->get_Count(count); }
    HRESULT get_RegistrySubkeysCount(LONG* count) override { return subkeyRoots_->get_Count(count); }
    HRESULT get_RegistryValuesCount(LONG* count) override { return valueRoots_->get_Count(count); }

    HRESULT get_FileOrFolder(LONG index, std::string* path) override { return text(files_.get(), index, path); }
    HRESULT get_FileOrFolderx64bitSystem32(LONG index, VARIANT_BOOL* flag) override {
        if (!flag) return E_POINTER;
        VARIANT v;
        if (HRESULT h = item(fileFlags_.get(), index, &v); FAILED(h)) return h;
        bool b = false;
        if (FAILED(toBool(v, &b))) return raiseError(13, "Type mismatch", kSource);
        *flag = toVariantBool(b);
        return S_OK;
    }
    HRESULT get_RegistrySubkeyKey(LONG index, LONG* key) override { return number(subkeyRoots_.get(), index, key); }
    HRESULT get_RegistrySubkeySubkey(LONG index, std::string* subkey) override {
        return text(subkeys_.get(), index, subkey);
    }
    HRESULT get_RegistryValueKey(LONG index, LONG* key) override { return number(valueRoots_.get(), index, key); }
    HRESULT get_RegistryValueSubkey(LONG index, std::string* subkey) override {
        return text(valueSubkeys_.get(), index, subkey);
    }
    HRESULT get_RegistryValueValueName(LONG index, std::string* name) override {
        return text(valueNames_.get(), index, name);
    }

private:
    struct Part {
        _CCollection* list;
        VARIANT* value;
    };

    // Appends one entry across its lists unless its key is present.
    HRESULT addEntry(const std::string& key, std::initializer_list<Part> parts) {
        VARIANT_BOOL present = VARIANT_FALSE;
        _CCollection* keyed = parts.begin()->list;
        if (HRESULT h = keyed->IsInCollection(key, &present); FAILED(h)) return h;
        if (present) return S_OK;
        VARIANT k = makeText(key);
        for (const Part& p : parts)
            if (HRESULT h = p.list->Add(p.value, p.list == keyed ? &k : nullptr, nullptr, nullptr); FAILED(h))
                return h;
        return S_OK;
    }

    // Item `index` (from 1) of a list; error 9 outside 1 to the count.
    static HRESULT item(_CCollection* list, LONG index, VARIANT* out) {
        VARIANT ix = makeLong(index);
        return list->get_Item(&ix, out);
    }
    static HRESULT text(_CCollection* list, LONG index, std::string* out) {
        if (!out) return E_POINTER;
        VARIANT v;
        if (HRESULT h = item(list, index, &v); FAILED(h)) return h;
        if (FAILED(toText(v, out))) return raiseError(13, "Type mismatch", kSource);
        return S_OK;
    }
    static HRESULT number(_CCollection* list, LONG index, LONG* out) {
        if (!out) return E_POINTER;
        VARIANT v;
        if (HRESULT h = item(list, index, &v); FAILED(h)) return h;
        if (FAILED(toLong(v, out))) return raiseError(13, "Type mismatch", kSource);
        return S_OK;
    }

    // Stops at the first failure; what was merged so far stays.
    HRESULT merge(_CLittleConfig* other) {
        LONG n = 0;
        if (HRESULT h = other->get_FileOrFoldersCount(&n); FAILED(h)) return h;
        for (LONG i = 1; i <= n; ++i) {
            std::string path;
            VARIANT_BOOL flag = VARIANT_FALSE;
            if (HRESULT h = other->get_FileOrFolder(i, &path); FAILED(h)) return h;
            if (HRESULT h = other->get_FileOrFolderx64bitSystem32(i, &flag); FAILED(h)) return h;
            VARIANT f = makeBool(flag != VARIANT_FALSE);
            if (HRESULT h = AddFileOrFolder(path, &f); FAILED(h)) return h;
        }
        if (HRESULT h = other->get_RegistrySubkeysCount(&n); FAILED(h)) return h;
        for (LONG i = 1; i <= n; ++i) {
            LONG key = 0;
            std::string subkey;
            if (HRESULT h = other->get_RegistrySubkeyKey(i, &key); FAILED(h)) return h;
            if (HRESULT h = other->get_RegistrySubkeySubkey(i, &subkey); FAILED(h)) return h;
            if (HRESULT h = AddRegistrySubkey(key, subkey); FAILED(h)) return h;
        }
        if (HRESULT h = other->get_RegistryValuesCount(&n); FAILED(h)) return h;
        for (LONG i = 1; i <= n; ++i) {
            LONG key = 0;
            std::string subkey, name;
            if (HRESULT h = other->get_RegistryValueKey(i, &key); FAILED(h)) return h;
            if (HRESULT h = other->get_RegistryValueSubkey(i, &subkey); FAILED(h)) return h;
            if (HRESULT h = other->get_RegistryValueValueName(i, &name); FAILED(h)) return h;
            if (HRESULT h = AddRegistryValue(key, subkey, name); FAILED(h)) return h;
        }
        return S_OK;
    }

    ComPtr<_CCollection> files_, fileFlags_, subkeyRoots_, subkeys_, valueRoots_, valueSubkeys_, valueNames_;
};

const ClassRegistration kRegistration{
    {CLSID_CLittleConfig, "CLittleConfig", "Quarncust.CLittleConfig", 0, &createCLittleConfig},
    {{_CLittleConfig::iid, "_CLittleConfig"}}};

} // namespace

std::string subkeyKey(LONG key, const std::string& subkey) { return "_" + std::to_string(key) + "|" + subkey; }

std::string valueKey(LONG key, const std::string& subkey, const std::string& valueName) {
    std::string k = "_" + std::to_string(key) + "|";
    for (char c : subkey) {
        k += c;
        if (c == '|') k += '|';
    }
    return k + "|;" + valueName;
}

HRESULT createCLittleConfig(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    ComPtr<CLittleConfig> record = create<CLittleConfig>();
    if (HRESULT h = record->init(); FAILED(h)) return h;
    return record->QueryInterface(riid, ppv);
}

} // namespace quarncust
