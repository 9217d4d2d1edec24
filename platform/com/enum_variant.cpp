#include "platform/com/enum_variant.h"

#include <memory>

#include "platform/com/object.h"

namespace winsys::com {

namespace {

using Items = std::shared_ptr<const std::vector<VARIANT>>;

class VariantEnumerator final : public Object<win::IEnumVARIANT> {
public:
    VariantEnumerator(Items items, std::size_t position) : items_(std::move(items)), position_(position) {}

    win::HRESULT Next(win::ULONG celt, VARIANT* rgVar, win::ULONG* fetched) override {
        if (fetched) *fetched = 0;
        if (celt && !rgVar) return win::E_POINTER;
        if (celt > 1 && !fetched) return win::E_INVALIDARG;
        win::ULONG n = 0;
        for (; n < celt && position_ < items_->size(); ++n, ++position_) win::VariantCopy(&rgVar[n], &(*items_)[position_]);
        if (fetched) *fetched = n;
        return n == celt ? win::S_OK : win::S_FALSE;
    }
    win::HRESULT Skip(win::ULONG celt) override {
        const std::size_t left = items_->size() - position_;
        position_ += std::min<std::size_t>(celt, left);
        return celt <= left ? win::S_OK : win::S_FALSE;
    }
    win::HRESULT Reset() override {
        position_ = 0;
        return win::S_OK;
    }
    win::HRESULT Clone(win::IEnumVARIANT** out) override {
        if (!out) return win::E_POINTER;
        *out = create<VariantEnumerator>(items_, position_).detach();
        return win::S_OK;
    }

private:
    Items items_;
    std::size_t position_;
};

} // namespace

ComPtr<win::IEnumVARIANT> createVariantEnumerator(std::vector<VARIANT> items) {
    auto e = create<VariantEnumerator>(std::make_shared<const std::vector<VARIANT>>(std::move(items)), 0);
    return ComPtr<win::IEnumVARIANT>(e.get());
}

} // namespace winsys::com
