#include "com/DispatchImpl.h"

#include <gtest/gtest.h>

#include "com/Strings.h"
#include "tests/win/TestSupport.h"
#include "tests/win/server/TestObject.h"

using com::ComPtr;

namespace {

// The test program embeds the test server's type library, so its objects serve IDispatch here too.
class DispatchImplTest : public ::testing::Test {
protected:
    testing_support::Apartment apartment;
    ComPtr<TestObject> object = com::make<TestObject>();
    ComPtr<IDispatch> dispatch = object.query<IDispatch>();
};

TEST_F(DispatchImplTest, IDispatchIsTheDualInterface) {
    EXPECT_EQ(static_cast<void*>(dispatch.get()), static_cast<void*>(object.query<ITallowbyTest>().get()));
}

TEST_F(DispatchImplTest, OneTypeInfoAtIndexZeroOnly) {
    UINT count = 0;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);

    ComPtr<ITypeInfo> info;
    ASSERT_EQ(dispatch->GetTypeInfo(0, 0, info.put()), S_OK);
    com::Bstr name;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name.str(), u"ITallowbyTest");

    ComPtr<ITypeInfo> other;
    EXPECT_EQ(dispatch->GetTypeInfo(1, 0, other.put()), DISP_E_BADINDEX);
    EXPECT_FALSE(other);
}

TEST_F(DispatchImplTest, TypeInfoIsLoadedOncePerInterface) {
    auto second = com::make<TestObject>();
    ComPtr<ITypeInfo> a, b;
    ASSERT_EQ(dispatch->GetTypeInfo(0, 0, a.put()), S_OK);
    ASSERT_EQ(second.query<IDispatch>()->GetTypeInfo(0, 0, b.put()), S_OK);
    EXPECT_TRUE(a == b);
}

TEST_F(DispatchImplTest, NamesMapToTheTypeLibrarysIds) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Twice"), const_cast<LPOLESTR>(L"Describe")};
    DISPID ids[2] = {};
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, ids), S_OK);
    EXPECT_EQ(ids[0], 2);
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &names[1], 1, 0, ids), S_OK);
    EXPECT_EQ(ids[0], 4);

    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchMember")};
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, unknown, 1, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_IDispatch, names, 1, 0, ids), DISP_E_UNKNOWNINTERFACE);
}

TEST_F(DispatchImplTest, InvokeReachesTheVtableWithByReferenceArguments) {
    LONG value = 21;
    VARIANT arg;
    V_VT(&arg) = VT_I4 | VT_BYREF;
    V_I4REF(&arg) = &value;
    DISPPARAMS params{&arg, nullptr, 1, 0};
    EXPECT_EQ(dispatch->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(value, 42);
}

TEST_F(DispatchImplTest, AFailingMethodReportsItsCodeAndTextInExcepInfo) {
    VARIANT args[2];
    com::Bstr text(u"the host says no");
    V_VT(&args[0]) = VT_BSTR;  // last argument first
    V_BSTR(&args[0]) = text.get();
    V_VT(&args[1]) = VT_I4;
    V_I4(&args[1]) = E_ACCESSDENIED;
    DISPPARAMS params{args, nullptr, 2, 0};
    EXCEPINFO info{};
    EXPECT_EQ(dispatch->Invoke(5, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, &info, nullptr), DISP_E_EXCEPTION);
    EXPECT_EQ(info.scode, E_ACCESSDENIED);
    EXPECT_EQ(com::fromBstr(info.bstrDescription), u"the host says no");
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
}

}  // namespace
