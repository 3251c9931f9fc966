#include "com/Guard.h"

#include <oleauto.h>

#include <new>
#include <string>

#include "base/HostError.h"
#include "com/ComPtr.h"
#include "com/FailureReport.h"

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
    auto info = create.tryQuery<IErrorInfo>();
    if (info) SetErrorInfo(0, info.get());
}

}  // namespace

HRESULT currentExceptionStatus(bool setErrorInfo, std::source_location where) noexcept {
    if (setErrorInfo) SetErrorInfo(0, nullptr);  // no stale description from an earlier failure
    try {
        throw;
    } catch (const HostError& e) {
        if (setErrorInfo && !e.text.empty()) publishErrorText(e.text);
        const HRESULT status = FAILED(e.status) ? static_cast<HRESULT>(e.status) : E_FAIL;
        reportFailure(status, e.text, where);
        return status;
    } catch (const std::bad_alloc&) {
        reportFailure(E_OUTOFMEMORY, u"out of memory", where);
        return E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        std::u16string text;
        try {
            for (const char* c = e.what(); c && *c; ++c) text += static_cast<char16_t>(static_cast<unsigned char>(*c));
        } catch (...) {
        }
        reportFailure(E_UNEXPECTED, text, where);
        return E_UNEXPECTED;
    } catch (...) {
        reportFailure(E_UNEXPECTED, u"an exception of an unknown type", where);
        return E_UNEXPECTED;
    }
}

}  // namespace com
