#pragma once
// A connection point of a stand-in host object for one of the host's event dispinterfaces. It
// subscribes its object to the in-memory model when the first sink is advised and ends that
// subscription when the last one leaves, so the model's ledger sees the add-in's subscriptions.
#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <initializer_list>
#include <span>

#include "addin/core/host/Object.h"
#include "com/ConnectionPoint.h"

namespace standin::win {

class EventPoint {
public:
    /// `subscribe` makes the model subscription (may throw HostError, which fails Advise).
    EventPoint(IConnectionPointContainer& container, const IID& events, std::function<host::Subscription()> subscribe);
    EventPoint(const EventPoint&) = delete;
    EventPoint& operator=(const EventPoint&) = delete;

    size_t connections() const noexcept { return point_.connections(); }
    /// Calls every sink (com::ConnectionPoint::fire): the object and the sinks are held meanwhile.
    void fire(DISPID id, std::span<VARIANT> args) noexcept { point_.fire(id, args); }
    /// Fires as `fire`; returns how many sinks were advised when it began (what the transcript says).
    size_t fireCounting(DISPID id, std::span<VARIANT> args) noexcept {
        const size_t sinks = connections();
        fire(id, args);
        return sinks;
    }
    /// Ends the model subscription and releases every sink (the object is going away).
    void clear() noexcept { point_.clear(); }
    com::ConnectionPoint& point() noexcept { return point_; }

private:
    std::function<host::Subscription()> subscribe_;
    host::Subscription subscription_;
    com::ConnectionPoint point_;
};

/// IConnectionPointContainer::EnumConnectionPoints, which the stand-in's objects do not offer: the
/// add-in finds its points by interface.
[[nodiscard]] inline HRESULT EnumPoints(IEnumConnectionPoints** out) noexcept {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}
/// IConnectionPointContainer::FindConnectionPoint over an object's points.
[[nodiscard]] HRESULT FindPoint(std::initializer_list<EventPoint*> points, REFIID iid, IConnectionPoint** out) noexcept;

}  // namespace standin::win
