#include "tests/win/server/TestObject.h"

#include <new>
#include <stdexcept>

#include "base/HostError.h"
#include "com/Guard.h"
#include "com/Strings.h"
#include "com/Variant.h"

namespace {

std::u16string describe(const VARIANT& v) {
    if (V_VT(&v) == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND) return u"missing";
    com::Variant copy;
    if (FAILED(VariantChangeType(copy.get(), const_cast<VARIANT*>(&v), 0, VT_BSTR))) return u"?";
    return com::fromBstr(V_BSTR(copy.get()));
}

}  // namespace

TestObject::TestObject() noexcept : events_(*this, __uuidof(_TallowbyTestEvents)) {}

TestObject::~TestObject() { events_.clear(); }

STDMETHODIMP TestObject::get_Name(BSTR* value) noexcept {
    if (!value) return E_POINTER;
    *value = nullptr;
    return com::guard([&] { *value = com::Bstr(name_).release(); });
}

STDMETHODIMP TestObject::put_Name(BSTR value) noexcept {
    return com::guard([&] { name_ = com::fromBstr(value); });
}

STDMETHODIMP TestObject::Twice(LONG* value) noexcept {
    if (!value) return E_POINTER;
    *value *= 2;
    return S_OK;
}

STDMETHODIMP TestObject::Append(BSTR* text, BSTR suffix) noexcept {
    if (!text) return E_POINTER;
    return com::guard([&] {
        com::Bstr joined(com::fromBstr(*text) + com::fromBstr(suffix));
        SysFreeString(*text);
        *text = joined.release();
    });
}

STDMETHODIMP TestObject::Describe(VARIANT first, VARIANT second, BSTR* text) noexcept {
    if (!text) return E_POINTER;
    *text = nullptr;
    return com::guard([&] {
        *text = com::Bstr(u"first=" + describe(first) + u";second=" + describe(second)).release();
    });
}

STDMETHODIMP TestObject::Fail(LONG status, BSTR text) noexcept {
    return com::guard([&] { throw HostError(status, com::fromBstr(text)); });
}

STDMETHODIMP TestObject::RaiseBefore(BSTR what, LONG count, VARIANT_BOOL* cancelled) noexcept {
    if (!cancelled) return E_POINTER;
    *cancelled = VARIANT_FALSE;
    return com::guard([&] {
        VARIANT_BOOL cancel = VARIANT_FALSE;
        com::Variant args[] = {com::Variant(com::fromBstr(what)), com::Variant(static_cast<int32_t>(count)),
                               com::Variant::byRef(&cancel)};
        VARIANT raw[] = {*args[0].get(), *args[1].get(), *args[2].get()};
        events_.fire(1, raw);
        *cancelled = cancel;
    });
}

STDMETHODIMP TestObject::get_Child(IDispatch** child) noexcept {
    if (!child) return E_POINTER;
    *child = com::ComPtr<IDispatch>(child_).detach();
    return S_OK;
}

STDMETHODIMP TestObject::putref_Child(IDispatch* child) noexcept {
    child_.share(child);
    return S_OK;
}

STDMETHODIMP TestObject::get_Connections(LONG* count) noexcept {
    if (!count) return E_POINTER;
    *count = static_cast<LONG>(events_.connections());
    return S_OK;
}

STDMETHODIMP TestObject::Throw(LONG kind) noexcept {
    return com::guard([&] {
        switch (kind) {
        case 0:
            throw std::bad_alloc();
        case 1:
            throw std::runtime_error("not a HostError");
        default:
            throw kind;
        }
    });
}

STDMETHODIMP TestObject::EnumConnectionPoints(IEnumConnectionPoints** out) noexcept {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TestObject::FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept {
    return com::findConnectionPoint({&events_}, iid, out);
}
