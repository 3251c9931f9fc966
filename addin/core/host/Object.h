#pragma once
// The base of every host object interface, and the RAII subscription to a host object's events.
#include <functional>
#include <memory>
#include <utility>

namespace host {

/// A host object. Held as std::shared_ptr; an empty pointer is "nothing". Two references to one
/// host object may be different C++ objects (different proxies), so identity is a method.
class Object {
public:
    virtual ~Object() = default;
    /// True when `other` refers to the same host object as this one.
    virtual bool SameObject(const Object& other) const = 0;
};

/// True when both are empty, or both refer to the same host object.
inline bool SameObject(const std::shared_ptr<const Object>& a, const std::shared_ptr<const Object>& b) {
    if (!a || !b) return !a && !b;
    return a->SameObject(*b);
}

/// An event subscription: while it lives, the source calls the sink it was made for. Destroying or
/// resetting it ends the subscription. Move-only. The sink must outlive the subscription.
class Subscription {
public:
    Subscription() = default;
    /// `end` is called once, when the subscription ends; it must not throw.
    explicit Subscription(std::function<void()> end) : end_(std::move(end)) {}
    Subscription(Subscription&& other) noexcept : end_(std::exchange(other.end_, nullptr)) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            Reset();
            end_ = std::exchange(other.end_, nullptr);
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { Reset(); }

    /// Ends the subscription now; does nothing when it has already ended.
    void Reset() noexcept {
        if (auto end = std::exchange(end_, nullptr)) end();
    }
    explicit operator bool() const noexcept { return static_cast<bool>(end_); }

private:
    std::function<void()> end_;
};

/// A member "held as an event subscription": the host object and the subscription of one sink to
/// its events, set and emptied together. Emptying ends the subscription before releasing the object.
template <class T>
class Subscribed {
public:
    Subscribed() = default;
    Subscribed(const Subscribed&) = delete;
    Subscribed& operator=(const Subscribed&) = delete;
    ~Subscribed() { Reset(); }

    /// Holds `object` (may be empty) and subscribes `sink` to it, ending any earlier subscription.
    /// If subscribing fails the member is left as it was.
    template <class Sink>
    void Assign(std::shared_ptr<T> object, Sink& sink) {
        Subscription fresh = object ? object->Subscribe(sink) : Subscription{};
        Reset();
        object_ = std::move(object);
        subscription_ = std::move(fresh);
    }

    /// Ends the subscription, then releases the object.
    void Reset() noexcept {
        subscription_.Reset();
        object_.reset();
    }

    const std::shared_ptr<T>& get() const noexcept { return object_; }
    T* operator->() const noexcept { return object_.get(); }
    explicit operator bool() const noexcept { return static_cast<bool>(object_); }

private:
    std::shared_ptr<T> object_;
    Subscription subscription_;
};

}  // namespace host
