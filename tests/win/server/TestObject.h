#pragma once
// The test server's one class, also linked into the Windows test program for in-process tests.
#include <windows.h>
#include <ocidl.h>

#include <string>

#include "TallowbyTestServer.h"
#include "com/ComObject.h"
#include "com/ConnectionPoint.h"
#include "com/DispatchImpl.h"

class TestObject final : public com::ComObject<com::DispatchImpl<ITallowbyTest>, IConnectionPointContainer> {
public:
    TestObject() noexcept;

    STDMETHODIMP get_Name(BSTR* value) noexcept override;
    STDMETHODIMP put_Name(BSTR value) noexcept override;
    STDMETHODIMP Twice(LONG* value) noexcept override;
    STDMETHODIMP Append(BSTR* text, BSTR suffix) noexcept override;
    STDMETHODIMP Describe(VARIANT first, VARIANT second, BSTR* text) noexcept override;
    STDMETHODIMP Fail(LONG status, BSTR text) noexcept override;
    STDMETHODIMP RaiseBefore(BSTR what, LONG count, VARIANT_BOOL* cancelled) noexcept override;
    STDMETHODIMP get_Child(IDispatch** child) noexcept override;
    STDMETHODIMP putref_Child(IDispatch* child) noexcept override;
    STDMETHODIMP get_Connections(LONG* count) noexcept override;
    STDMETHODIMP Throw(LONG kind) noexcept override;

    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override;

protected:
    ~TestObject() override;

private:
    std::u16string name_;
    com::ComPtr<IDispatch> child_;
    com::ConnectionPoint events_;
};
