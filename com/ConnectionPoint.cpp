#include "com/ConnectionPoint.h"

#include <olectl.h>

#include "com/Guard.h"

namespace com {

void ConnectionPoint::fire(DISPID id, std::span<VARIANT> args) noexcept {
    try {
        // Declared first, released last: a sink may drop the last reference to the source.
        ComPtr<IUnknown> keepAlive(static_cast<IUnknown*>(&container_));
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
        (void)currentExceptionStatus(false);
    }
}

void ConnectionPoint::clear() noexcept {
    const bool had = !sinks_.empty();
    std::vector<Sink> released;
    released.swap(sinks_);
    if (had && hooks_.lastUnadvise) hooks_.lastUnadvise();
}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IConnectionPoint) return E_NOINTERFACE;
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) noexcept {
    if (!iid) return E_POINTER;
    *iid = events_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) noexcept {
    if (!out) return E_POINTER;
    *out = &container_;
    container_.AddRef();
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) noexcept {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    // Sources ask the sink for the dispinterface itself, as the host's do; plain IDispatch is not enough.
    void* raw = nullptr;
    if (FAILED(sink->QueryInterface(events_, &raw)) || !raw) return CONNECT_E_CANNOTCONNECT;
    auto dispatch = ComPtr<IDispatch>::adopt(static_cast<IDispatch*>(raw));
    return guard([&] {
        if (sinks_.empty() && hooks_.firstAdvise) hooks_.firstAdvise();
        sinks_.push_back({nextCookie_, std::move(dispatch)});
        *cookie = nextCookie_++;
    });
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) noexcept {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->cookie != cookie) continue;
        // Released after leaving the list, so a sink's destructor sees a consistent point.
        ComPtr<IDispatch> released = std::move(it->sink);
        sinks_.erase(it);
        if (sinks_.empty() && hooks_.lastUnadvise) hooks_.lastUnadvise();
        return S_OK;
    }
    return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** out) noexcept {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT findConnectionPoint(std::initializer_list<ConnectionPoint*> points, REFIID iid, IConnectionPoint** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (ConnectionPoint* point : points) {
        if (point->events() != iid) continue;
        point->AddRef();
        *out = point;
        return S_OK;
    }
    return CONNECT_E_NOCONNECTION;
}

}  // namespace com
