#include "EventPoint.h"

#include <olectl.h>

#include "com/Guard.h"

namespace standin::win {

void EventPoint::fire(DISPID id, std::span<VARIANT> args) noexcept {
    try {
        // Declared first, released last: a sink may drop the last reference to our object.
        com::ComPtr<IUnknown> keepAlive;
        keepAlive.share(&container_);
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        const std::vector<Sink> sinks = sinks_;
        for (const Sink& s : sinks) {
            DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                              static_cast<UINT>(reversed.size()), 0};
            // The host ignores a sink's failure and goes on with the next one.
            (void)s.sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                                 nullptr);
        }
    } catch (...) {
        (void)com::currentExceptionStatus(false);
    }
}

void EventPoint::clear() noexcept {
    subscription_.Reset();
    std::vector<Sink> released;
    released.swap(sinks_);
}

STDMETHODIMP EventPoint::QueryInterface(REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IConnectionPoint) return E_NOINTERFACE;
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP EventPoint::GetConnectionInterface(IID* iid) noexcept {
    if (!iid) return E_POINTER;
    *iid = events_;
    return S_OK;
}

STDMETHODIMP EventPoint::GetConnectionPointContainer(IConnectionPointContainer** out) noexcept {
    if (!out) return E_POINTER;
    *out = &container_;
    container_.AddRef();
    return S_OK;
}

STDMETHODIMP EventPoint::Advise(IUnknown* sink, DWORD* cookie) noexcept {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    // The host asks the sink for the event dispinterface itself.
    void* raw = nullptr;
    if (FAILED(sink->QueryInterface(events_, &raw)) || !raw) return CONNECT_E_CANNOTCONNECT;
    auto dispatch = com::ComPtr<IDispatch>::adopt(static_cast<IDispatch*>(raw));
    return com::guard([&] {
        if (sinks_.empty()) subscription_ = subscribe_();
        sinks_.push_back({nextCookie_, std::move(dispatch)});
        *cookie = nextCookie_++;
    });
}

STDMETHODIMP EventPoint::Unadvise(DWORD cookie) noexcept {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->cookie != cookie) continue;
        com::ComPtr<IDispatch> released = std::move(it->sink);
        sinks_.erase(it);
        if (sinks_.empty()) subscription_.Reset();
        return S_OK;
    }
    return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP EventPoint::EnumConnections(IEnumConnections** out) noexcept {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT findPoint(std::initializer_list<EventPoint*> points, REFIID iid, IConnectionPoint** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (EventPoint* point : points) {
        if (point->events() != iid) continue;
        point->AddRef();
        *out = point;
        return S_OK;
    }
    return CONNECT_E_NOCONNECTION;
}

}  // namespace standin::win
