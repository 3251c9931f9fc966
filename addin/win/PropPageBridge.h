#pragma once
// PropPageBridge: the options page's one door to the add-in's in-memory preference.
#include <windows.h>

#include "Tallowby.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"

namespace addin::win {

class AddInModule;

/// Created by the options page as "Tallowby.PropPageBridge". No state of its own: get and put reach
/// Preferences::ReplaceWithLinks() of the calling thread; put (the page's Apply) also stores it.
/// Where an administrator's policy decides the box, get gives the policy's state and put keeps
/// the user's preference as it is.
class PropPageBridgeObject final : public com::ComObject<com::DispatchImpl<_PropPageBridge>> {
public:
    explicit PropPageBridgeObject(AddInModule& module) noexcept : module_(module) {}

    STDMETHODIMP get_PrefReplaceWithLinks(VARIANT_BOOL* result) noexcept override;
    STDMETHODIMP put_PrefReplaceWithLinks(VARIANT_BOOL value) noexcept override;
    STDMETHODIMP get_ShortcutsRefused(VARIANT_BOOL* result) noexcept override;
    STDMETHODIMP get_SetByAdministrator(VARIANT_BOOL* result) noexcept override;

protected:
    ~PropPageBridgeObject() override = default;

private:
    AddInModule& module_;  // where the stored value goes
};

}  // namespace addin::win
