#pragma once
// A connection point of a stand-in host object for one of the host's event dispinterfaces. It
// subscribes its object to the in-memory model when the first sink is advised and ends that
// subscription when the last one leaves, so the model's ledger sees the add-in's subscriptions.
#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <span>
#include <vector>

#include "com/ComPtr.h"
#include "core/host/Object.h"

namespace standin::win {

class EventPoint final : public IConnectionPoint {
public:
    /// `subscribe` makes the model subscription (may throw HostError, which fails Advise).
    EventPoint(IConnectionPointContainer& container, const IID& events, std::function<host::Subscription()> subscribe)
        : container_(container), events_(events), subscribe_(std::move(subscribe)) {}
    EventPoint(const EventPoint&) = delete;
    EventPoint& operator=(const EventPoint&) = delete;

    const IID& events() const noexcept { return events_; }
    size_t connections() const noexcept { return sinks_.size(); }

    /// Calls IDispatch::Invoke(id) on every sink with `args` given in declaration order (passed
    /// last first). By-reference arguments come back as the sinks left them. The container is kept
    /// alive during the calls; a sink may unadvise meanwhile. No failure escapes.
    void fire(DISPID id, std::span<VARIANT> args) noexcept;

    /// Ends the model subscription and releases every sink (the object is going away).
    void clear() noexcept;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override;
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return container_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() noexcept override { return container_.Release(); }
    STDMETHODIMP GetConnectionInterface(IID* iid) noexcept override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) noexcept override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) noexcept override;
    STDMETHODIMP Unadvise(DWORD cookie) noexcept override;
    STDMETHODIMP EnumConnections(IEnumConnections** out) noexcept override;

private:
    struct Sink {
        DWORD cookie;
        com::ComPtr<IDispatch> sink;
    };

    IConnectionPointContainer& container_;
    IID events_;
    std::function<host::Subscription()> subscribe_;
    host::Subscription subscription_;
    std::vector<Sink> sinks_;
    DWORD nextCookie_ = 1;
};

/// IConnectionPointContainer::FindConnectionPoint over an object's points.
[[nodiscard]] HRESULT findPoint(std::initializer_list<EventPoint*> points, REFIID iid, IConnectionPoint** out) noexcept;

}  // namespace standin::win
