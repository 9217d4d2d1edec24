#include "common/fileops_list.h"

#include <optional>

#include "common/ccollection.h"
#include "platform/com/object.h"

namespace halvenlib {

using namespace win;
using namespace winsys::com;

namespace {

class CStdCollection final : public DispatchObject<_Collection> {
public:
    HRESULT Item(VARIANT* Index, VARIANT* result) override {
        return list_.item(Index ? *Index : makeMissing(), result);
    }
    HRESULT Add(VARIANT* Item, VARIANT* Key, VARIANT* Before, VARIANT* After) override {
        std::optional<std::string> key;
        if (!omitted(Key)) {
            std::string k;
            if (FAILED(toText(deref(*Key), &k))) return list_.raise(13);
            key = std::move(k);
        }
        return list_.add(Item ? deref(*Item) : makeEmpty(), std::move(key), Before, After);
    }
    HRESULT Count(LONG* result) override {
        *result = static_cast<LONG>(list_.count());
        return S_OK;
    }
    HRESULT Remove(VARIANT* Index) override { return list_.remove(Index ? *Index : makeMissing()); }
    HRESULT NewEnum(IUnknown** result) override { return list_.newEnum(result); }

private:
    ItemList list_{"Collection"};
};

} // namespace

ComPtr<_Collection> newTextCollection(const std::vector<std::string>& texts) {
    ComPtr<CStdCollection> c = create<CStdCollection>();
    for (const std::string& t : texts) {
        VARIANT item = makeText(t);
        VARIANT none = makeMissing();
        c->Add(&item, &none, nullptr, nullptr);
    }
    ComPtr<_Collection> out;
    c->QueryInterface(_Collection::iid, out.putVoid());
    return out;
}

} // namespace halvenlib
