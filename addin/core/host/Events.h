#pragma once
// Sink interfaces for the host events the add-in handles. A sink is subscribed through the source's
// Subscribe method, which returns a host::Subscription. A sink may throw HostError; the host then
// treats the event as failed and carries on.
#include <memory>

namespace host {

class Explorer;
class Item;
class PropertyPages;
class Inspector;
class CommandBarButton;

/// Events of the host application.
class ApplicationEvents {
public:
    virtual ~ApplicationEvents() = default;
    /// An item is about to be sent; setting `cancel` to true stops the send.
    virtual void ItemSend(const std::shared_ptr<Item>& item, bool& cancel) = 0;
    /// The host's Options dialog is being built; pages added to `pages` are shown in it.
    virtual void OptionsPagesAdd(const std::shared_ptr<PropertyPages>& pages) = 0;
};

/// Events of an explorer (a main window).
class ExplorerEvents {
public:
    virtual ~ExplorerEvents() = default;
    virtual void Close() = 0;
    virtual void SelectionChange() = 0;
};

/// Events of the explorers collection.
class ExplorersEvents {
public:
    virtual ~ExplorersEvents() = default;
    /// A new main window opened; the host raises it before the window shows.
    virtual void NewExplorer(const std::shared_ptr<Explorer>& explorer) = 0;
};

/// Events of the inspectors collection.
class InspectorsEvents {
public:
    virtual ~InspectorsEvents() = default;
    /// A new inspector opened; its item and command bars are usable inside the event.
    virtual void NewInspector(const std::shared_ptr<Inspector>& inspector) = 0;
};

/// Events of a command-bar button. The host raises a subscribed button's Click for a click on any
/// button that carries the same tag.
class ButtonEvents {
public:
    virtual ~ButtonEvents() = default;
    virtual void Click(const std::shared_ptr<CommandBarButton>& ctrl, bool& cancelDefault) = 0;
};

}  // namespace host
