#pragma once
// The source side of events: a connection point for one dispinterface, part of its source object.
#include <windows.h>
#include <ocidl.h>

#include <initializer_list>
#include <span>
#include <vector>

#include "com/ComPtr.h"

namespace com {

/// IConnectionPoint for the dispinterface `events`, held as a member of its container object: it
/// shares the container's reference count, so it cannot outlive it.
class ConnectionPoint final : public IConnectionPoint {
public:
    ConnectionPoint(IConnectionPointContainer& container, const IID& events) noexcept
        : container_(container), events_(events) {}
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    const IID& events() const noexcept { return events_; }
    size_t connections() const noexcept { return sinks_.size(); }

    /// Calls every advised sink with `args` in declaration order (passed last first, as COM does);
    /// by-reference arguments come back changed. A sink's failure does not stop the others. The
    /// sink list is copied first, so a sink may unadvise during the call.
    void fire(DISPID id, std::span<VARIANT> args) const;

    /// Releases every sink (the source is going away).
    void clear() noexcept { sinks_.clear(); }

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
        ComPtr<IDispatch> sink;
    };

    IConnectionPointContainer& container_;
    IID events_;
    std::vector<Sink> sinks_;
    DWORD nextCookie_ = 1;
};

/// IConnectionPointContainer::FindConnectionPoint over a container's points.
[[nodiscard]] HRESULT findConnectionPoint(std::initializer_list<ConnectionPoint*> points, REFIID iid,
                                          IConnectionPoint** out) noexcept;

}  // namespace com
