#include "addin/win/FileNameManglerObject.h"

#include <utility>

#include "addin/win/AddInClasses.h"
#include "addin/win/HostAdapters.h"
#include "com/Guard.h"
#include "com/Strings.h"

namespace addin::win {
namespace {

// IEnumVARIANT over the names: each element a VT_BSTR copy.
class NameEnumerator final : public com::ComObject<IEnumVARIANT> {
public:
    NameEnumerator(std::shared_ptr<const std::vector<std::u16string>> names, size_t next) noexcept
        : names_(std::move(names)), next_(next) {}

    STDMETHODIMP Next(ULONG count, VARIANT* out, ULONG* fetched) noexcept override {
        if (fetched) *fetched = 0;
        if (count == 0) return S_OK;
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG done = 0;
        for (; done < count && next_ < names_->size(); ++done, ++next_) {
            VariantInit(&out[done]);
            BSTR s = SysAllocStringLen(com::wide((*names_)[next_]), UINT((*names_)[next_].size()));
            if (!s) {
                for (ULONG i = 0; i < done; ++i) VariantClear(&out[i]);
                return E_OUTOFMEMORY;
            }
            V_VT(&out[done]) = VT_BSTR;
            V_BSTR(&out[done]) = s;
        }
        if (fetched) *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }

    STDMETHODIMP Skip(ULONG count) noexcept override {
        const size_t left = names_->size() - next_;
        next_ += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }

    STDMETHODIMP Reset() noexcept override {
        next_ = 0;
        return S_OK;
    }

    STDMETHODIMP Clone(IEnumVARIANT** out) noexcept override {
        return com::guardOut(out, [&] { *out = com::make<NameEnumerator>(names_, next_).detach(); });
    }

protected:
    ~NameEnumerator() override = default;

private:
    std::shared_ptr<const std::vector<std::u16string>> names_;
    size_t next_;
};

}  // namespace

FileNameManglerObject::FileNameManglerObject(AddInModule& module)
    : core_(module.Platform(), module.ConnectedHostMajor()) {}

STDMETHODIMP FileNameManglerObject::get_mItem(IDispatch** result) noexcept {
    if (!result) return E_POINTER;
    *result = com::ComPtr<IDispatch>(item_).detach();
    return S_OK;
}

STDMETHODIMP FileNameManglerObject::putref_mItem(IDispatch* item) noexcept {
    return com::guard([&] {
        com::ComPtr<IDispatch> held(item);
        core_.mItem(item ? addin::win::WrapItem(held) : nullptr);
        item_ = std::move(held);
    });
}

STDMETHODIMP FileNameManglerObject::GetFileNameMangling(BSTR* fileName, BSTR* folder,
                                                        _NameCollection** result) noexcept {
    if (!fileName || !folder) return E_POINTER;
    return com::guardOut(result, [&] {
        auto names = core_.GetFileNameMangling(com::fromBstr(*fileName), com::fromBstr(*folder));
        *result = com::make<NameCollectionObject>(std::move(names)).detach();
    });
}

NameCollectionObject::NameCollectionObject(std::vector<std::u16string> names)
    : names_(std::make_shared<const std::vector<std::u16string>>(std::move(names))) {}

STDMETHODIMP NameCollectionObject::get_Count(long* result) noexcept {
    if (!result) return E_POINTER;
    *result = static_cast<long>(names_->size());
    return S_OK;
}

STDMETHODIMP NameCollectionObject::Item(VARIANT Index, VARIANT* result) noexcept {
    if (!result) return E_POINTER;
    VariantInit(result);
    VARIANT index;
    VariantInit(&index);
    if (FAILED(VariantChangeType(&index, &Index, 0, VT_I4))) return DISP_E_TYPEMISMATCH;
    const long i = V_I4(&index);
    if (i < 1 || static_cast<size_t>(i) > names_->size()) return DISP_E_BADINDEX;
    const std::u16string& name = (*names_)[static_cast<size_t>(i) - 1];
    BSTR s = SysAllocStringLen(com::wide(name), UINT(name.size()));
    if (!s) return E_OUTOFMEMORY;
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = s;
    return S_OK;
}

STDMETHODIMP NameCollectionObject::_NewEnum(IUnknown** result) noexcept {
    return com::guardOut(result, [&] { *result = com::make<NameEnumerator>(names_, 0).detach(); });
}

}  // namespace addin::win
