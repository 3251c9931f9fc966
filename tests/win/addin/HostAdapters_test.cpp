// What the host adapters derive from the host objects themselves: type names (class information
// first, then the dispatch interface, one leading "_" removed) and object identity across proxies.
#include "addin/win/HostAdapters.h"

#include <windows.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include "addin/win/AddInClasses.h"
#include "com/ComObject.h"
#include "com/DispatchImpl.h"
#include "tests/win/TestSupport.h"

namespace {

using com::ComPtr;

// An automation object whose class information and dispatch interface tell different names, so a
// test sees which one was asked.
class ClassInfoObject final : public com::ComObject<com::DispatchImpl<_EventManager>, IProvideClassInfo> {
public:
    explicit ClassInfoObject(const GUID& coclass) noexcept : coclass_(coclass) {}

    STDMETHODIMP GetClassInfo(ITypeInfo** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        ComPtr<ITypeInfo> any;
        HRESULT hr = com::moduleTypeInfo(IID__EventManager, false, any.put());
        if (FAILED(hr)) return hr;
        ComPtr<ITypeLib> lib;
        UINT index = 0;
        hr = any->GetContainingTypeLib(lib.put(), &index);
        if (FAILED(hr)) return hr;
        return lib->GetTypeInfoOfGuid(coclass_, out);
    }
    STDMETHODIMP InitHandler(IDispatch*, BSTR, _ActionManager*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP UnInitHandler() noexcept override { return E_NOTIMPL; }
    STDMETHODIMP CleanUpHandler() noexcept override { return E_NOTIMPL; }

protected:
    ~ClassInfoObject() override = default;

private:
    GUID coclass_;
};

class HostAdaptersTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(apartment.hr, S_OK); }
    testing_support::Apartment apartment;
};

TEST_F(HostAdaptersTest, TypeNameComesFromTheClassInformationFirst) {
    auto object = com::make<ClassInfoObject>(CLSID_ActionManager);
    EXPECT_EQ(addin::win::TypeNameOf(object.get()), u"ActionManager") << "the class's name, not _EventManager";
    EXPECT_EQ(addin::win::WrapItem(ComPtr<IDispatch>(object.get()))->TypeName(), u"ActionManager");
}

TEST_F(HostAdaptersTest, TypeNameFallsBackToTheInterfaceWithoutItsUnderscore) {
    auto object = com::make<addin::win::ActionManagerObject>(addin::win::AddInModule::Instance());
    EXPECT_EQ(addin::win::TypeNameOf(object.get()), u"ActionManager");
    EXPECT_EQ(addin::win::TypeNameOf(nullptr), u"");
}

TEST_F(HostAdaptersTest, SameObjectComparesIdentityNotInterfacePointers) {
    auto connect = com::make<addin::win::ConnectObject>(addin::win::AddInModule::Instance());
    auto asConnect = ComPtr<IUnknown>(connect->identity()).query<IDispatch>();
    auto asAddIn = ComPtr<IUnknown>(connect->identity()).query<_IDTExtensibility2>();
    ASSERT_NE(static_cast<IDispatch*>(asAddIn.get()), asConnect.get()) << "two different interface pointers";

    const auto a = addin::win::WrapObject(asConnect);
    const auto b = addin::win::WrapObject(ComPtr<IDispatch>(asAddIn.get()));
    EXPECT_TRUE(a->SameObject(*b));
    EXPECT_TRUE(b->SameObject(*a));
    const auto other = addin::win::WrapObject(ComPtr<IDispatch>(com::make<addin::win::ActionManagerObject>(addin::win::AddInModule::Instance()).get()));
    EXPECT_FALSE(a->SameObject(*other));
    EXPECT_EQ(addin::win::DispatchOf(*a), asConnect);
}

}  // namespace
