#pragma once
// The host's main windows.
#include <cstdint>
#include <memory>

#include "addin/core/host/Events.h"
#include "addin/core/host/Object.h"

namespace host {

class Attachment;
class Explorer;
class Item;

/// The items selected in a main window's list, counted from 1, as the host took them when asked.
class Selection : public Object {
public:
    virtual int32_t Count() = 0;
    virtual std::shared_ptr<host::Item> Item(int32_t index) = 0;
};

/// The attachments selected in a main window's reading pane or an item window (version 14 on).
class AttachmentSelection : public Object {
public:
    virtual int32_t Count() = 0;
    virtual std::shared_ptr<host::Attachment> Item(int32_t index) = 0;
};

/// The collection of open main windows.
class Explorers : public Object {
public:
    /// The number of open main windows.
    virtual int32_t Count() = 0;
    /// The open main window at `index`, counted from 1.
    virtual std::shared_ptr<Explorer> Item(int32_t index) = 0;
    /// Subscribes `sink` to NewExplorer.
    virtual Subscription Subscribe(ExplorersEvents& sink) = 0;
};

/// One main window.
class Explorer : public Object {
public:
    /// Subscribes `sink` to Close and SelectionChange.
    virtual Subscription Subscribe(ExplorerEvents& sink) = 0;
    /// The items selected in the window's list.
    virtual std::shared_ptr<host::Selection> Selection() = 0;
    /// The attachments selected in the window's reading pane (version 14 on; earlier hosts fail).
    virtual std::shared_ptr<host::AttachmentSelection> AttachmentSelection() = 0;
};

}  // namespace host
