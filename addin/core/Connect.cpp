#include "addin/core/Connect.h"

#include "addin/core/ActionManager.h"
#include "addin/core/EventManager.h"
#include "addin/core/Preferences.h"
#include "addin/core/host/Application.h"
#include "base/HostError.h"

namespace addin {

Connect::Connect(Platform& platform) : platform_(platform) {}

Connect::~Connect() = default;

std::shared_ptr<EventManager> Connect::Events() {
    if (!eventManager_) eventManager_ = EventManager::Create(platform_);
    return eventManager_;
}

void Connect::OnConnection(const std::shared_ptr<host::Object>& application, int32_t,
                           const std::shared_ptr<host::AddInInstance>& addInInst) {
    if (!addInInst) throw HostError(HostStatus::Pointer, u"Object variable not set");
    const std::u16string progId = addInInst->ProgId();
    const auto events = Events();
    // A new connection has not yet seen what the host makes of a shortcut (an action manager made
    // through COM meanwhile must not make the add-in forget it: hence here, not in its constructor).
    Preferences::SetShortcutsRefused(false);
    auto actions = std::make_shared<ActionManager>(platform_);
    auto outlook = std::dynamic_pointer_cast<host::Application>(application);
    if (!outlook) throw HostError(HostStatus::NoInterface, u"Not the host's application object");
    events->InitHandler(outlook, progId, actions);
}

void Connect::OnDisconnection(int32_t) { Events()->CleanUpHandler(); }

void Connect::OnBeginShutdown() { Events()->UnInitHandler(); }

}  // namespace addin
