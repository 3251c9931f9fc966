#pragma once
// The add-in's entry: what it does when the host connects, shuts down and disconnects it.
#include <cstdint>
#include <memory>

#include "addin/core/host/AddInInstance.h"
#include "addin/core/host/Object.h"

namespace addin {

class EventManager;
class Platform;

/// The add-in entry object's behaviour. Creates the event manager on first use and a new action
/// manager per connection, and forwards the host's notices to the event manager.
class Connect {
public:
    explicit Connect(Platform& platform);
    Connect(const Connect&) = delete;
    Connect& operator=(const Connect&) = delete;
    ~Connect();

    /// Reads the add-in's ProgId first (failing before anything is created), then connects the
    /// event manager to `application`, which must be the host's application object
    /// (HostError HostStatus::NoInterface otherwise). The first failure is thrown.
    void OnConnection(const std::shared_ptr<host::Object>& application, int32_t connectMode,
                      const std::shared_ptr<host::AddInInstance>& addInInst);
    /// Deletes the add-in's buttons if the event manager still holds them.
    void OnDisconnection(int32_t removeMode);
    /// Lets go of the host.
    void OnBeginShutdown();
    void OnAddInsUpdate() noexcept {}
    void OnStartupComplete() noexcept {}

    /// Whether the event manager has been created.
    bool HasEventManager() const noexcept { return static_cast<bool>(eventManager_); }
    /// The event manager, created on first use. The ribbon's calls (markup and callbacks), which the
    /// host makes on the connection object, go to it. Callers keep the pointer while they use it.
    std::shared_ptr<EventManager> Events();

private:

    Platform& platform_;
    std::shared_ptr<EventManager> eventManager_;
};

}  // namespace addin
