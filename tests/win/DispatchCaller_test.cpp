#include "com/DispatchCaller.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

#include "base/HostError.h"
#include "com/Strings.h"
#include "tests/win/TestSupport.h"
#include "tests/win/server/TestObject.h"

using com::ComPtr;
using com::DispatchCaller;
using com::Variant;

namespace {

void ExpectHostError(const std::function<void()>& call, HRESULT status, const std::u16string& text) {
    SCOPED_TRACE("expected HostError");
    try {
        call();
        ADD_FAILURE() << "no HostError thrown";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, status);
        EXPECT_EQ(e.text, text);
    }
}

// --- Against the test object, through its type library -----------------------------------------

class DispatchCallerTest : public ::testing::Test {
protected:
    testing_support::Apartment apartment;
    ComPtr<TestObject> object = com::make<TestObject>();
    DispatchCaller caller{object.query<IDispatch>(), __uuidof(ITallowbyTest)};
};

TEST_F(DispatchCallerTest, PutThenGetAProperty) {
    caller.put(u"Name", Variant(u"Vorlage"));
    EXPECT_EQ(caller.get(u"Name").toString(), u"Vorlage");
}

TEST_F(DispatchCallerTest, ByReferenceArgumentsComeBackChanged) {
    LONG number = 8;
    (void)caller.call(u"Twice", {Variant::byRef(&number)});
    EXPECT_EQ(number, 16);

    com::Bstr text(u"file");
    (void)caller.call(u"Append", {Variant::byRef(text.put()), Variant(u".txt")});
    EXPECT_EQ(text.str(), u".txt") << "put() empties the BSTR first";
    com::Bstr again(u"name");
    BSTR raw = again.release();
    (void)caller.call(u"Append", {Variant::byRef(&raw), Variant(u".doc")});
    EXPECT_EQ(com::Bstr::adopt(raw).str(), u"name.doc");
}

TEST_F(DispatchCallerTest, ArgumentsLeftOutArriveAsMissing) {
    EXPECT_EQ(caller.call(u"Describe", {Variant(1), Variant::missing()}).toString(), u"first=1;second=missing");
    EXPECT_EQ(caller.call(u"Describe").toString(), u"first=missing;second=missing");
}

TEST_F(DispatchCallerTest, NamedArgumentsReachTheirParameters) {
    EXPECT_EQ(caller.callNamed(u"Describe", {{u"second", Variant(u"tag")}}).toString(), u"first=missing;second=tag");
    EXPECT_EQ(caller.callNamed(u"Describe", {{u"second", Variant(2)}, {u"first", Variant(1)}}).toString(),
              u"first=1;second=2");
}

TEST_F(DispatchCallerTest, PutByReferenceStoresTheObjectItself) {
    auto child = com::make<TestObject>();
    caller.putRef(u"Child", Variant(static_cast<IDispatch*>(child.query<IDispatch>().get())));
    auto back = caller.get(u"Child").toDispatch();
    ASSERT_TRUE(back);
    EXPECT_EQ(back.query<IUnknown>(), child.query<IUnknown>());
}

TEST_F(DispatchCallerTest, MethodOrPropertyGetIsAccepted) {
    caller.put(u"Name", Variant(u"x"));
    EXPECT_EQ(caller.callOrGet(u"Name").toString(), u"x");
    LONG number = 3;
    (void)caller.callOrGet(u"Twice", {Variant::byRef(&number)});
    EXPECT_EQ(number, 6);
}

TEST_F(DispatchCallerTest, AFailureBecomesHostErrorWithTheExcepInfoText) {
    ExpectHostError([&] { (void)caller.call(u"Fail", {Variant(static_cast<int32_t>(E_ACCESSDENIED)), Variant(u"denied")}); },
                    E_ACCESSDENIED, u"denied");
    ExpectHostError([&] { (void)caller.call(u"Throw", {Variant(0)}); }, E_OUTOFMEMORY, u"");
    ExpectHostError([&] { (void)caller.call(u"Throw", {Variant(1)}); }, E_UNEXPECTED, u"");
}

TEST_F(DispatchCallerTest, AnUnknownMemberIsHostErrorUnknownName) {
    ExpectHostError([&] { (void)caller.get(u"NoSuchMember"); }, DISP_E_UNKNOWNNAME, u"");
}

TEST_F(DispatchCallerTest, TheInterfaceComesFromTypeInfoWhenNotGiven) {
    DispatchCaller discovered(object.query<IDispatch>());
    EXPECT_EQ(discovered.id(u"Twice"), 2);
}

// --- Against a recording fake: what goes over the wire -----------------------------------------

class FakeDispatch : public IDispatch {
public:
    virtual ~FakeDispatch() = default;

