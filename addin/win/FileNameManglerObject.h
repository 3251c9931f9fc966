#pragma once
// FileNameMangler's COM face and the collection of names it returns.
#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <string>
#include <vector>

#include "Tallowby.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "addin/core/FileNameMangler.h"

/// In-module access from a FileNameMangler COM object to the core mangler behind it, so that the
/// Save As dialog handed one through its interface uses it directly. Never leaves the module.
struct IFileNameManglerCore : public IUnknown {
    virtual addin::FileNameMangler& Core() noexcept = 0;
};
__CRT_UUID_DECL(IFileNameManglerCore, 0x6d0b2c4e, 0x1f5a, 0x4b7d, 0x8e, 0x93, 0x2a, 0x41, 0xc7, 0x5e, 0x08, 0xb6)

namespace addin::win {

class AddInModule;

/// "Tallowby.FileNameMangler": the item it is lent (get and put by reference) and the suggestions.
class FileNameManglerObject final
    : public com::ComObject<com::DispatchImpl<_FileNameMangler>, IFileNameManglerCore> {
public:
    /// Takes the host's version from the module's latest connection: a mangler a caller creates has
    /// no connection of its own.
    explicit FileNameManglerObject(AddInModule& module);

    STDMETHODIMP get_mItem(IDispatch** result) noexcept override;
    STDMETHODIMP putref_mItem(IDispatch* item) noexcept override;
    STDMETHODIMP GetFileNameMangling(BSTR* fileName, BSTR* folder, _NameCollection** result) noexcept override;

    FileNameMangler& Core() noexcept override { return core_; }

protected:
    ~FileNameManglerObject() override = default;

private:
    FileNameMangler core_;
    com::ComPtr<IDispatch> item_;  // handed back by the get as it was set
};

/// A read-only collection of names, counted from 1, enumerated in order.
class NameCollectionObject final : public com::ComObject<com::DispatchImpl<_NameCollection>> {
public:
    explicit NameCollectionObject(std::vector<std::u16string> names);

    STDMETHODIMP get_Count(long* result) noexcept override;
    STDMETHODIMP Item(VARIANT Index, VARIANT* result) noexcept override;
    STDMETHODIMP _NewEnum(IUnknown** result) noexcept override;

protected:
    ~NameCollectionObject() override = default;

private:
    // Shared with the enumerators, which may outlive the collection.
    std::shared_ptr<const std::vector<std::u16string>> names_;
};

}  // namespace addin::win
