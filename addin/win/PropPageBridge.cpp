#include "win/PropPageBridge.h"

#include "core/Preferences.h"

namespace addin {

STDMETHODIMP PropPageBridgeObject::get_PrefReplaceWithLinks(VARIANT_BOOL* result) noexcept {
    if (!result) return E_POINTER;
    *result = Preferences::ReplaceWithLinks() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP PropPageBridgeObject::put_PrefReplaceWithLinks(VARIANT_BOOL value) noexcept {
    Preferences::SetReplaceWithLinks(value != VARIANT_FALSE);
    return S_OK;
}

}  // namespace addin