    struct Call {
        DISPID id;
        WORD flags;
        std::vector<VARIANT> args;  // as received: last argument first
        std::vector<DISPID> named;
        bool wantsResult;
    };

    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() noexcept override { return --refs; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) noexcept override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* out) noexcept override {
        for (UINT i = 0; i < count; ++i) {
            lookups.push_back(com::fromWide(names[i]));
            auto found = ids.find(lookups.back());
            if (found == ids.end()) return DISP_E_UNKNOWNNAME;
            out[i] = found->second;
        }
        return S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT*) noexcept override {
        Call call{id, flags, {params->rgvarg, params->rgvarg + params->cArgs},
                  {params->rgdispidNamedArgs, params->rgdispidNamedArgs + params->cNamedArgs}, result != nullptr};
        calls.push_back(call);
        if (failWith) {
            *exception = EXCEPINFO{};
            exception->pfnDeferredFillIn = &fillIn;
            return DISP_E_EXCEPTION;
        }
        if (result) {
            V_VT(result) = VT_I4;
            V_I4(result) = 7;
        }
        return S_OK;
    }

    static HRESULT STDMETHODCALLTYPE fillIn(EXCEPINFO* info) {
        info->scode = E_INVALIDARG;
        info->bstrDescription = SysAllocString(L"filled in later");
        info->pfnDeferredFillIn = nullptr;
        return S_OK;
    }

    ULONG refs = 1;
    std::map<std::u16string, DISPID> ids{{u"Count", 80}, {u"Item", 81}, {u"FindControl", 0x60030008},
                                         {u"Tag", 2}, {u"Visible", 3}};
    std::vector<std::u16string> lookups;
    std::vector<Call> calls;
    bool failWith = false;
};

class DispatchCallerWireTest : public ::testing::Test {
protected:
    FakeDispatch fake;
    const IID iface = testing_support::newGuid();  // a cache of this case's own
    DispatchCaller caller{ComPtr<IDispatch>(&fake), iface};
};

TEST_F(DispatchCallerWireTest, IdsAreLookedUpOncePerInterfaceAndName) {
    (void)caller.get(u"Count");
    (void)caller.get(u"Count");
    FakeDispatch other;
    DispatchCaller sameInterface(ComPtr<IDispatch>(&other), iface);
    (void)sameInterface.get(u"Count");
    EXPECT_EQ(fake.lookups, std::vector<std::u16string>{u"Count"});
    EXPECT_TRUE(other.lookups.empty()) << "another object of the same interface reuses the id";

    DispatchCaller otherInterface(ComPtr<IDispatch>(&other), testing_support::newGuid());
    (void)otherInterface.get(u"Count");
    EXPECT_EQ(other.lookups, std::vector<std::u16string>{u"Count"});
}

TEST_F(DispatchCallerWireTest, WithoutTypeInfoNothingIsCached) {
    DispatchCaller uncached{ComPtr<IDispatch>(&fake)};
    (void)uncached.get(u"Count");
    (void)uncached.get(u"Count");
    EXPECT_EQ(fake.lookups.size(), 2u);
}

TEST_F(DispatchCallerWireTest, ArgumentsTravelLastFirstWithMissingOnesMarked) {
    (void)caller.callOrGet(u"Item", {Variant(1), Variant::missing(), Variant(u"x")});
    ASSERT_EQ(fake.calls.size(), 1u);
    const auto& call = fake.calls[0];
    EXPECT_EQ(call.id, 81);
    EXPECT_EQ(call.flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    ASSERT_EQ(call.args.size(), 3u);
    EXPECT_EQ(V_VT(&call.args[0]), VT_BSTR);
    EXPECT_EQ(V_VT(&call.args[1]), VT_ERROR);
    EXPECT_EQ(V_ERROR(&call.args[1]), DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(V_VT(&call.args[2]), VT_I4);
    EXPECT_EQ(V_I4(&call.args[2]), 1);
    EXPECT_TRUE(call.named.empty());
}

TEST_F(DispatchCallerWireTest, NamedArgumentsCarryTheirIds) {
    EXPECT_EQ(caller.callNamed(u"FindControl", {{u"Tag", Variant(u"save")}, {u"Visible", Variant(true)}}).toLong(), 7);
    ASSERT_EQ(fake.calls.size(), 1u);
    const auto& call = fake.calls[0];
    EXPECT_EQ(call.id, 0x60030008);
    EXPECT_EQ(call.flags, DISPATCH_METHOD);
    EXPECT_EQ(call.named, (std::vector<DISPID>{2, 3}));
    ASSERT_EQ(call.args.size(), 2u);
    EXPECT_EQ(V_VT(&call.args[0]), VT_BSTR);
    EXPECT_EQ(V_VT(&call.args[1]), VT_BOOL);
    EXPECT_EQ(fake.lookups, (std::vector<std::u16string>{u"FindControl", u"Tag", u"Visible"}));
}

TEST_F(DispatchCallerWireTest, PutsNameThePropertyPutArgument) {
    caller.put(u"Count", Variant(5));
    IDispatch* picture = &fake;
    caller.putRef(u"Item", Variant(picture));
    ASSERT_EQ(fake.calls.size(), 2u);
    EXPECT_EQ(fake.calls[0].flags, DISPATCH_PROPERTYPUT);
    EXPECT_EQ(fake.calls[0].named, std::vector<DISPID>{DISPID_PROPERTYPUT});
    EXPECT_FALSE(fake.calls[0].wantsResult);
    EXPECT_EQ(fake.calls[1].flags, DISPATCH_PROPERTYPUTREF);
    EXPECT_EQ(V_VT(&fake.calls[1].args[0]), VT_DISPATCH);
}

TEST_F(DispatchCallerWireTest, DeferredExcepInfoIsFilledInForTheError) {
    fake.failWith = true;
    ExpectHostError([&] { (void)caller.get(u"Count"); }, E_INVALIDARG, u"filled in later");
}

TEST_F(DispatchCallerWireTest, TheCallerHoldsOneReferenceToTheObject) {
    EXPECT_EQ(fake.refs, 2u);
    { DispatchCaller copy = caller; }
    EXPECT_EQ(fake.refs, 2u);
}

}  // namespace
