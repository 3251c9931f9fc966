#pragma once
// The host's item windows.
#include <cstdint>
#include <memory>

#include "addin/core/host/Events.h"
#include "addin/core/host/Object.h"

namespace host {

class CommandBars;
class Item;

/// One item window. Each inspector has its own command bars.
class Inspector : public Object {
public:
    /// The item the window shows.
    virtual std::shared_ptr<Item> CurrentItem() = 0;
    /// The window's own command bars.
    virtual std::shared_ptr<host::CommandBars> CommandBars() = 0;
    /// True when the item is edited in the word processor.
    virtual bool IsWordMail() = 0;
};

/// The collection of open item windows, in the host's order.
class Inspectors : public Object {
public:
    virtual int32_t Count() = 0;
    /// The inspector at `index`, counted from 1.
    virtual std::shared_ptr<Inspector> Item(int32_t index) = 0;
    /// Subscribes `sink` to NewInspector.
    virtual Subscription Subscribe(InspectorsEvents& sink) = 0;
};

}  // namespace host
