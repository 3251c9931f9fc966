#include "addin/win/FileDialogManagerObject.h"

#include "addin/win/FileNameManglerObject.h"
#include "base/HostError.h"
#include "com/ComPtr.h"
#include "com/Guard.h"
#include "com/Module.h"
#include "com/Strings.h"

namespace addin::win {

FileDialogManagerObject::FileDialogManagerObject() : core_(com::Module::handle()) {}

STDMETHODIMP FileDialogManagerObject::GetSaveAsPath(BSTR fileName, _FileNameMangler* mangler, short ordinal,
                                                    short saveableCount, VARIANT_BOOL* replaceWithLink,
                                                    VARIANT_BOOL* openAfterSaving, BSTR* result) noexcept {
    if (!replaceWithLink || !openAfterSaving || !result) return E_POINTER;
    *result = nullptr;
    if (!mangler) return E_POINTER;
    // The dialog is modal: whatever its caller does meanwhile, this object (its template and its
    // folder) stays until the dialog has returned.
    const com::ComPtr<IUnknown> self(identity());
    return com::guard([&] {
        // Held for the whole dialog: the hook uses the mangler until the dialog closes.
        const auto core = com::ComPtr<_FileNameMangler>(mangler).tryQuery<IFileNameManglerCore>();
        if (!core) throw HostError(HostStatus::NoInterface, u"The mangler is not a Tallowby.FileNameMangler");
        bool replace = *replaceWithLink != VARIANT_FALSE;
        bool open = *openAfterSaving != VARIANT_FALSE;
        const std::u16string path =
            core_.GetSaveAsPath(com::fromBstr(fileName), core->Core(), ordinal, saveableCount, replace, open);
        *result = com::Bstr(path).release();
        *replaceWithLink = replace ? VARIANT_TRUE : VARIANT_FALSE;
        *openAfterSaving = open ? VARIANT_TRUE : VARIANT_FALSE;
    });
}

}  // namespace addin::win
