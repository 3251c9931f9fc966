#include "com/EventSink.h"

#include <olectl.h>

#include "base/HostError.h"
#include "com/Guard.h"
#include "com/Variant.h"

namespace com {

const VARIANT& EventArgs::operator[](unsigned i) const {
    if (i >= params_.cArgs) throw HostError(DISP_E_BADPARAMCOUNT, {});
    return params_.rgvarg[params_.cArgs - 1 - i];
}

bool EventArgs::boolean(unsigned i) const {
    const VARIANT& v = (*this)[i];
    if (V_VT(&v) == VT_BOOL) return V_BOOL(&v) != VARIANT_FALSE;
    if (V_VT(&v) == (VT_BOOL | VT_BYREF)) return *V_BOOLREF(&v) != VARIANT_FALSE;
    Variant copy;
    const HRESULT hr = VariantChangeType(copy.get(), const_cast<VARIANT*>(&v), 0, VT_BOOL);
    if (FAILED(hr)) throw HostError(hr, {});
    return V_BOOL(copy.get()) != VARIANT_FALSE;
}

void EventArgs::setBoolean(unsigned i, bool value) const {
    const VARIANT& v = (*this)[i];
    if (V_VT(&v) == (VT_BOOL | VT_BYREF)) {
        *V_BOOLREF(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (V_VT(&v) == (VT_VARIANT | VT_BYREF) && V_VT(V_VARIANTREF(&v)) == VT_BOOL) {
        V_BOOL(V_VARIANTREF(&v)) = value ? VARIANT_TRUE : VARIANT_FALSE;
    } else {
        throw HostError(DISP_E_TYPEMISMATCH, {});
    }
}

ComPtr<IDispatch> EventArgs::object(unsigned i) const { return dispatchOf((*this)[i]); }

STDMETHODIMP EventSink::GetTypeInfoCount(UINT* count) noexcept {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** out) noexcept {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept { return E_NOTIMPL; }

STDMETHODIMP EventSink::Invoke(DISPID id, REFIID iid, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                               UINT*) noexcept {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (result) VariantInit(result);
    if (!connected_ || !handler_) return S_OK;
    // The handler may end the subscription, and the source need not hold the sink while it calls:
    // the sink holds itself until the handler has returned.
    const ComPtr<IDispatch> self(this);
    DISPPARAMS none{};
    return guard([&] {
        EventArgs args(params ? *params : none);
        handler_(id, args);
    });
}

void* EventSink::queryOther(REFIID iid) noexcept {
    return iid == events_ ? static_cast<IDispatch*>(this) : nullptr;
}

Subscription::Subscription(Subscription&& other) noexcept
    : point_(std::move(other.point_)), cookie_(std::exchange(other.cookie_, 0)), sink_(std::move(other.sink_)) {}

Subscription& Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        reset();
        point_ = std::move(other.point_);
        cookie_ = std::exchange(other.cookie_, 0);
        sink_ = std::move(other.sink_);
    }
    return *this;
}

Subscription Subscription::advise(IUnknown* source, const IID& events, IUnknown* sink) {
    if (!source || !sink) throw HostError(E_POINTER, {});
    auto container = ComPtr<IUnknown>(source).query<IConnectionPointContainer>();
    Subscription s;
    HRESULT hr = container->FindConnectionPoint(events, s.point_.put());
    if (FAILED(hr)) throw HostError(hr, {});
    if (!s.point_) throw HostError(CONNECT_E_NOCONNECTION, {});
    hr = s.point_->Advise(sink, &s.cookie_);
    if (FAILED(hr)) {
        s.point_.reset();
        throw HostError(hr, {});
    }
    return s;
}

Subscription Subscription::subscribe(IUnknown* source, const IID& events, EventHandler handler) {
    auto sink = make<EventSink>(events, std::move(handler));
    Subscription s = advise(source, events, sink->identity());
    s.sink_ = std::move(sink);
    return s;
}

void Subscription::reset() noexcept {
    if (point_) (void)point_->Unadvise(cookie_);
    if (sink_) sink_->disconnect();
    point_.reset();
    sink_.reset();
    cookie_ = 0;
}

}  // namespace com
