#pragma once
// The source side of events: a connection point for one dispinterface, part of its source object.
#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <initializer_list>
#include <span>
#include <vector>

#include "com/ComPtr.h"

namespace com {

/// IConnectionPoint for the dispinterface `events`, held as a member of its container object: it
/// shares the container's reference count, so it cannot outlive it.
class ConnectionPoint final : public IConnectionPoint {
public:
    /// For a source that works only while someone listens: `firstAdvise` runs before the first
    /// sink is taken (a HostError it throws fails that Advise); `lastUnadvise` runs when the last
    /// sink leaves or the point is cleared, and must not throw.
    struct Hooks {
        std::function<void()> firstAdvise;
        std::function<void()> lastUnadvise;
    };

    ConnectionPoint(IConnectionPointContainer& container, const IID& events, Hooks hooks = {}) noexcept
        : container_(container), events_(events), hooks_(std::move(hooks)) {}
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    const IID& events() const noexcept { return events_; }
    size_t connections() const noexcept { return sinks_.size(); }

    /// Calls every advised sink with `args` in declaration order (passed last first, as COM does);
    /// by-reference arguments come back changed. A sink's failure does not stop the others. The
    /// source and every sink are held during the calls, so a sink may unadvise, or release the
    /// source's last reference, meanwhile. No failure escapes.
    void fire(DISPID id, std::span<VARIANT> args) noexcept;

    /// Releases every sink (the source is going away).
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
        ComPtr<IDispatch> sink;
    };

    IConnectionPointContainer& container_;
    IID events_;
    Hooks hooks_;
    std::vector<Sink> sinks_;
    DWORD nextCookie_ = 1;
};

/// IConnectionPointContainer::FindConnectionPoint over a container's points.
[[nodiscard]] HRESULT findConnectionPoint(std::initializer_list<ConnectionPoint*> points, REFIID iid,
                                          IConnectionPoint** out) noexcept;

}  // namespace com
