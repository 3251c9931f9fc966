// The test server DLL as the host meets it: registered by regsvr32, created by ProgID, called by
// name, unloaded when idle, unregistered without a trace.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "TallowbyTestServer.h"
#include "tests/win/ScenarioSupport.h"
#include "tests/win/TestSupport.h"
#include "com/DispatchCaller.h"
#include "com/EventSink.h"
#include "com/Strings.h"
#include "base/HostError.h"

using com::ComPtr;
using com::DispatchCaller;
using com::Variant;
using testing_support::guidText;
using testing_support::keyExists;

namespace {

const wchar_t* const kProgId = L"Tallowby.Test";
const wchar_t* const kDllName = L"TallowbyTestServer.dll";

std::wstring dllPath() { return testing_support::besideProgram(kDllName); }

DWORD regsvr32(bool unregister) { return testing_support::regsvr32(dllPath(), unregister); }

std::wstring clsidKey() { return L"CLSID\\" + guidText(__uuidof(TallowbyTest)); }

class TestServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(apartment.hr, S_OK);
        ASSERT_EQ(regsvr32(false), 0u) << "regsvr32 registers the server";
    }
    void TearDown() override { (void)regsvr32(true); }

    ComPtr<IDispatch> create() { return testing_support::createRegistered(kProgId); }

    testing_support::Apartment apartment;
};

TEST_F(TestServerTest, RegistrationPointsActivationAtTheDll) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, __uuidof(TallowbyTest)));
    const auto server = testing_support::stringValue(HKEY_CLASSES_ROOT, clsidKey() + L"\\InprocServer32", nullptr);
    ASSERT_TRUE(server);
    EXPECT_EQ(CompareStringOrdinal(server->c_str(), -1, dllPath().c_str(), -1, TRUE), CSTR_EQUAL);
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + guidText(LIBID_TallowbyTestLib)));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, L"Interface\\" + guidText(__uuidof(ITallowbyTest))));
}

TEST_F(TestServerTest, CreatableByProgIdAndCallableByName) {
    auto object = create();
    ASSERT_TRUE(object);
    DispatchCaller caller(object, __uuidof(ITallowbyTest));
    caller.put(u"Name", Variant(u"Anlage"));
    EXPECT_EQ(caller.get(u"Name").toString(), u"Anlage");

    LONG number = 5;
    (void)caller.call(u"Twice", {Variant::byRef(&number)});
    EXPECT_EQ(number, 10);
    com::Bstr text(u"report");
    BSTR raw = text.release();
    (void)caller.call(u"Append", {Variant::byRef(&raw), Variant(u".pdf")});
    EXPECT_EQ(com::Bstr::adopt(raw).str(), u"report.pdf");
    EXPECT_EQ(caller.callNamed(u"Describe", {{u"second", Variant(9)}}).toString(), u"first=missing;second=9");
}

TEST_F(TestServerTest, FailuresCrossTheBoundaryAsHResultsWithText) {
    DispatchCaller caller(create(), __uuidof(ITallowbyTest));
    try {
        (void)caller.call(u"Fail", {Variant(static_cast<int32_t>(E_ACCESSDENIED)), Variant(u"no access")});
        ADD_FAILURE() << "expected HostError";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, E_ACCESSDENIED);
        EXPECT_EQ(e.text, u"no access");
    }
    for (int kind : {0, 1, 2}) {
        SCOPED_TRACE(kind);
        try {
            (void)caller.call(u"Throw", {Variant(kind)});
            ADD_FAILURE() << "expected HostError";
        } catch (const HostError& e) {
            EXPECT_EQ(e.status, kind == 0 ? E_OUTOFMEMORY : E_UNEXPECTED);
        }
    }
}

TEST_F(TestServerTest, AnEventsByReferenceBooleanComesBackSet) {
    auto object = create();
    std::u16string seen;
    auto subscription = com::Subscription::subscribe(
        object.get(), __uuidof(_TallowbyTestEvents), [&](DISPID id, com::EventArgs& args) {
            EXPECT_EQ(id, 1);
            seen = com::fromBstr(V_BSTR(&args[0]));
            args.setBoolean(2, true);
        });
    DispatchCaller caller(object, __uuidof(ITallowbyTest));
    EXPECT_TRUE(caller.call(u"RaiseBefore", {Variant(u"send"), Variant(1)}).toBool());
    EXPECT_EQ(seen, u"send");
    subscription.reset();
    EXPECT_EQ(caller.get(u"Connections").toLong(), 0);
    EXPECT_FALSE(caller.call(u"RaiseBefore", {Variant(u"send"), Variant(1)}).toBool());
}

TEST_F(TestServerTest, UnloadsAfterTheLastRelease) {
    auto object = create();
    HMODULE dll = GetModuleHandleW(kDllName);
    ASSERT_NE(dll, nullptr) << "COM loaded the DLL";
    auto canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    ASSERT_NE(canUnloadNow, nullptr);
    EXPECT_EQ(canUnloadNow(), S_FALSE);

    object.reset();
    EXPECT_EQ(canUnloadNow(), S_OK);
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(GetModuleHandleW(kDllName), nullptr) << "COM unloaded the idle DLL";
}

TEST_F(TestServerTest, AnUnknownClassIsNotAvailable) {
    HMODULE dll = LoadLibraryW(dllPath().c_str());
    ASSERT_NE(dll, nullptr);
    auto getClassObject =
        reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    ASSERT_NE(getClassObject, nullptr);
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(getClassObject(__uuidof(ITallowbyTest), IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    FreeLibrary(dll);
}

TEST_F(TestServerTest, UnregisteringLeavesNoKeyBehind) {
    ASSERT_EQ(regsvr32(true), 0u);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, clsidKey()));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kProgId));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + guidText(LIBID_TallowbyTestLib)));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"Interface\\" + guidText(__uuidof(ITallowbyTest))));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"Interface\\" + guidText(__uuidof(_TallowbyTestEvents))));
    EXPECT_EQ(regsvr32(true), 0u) << "unregistering what is gone succeeds";
    CLSID clsid{};
    EXPECT_NE(CLSIDFromProgID(kProgId, &clsid), S_OK);
}

}  // namespace
