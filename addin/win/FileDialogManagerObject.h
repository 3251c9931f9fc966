#pragma once
// FileDialogManager's COM face: "Tallowby.FileDialogManager".
#include <windows.h>
#include <oaidl.h>

#include "Tallowby.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "addin/win/FileDialogManager.h"

namespace addin::win {

/// The Save As dialog through _FileDialogManager. Creation fails with the template's load failure
/// when the module has no dialog 105. The mangler must be this module's FileNameMangler
/// (E_NOINTERFACE otherwise), since the dialog calls the core mangler behind it directly.
class FileDialogManagerObject final : public com::ComObject<com::DispatchImpl<_FileDialogManager>> {
public:
    FileDialogManagerObject();

    STDMETHODIMP GetSaveAsPath(BSTR fileName, _FileNameMangler* mangler, short ordinal, short saveableCount,
                               VARIANT_BOOL* replaceWithLink, VARIANT_BOOL* openAfterSaving,
                               BSTR* result) noexcept override;

protected:
    ~FileDialogManagerObject() override = default;

private:
    FileDialogManager core_;
};

}  // namespace addin::win
