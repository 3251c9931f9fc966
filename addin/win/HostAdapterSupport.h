#pragma once
// What the host adapters share (HostAdapters.cpp, HostAdaptersBars.cpp); only they include it.
#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <optional>
#include <utility>

#include "addin/win/HostAdapters.h"
#include "com/ComPtr.h"
#include "com/DispatchCaller.h"
#include "com/EventSink.h"
#include "com/Variant.h"

namespace addin::win::adapters {

using com::ComPtr;
using com::DispatchCaller;
using com::Variant;

// What every adapter shares: the host object and its caller. Ids are cached per interface as the
// object's own type information names it, so items of different kinds never share an entry.
class Holder {
public:
    explicit Holder(ComPtr<IDispatch> object) : caller_(std::move(object)) {}
    virtual ~Holder() = default;
    const ComPtr<IDispatch>& object() const noexcept { return caller_.object(); }

protected:
    DispatchCaller caller_;
};

inline ComPtr<IUnknown> IdentityOf(IDispatch* object) noexcept {
    return ComPtr<IDispatch>(object).tryQuery<IUnknown>();
}

template <class Interface>
class Adapter : public Interface, public Holder {
public:
    explicit Adapter(ComPtr<IDispatch> object) : Holder(std::move(object)) {}

    // Two proxies of one host object answer the same IUnknown (COM's identity rule).
    bool SameObject(const host::Object& other) const override {
        const ComPtr<IDispatch> theirs = DispatchOf(other);
        if (!theirs) return false;
        const auto a = IdentityOf(object().get());
        return a && a == IdentityOf(theirs.get());
    }
};

template <class T>
Variant Optional(const std::optional<T>& value) {
    return value ? Variant(*value) : Variant::missing();
}

// The object a member returned, wrapped; empty for Nothing.
template <class Wrap>
auto Wrapped(const Variant& value, Wrap wrap) -> decltype(wrap(ComPtr<IDispatch>())) {
    ComPtr<IDispatch> object = value.toDispatch();
    if (!object) return nullptr;
    return wrap(std::move(object));
}

// Advises a sink for `events` on `source` and ties the advise to the core's subscription.
inline host::Subscription SubscribeTo(const ComPtr<IDispatch>& source, const IID& events, com::EventHandler handler) {
    auto advised = std::make_shared<com::Subscription>(
        com::Subscription::subscribe(source.get(), events, std::move(handler)));
    return host::Subscription([advised]() noexcept { advised->reset(); });
}

// A by-reference Boolean the sink may change: written back to the host even when the sink then
// fails, as a by-reference argument changed before the failure would be.
template <class Call>
void WithFlag(com::EventArgs& args, unsigned index, Call call) {
    bool flag = args.boolean(index);
    try {
        call(flag);
    } catch (...) {
        args.setBoolean(index, flag);
        throw;
    }
    args.setBoolean(index, flag);
}

// The command bars' adapters (HostAdaptersBars.cpp).
std::shared_ptr<host::CommandBars> WrapCommandBars(ComPtr<IDispatch> object);
std::shared_ptr<host::CommandBar> WrapBar(ComPtr<IDispatch> object);
std::shared_ptr<host::CommandBarControl> WrapControl(ComPtr<IDispatch> object);
std::shared_ptr<host::CommandBarButton> WrapButton(ComPtr<IDispatch> object);

}  // namespace addin::win::adapters
