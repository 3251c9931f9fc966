#include "com/Guard.h"

#include <oleauto.h>

#include <new>
#include <string>

#include "com/ComPtr.h"
#include "core/HostError.h"

namespace com {
namespace {

void publishErrorText(const std::u16string& text) noexcept {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.put()))) return;
    // The text is copied by SetDescription; a null-terminated copy is needed for the call only.
    std::wstring copy;
    try {
        copy.assign(text.begin(), text.end());
    } catch (...) {
        return;
    }
    if (FAILED(create->SetDescription(copy.data()))) return;
    auto info = create.try_query<IErrorInfo>();
    if (info) SetErrorInfo(0, info.get());
}

}  // namespace

HRESULT currentExceptionStatus(bool setErrorInfo) noexcept {
    if (setErrorInfo) SetErrorInfo(0, nullptr);  // no stale description from an earlier failure
    try {
        throw;
    } catch (const HostError& e) {
        if (setErrorInfo && !e.text.empty()) publishErrorText(e.text);
        return FAILED(e.status) ? static_cast<HRESULT>(e.status) : E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace com
