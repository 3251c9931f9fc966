#include "addin/win/PropPageBridge.h"

#include "addin/core/Preferences.h"
#include "addin/win/AddInClasses.h"
#include "com/Guard.h"

namespace addin::win {

STDMETHODIMP PropPageBridgeObject::get_PrefReplaceWithLinks(VARIANT_BOOL* result) noexcept {
    if (!result) return E_POINTER;
    *result = Preferences::ReplaceWithLinks() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP PropPageBridgeObject::get_ShortcutsRefused(VARIANT_BOOL* result) noexcept {
    if (!result) return E_POINTER;
    *result = Preferences::ShortcutsRefused() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP PropPageBridgeObject::put_PrefReplaceWithLinks(VARIANT_BOOL value) noexcept {
    return com::guard([&] {
        Preferences::SetReplaceWithLinks(value != VARIANT_FALSE);
        // Stored at once, not only when the add-in lets go: from version 14 the host exits without
        // telling its add-ins (fast shutdown), and a value kept in memory alone would be lost.
        Preferences::SavePreferences(module_.Platform());
    });
}

}  // namespace addin::win
