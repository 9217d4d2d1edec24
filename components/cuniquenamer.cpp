#include "components/cuniquenamer.h"

#include "common/interfaces/global.h"
#include "components/server.h"
#include "platform/com/class_registry.h"
#include "platform/com/error_info.h"
#include "platform/com/object.h"
#include "platform/com/safearray.h"
#include "platform/com/variant.h"

namespace quarncust {

using namespace win;
using namespace winsys::com;
using halvenlib::_CCollection;
using halvenlib::_CParam;
using halvenlib::_CParams;

namespace {

constexpr const char* kSource = "Quarncust.CUniqueNamer";
constexpr const char* kNoName = "(noname)";

std::string trimBlanks(const std::string& s) {
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// "%1 (%2)" filled by the common library's formatter.
HRESULT numbered(const std::string& name, LONG n, std::string* out) {
    ComPtr<halvenlib::_CGlobal> global;
    if (HRESULT h = getApplicationObject(halvenlib::CLSID_CGlobal, halvenlib::_CGlobal::iid, global.putVoid());
        FAILED(h))
        return h;
    SAFEARRAY* args = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    if (!args) return E_OUTOFMEMORY;
    const VARIANT values[] = {makeText(name), makeLong(n)};
    for (LONG i = 0; i < 2; ++i) SafeArrayPutElement(args, &i, &values[i]);
    std::string pattern = "%1 (%2)";
    const HRESULT h = global->FormatString(&pattern, args, out);
    SafeArrayDestroy(args);
    return h;
}

class CUniqueNamer final : public DispatchObject<_CUniqueNamer> {
public:
    HRESULT init() { return createInstance(halvenlib::CLSID_CCollection, &counts_); }

    HRESULT Rename(const std::string& s, std::string* result) override {
        if (!result) return E_POINTER;
        const std::string name = trimBlanks(s);
        VARIANT key = makeText("_" + name);
        VARIANT_BOOL present = VARIANT_FALSE;
        if (HRESULT h = counts_->IsInCollection(key.bstrVal, &present); FAILED(h)) return h;
        LONG n = 1;
        if (present) {
            VARIANT count;
            if (HRESULT h = counts_->get_Item(&key, &count); FAILED(h)) return h;
            if (HRESULT h = toLong(count, &n); FAILED(h)) return h;
            ++n;
            if (HRESULT h = numbered(name, n, result); FAILED(h)) return h;
            if (HRESULT h = counts_->Remove(&key); FAILED(h)) return h;
        } else {
            *result = name;
        }
        VARIANT stored = makeLong(n);
        return counts_->Add(&stored, &key, nullptr, nullptr);
    }

    HRESULT GenerateDisplayName(_CParams** oAddonInfo, std::string* result) override {
        if (!result) return E_POINTER;
        if (!oAddonInfo || !*oAddonInfo)
            return raiseError(91, "Object variable or With block variable not set", kSource);
        _CParams* record = *oAddonInfo;
        // A record that cannot take the name must not use up a number.
        VARIANT_BOOL named = VARIANT_FALSE;
        if (HRESULT h = record->IsInCollection("displayName", &named); FAILED(h)) return h;
        if (named)
            return raiseError(457, "This key is already associated with an element of this collection", kSource);

        std::string original;
        VARIANT_BOOL present = VARIANT_FALSE;
        if (HRESULT h = record->IsInCollection("originalName", &present); FAILED(h)) return h;
        if (present) {
            VARIANT index = makeText("originalName"), value;
            ComPtr<_CParam> param;
            if (HRESULT h = record->get_Item(&index, param.put()); FAILED(h)) return h;
            if (HRESULT h = param->get_Value(&value); FAILED(h)) return h;
            if (FAILED(toText(value, &original))) return raiseError(13, "Type mismatch", kSource);
        }
        std::string name = kNoName;
        if (!trimBlanks(original).empty())
            if (HRESULT h = Rename(original, &name); FAILED(h)) return h;

        VARIANT key = makeText("displayName"), value = makeText(name);
        ComPtr<_CParam> added;
        if (HRESULT h = record->Add(&key, &value, added.put()); FAILED(h)) return h;
        *result = name;
        return S_OK;
    }

private:
    ComPtr<_CCollection> counts_; // key "_" & trimmed name -> names given out
};

const ClassRegistration kRegistration{
    {CLSID_CUniqueNamer, "CUniqueNamer", "Quarncust.CUniqueNamer", 0, &createCUniqueNamer},
    {{_CUniqueNamer::iid, "_CUniqueNamer"}}};

} // namespace

HRESULT createCUniqueNamer(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    ComPtr<CUniqueNamer> namer = create<CUniqueNamer>();
    if (HRESULT h = namer->init(); FAILED(h)) return h;
    return namer->QueryInterface(riid, ppv);
}

} // namespace quarncust
