#include "standin/win/EventPoint.h"

#include <olectl.h>

namespace standin::win {

EventPoint::EventPoint(IConnectionPointContainer& container, const IID& events,
                       std::function<host::Subscription()> subscribe)
    : subscribe_(std::move(subscribe)),
      point_(container, events, {[this] { subscription_ = subscribe_(); }, [this] { subscription_.Reset(); }}) {}

HRESULT FindPoint(std::initializer_list<EventPoint*> points, REFIID iid, IConnectionPoint** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (EventPoint* point : points) {
        if (point->point().events() != iid) continue;
        return com::findConnectionPoint({&point->point()}, iid, out);
    }
    return CONNECT_E_NOCONNECTION;
}

}  // namespace standin::win
