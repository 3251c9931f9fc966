#include "addin/win/PropPageBridge.h"

#include "addin/core/Policies.h"
#include "addin/core/Preferences.h"
#include "addin/win/AddInClasses.h"
#include "com/Guard.h"

namespace addin::win {

STDMETHODIMP PropPageBridgeObject::get_PrefReplaceWithLinks(VARIANT_BOOL* result) noexcept {
    if (!result) return E_POINTER;
    return com::guard([&] {
        const Policies::Effective policies = Policies::Read(module_.Platform());
        *result = policies.StartsTicked(Preferences::ReplaceWithLinks()) ? VARIANT_TRUE : VARIANT_FALSE;
    });
}

STDMETHODIMP PropPageBridgeObject::get_SetByAdministrator(VARIANT_BOOL* result) noexcept {
    if (!result) return E_POINTER;
    return com::guard([&] { *result = Policies::Read(module_.Platform()).Locked() ? VARIANT_TRUE : VARIANT_FALSE; });
}

STDMETHODIMP PropPageBridgeObject::get_ShortcutsRefused(VARIANT_BOOL* result) noexcept {
    if (!result) return E_POINTER;
    *result = Preferences::ShortcutsRefused() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP PropPageBridgeObject::put_PrefReplaceWithLinks(VARIANT_BOOL value) noexcept {
    return com::guard([&] {
        // A policy's state is not the user's preference: the stored one stays for when it is lifted.
        if (Policies::Read(module_.Platform()).Locked()) return;
        Preferences::SetReplaceWithLinks(value != VARIANT_FALSE);
        // Stored at once, not only when the add-in lets go: from version 14 the host exits without
        // telling its add-ins (fast shutdown), and a value kept in memory alone would be lost.
        Preferences::SavePreferences(module_.Platform());
    });
}

}  // namespace addin::win
