#pragma once
// Receiving events from a connection point: an IDispatch sink and the RAII advise that holds it.
#include <windows.h>
#include <ocidl.h>

#include <functional>

#include "com/ComObject.h"

namespace com {

/// The arguments of one event, indexed in declaration order (the source passes them last first).
class EventArgs {
public:
    explicit EventArgs(const DISPPARAMS& params) noexcept : params_(params) {}

    unsigned size() const noexcept { return params_.cArgs; }
    /// The i-th declared argument; throws HostError(DISP_E_BADPARAMCOUNT) when there is none.
    const VARIANT& operator[](unsigned i) const;
    /// Reads a Boolean argument, by value or by reference.
    bool boolean(unsigned i) const;
    /// Writes a by-reference VT_BOOL argument back to the source (e.g. Cancel); throws HostError
    /// (DISP_E_TYPEMISMATCH) for any other kind of argument.
    void setBoolean(unsigned i, bool value) const;
    /// The object passed (by value or by reference); empty for Nothing.
    ComPtr<IDispatch> object(unsigned i) const;

private:
    const DISPPARAMS& params_;
};

/// Receives one event: its dispatch id and arguments. May throw: the sink's Invoke catches.
using EventHandler = std::function<void(DISPID id, EventArgs& args)>;

/// An IDispatch sink for the dispinterface `events`: every Invoke goes to the handler by dispatch id.
/// It holds no reference to the source, so advising it makes no cycle.
class EventSink final : public ComObject<IDispatch> {
public:
    EventSink(const IID& events, EventHandler handler) : events_(events), handler_(std::move(handler)) {}

    /// Drops the handler: events still arriving are ignored.
    void disconnect() noexcept { connected_ = false; }

    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) noexcept override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) noexcept override;

protected:
    ~EventSink() override = default;
    void* queryOther(REFIID iid) noexcept override;

private:
    IID events_;
    EventHandler handler_;
    bool connected_ = true;
};

/// One advised connection. Destroying or resetting it unadvises, then releases the connection point
/// (and through it the source): a member holding the source must be declared before this one.
class Subscription {
public:
    Subscription() noexcept = default;
    Subscription(Subscription&& other) noexcept;
    Subscription& operator=(Subscription&& other) noexcept;
    ~Subscription() { reset(); }

    /// Advises `sink` on `source`'s connection point for `events`. Throws HostError.
    [[nodiscard]] static Subscription advise(IUnknown* source, const IID& events, IUnknown* sink);

    /// Creates an EventSink for `handler` and advises it. Throws HostError.
    [[nodiscard]] static Subscription subscribe(IUnknown* source, const IID& events, EventHandler handler);

    void reset() noexcept;
    explicit operator bool() const noexcept { return static_cast<bool>(point_); }

private:
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
    ComPtr<EventSink> sink_;
};

}  // namespace com
