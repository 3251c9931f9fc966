#pragma once
// The host application object.
#include <memory>
#include <string>

#include "addin/core/host/Events.h"
#include "addin/core/host/Object.h"

namespace host {

class Explorer;
class Explorers;
class Inspector;
class Inspectors;

/// The host application.
class Application : public Object {
public:
    /// The host's version text; it starts with the major version before the first ".".
    virtual std::u16string Version() = 0;
    /// The active main window; empty when the host runs without one.
    virtual std::shared_ptr<Explorer> ActiveExplorer() = 0;
    /// The active item window; empty when none is open.
    virtual std::shared_ptr<Inspector> ActiveInspector() = 0;
    virtual std::shared_ptr<host::Inspectors> Inspectors() = 0;
    virtual std::shared_ptr<host::Explorers> Explorers() = 0;
    /// Subscribes `sink` to ItemSend and OptionsPagesAdd.
    virtual Subscription Subscribe(ApplicationEvents& sink) = 0;
};

}  // namespace host
