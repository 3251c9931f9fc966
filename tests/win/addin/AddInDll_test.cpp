// Tallowby.dll as the host meets it: registered by regsvr32 (classes, type library, the host's
// add-in entry), its classes created by ProgID and called through their interfaces and by name,
// unloaded when idle, and unregistered without touching anyone else's entries.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Tallowby.h"
#include "tests/win/DebugOutput.h"
#include "tests/win/ScenarioSupport.h"
#include "tests/win/TestSupport.h"
#include "com/DispatchCaller.h"
#include "com/Strings.h"
#include "base/HostError.h"

using com::ComPtr;
using com::DispatchCaller;
using com::Variant;
using testing_support::guidText;
using testing_support::keyExists;

namespace {

const wchar_t* const kAddInsKey = L"Software\\Microsoft\\Office\\Outlook\\Addins";
const wchar_t* const kAddInKey = L"Software\\Microsoft\\Office\\Outlook\\Addins\\Tallowby.Connect";
const wchar_t* const kDllName = L"Tallowby.dll";
// The host's own registration of its add-in interface, which ours must never touch.
const wchar_t* const kHostInterfaceKey = L"Interface\\{B65AD801-ABAF-11D0-BB8B-00A0C90F2744}";
const wchar_t* const kHostLibrary = L"{AC0714F2-3D04-11D1-AE7D-00A0C90F26F4}";

struct ClassCase {
    const CLSID* clsid;
    const wchar_t* progId;
};
const ClassCase kClasses[] = {{&CLSID_Connect, L"Tallowby.Connect"},
                              {&CLSID_EventManager, L"Tallowby.EventManager"},
                              {&CLSID_ActionManager, L"Tallowby.ActionManager"},
                              {&CLSID_FileNameMangler, L"Tallowby.FileNameMangler"},
                              {&CLSID_FileDialogManager, L"Tallowby.FileDialogManager"}};

std::wstring dllPath() { return testing_support::windowsPath(TALLOWBY_DLL_PATH); }

DWORD regsvr32(bool unregister) { return testing_support::regsvr32(dllPath(), unregister); }

// Registry names here are ASCII: enough for test messages.
std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

struct RegistryValue {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
};

// Every value of a key, read with RegQueryValueExW; nothing when the key is missing.
std::optional<std::vector<RegistryValue>> valuesOf(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    std::vector<RegistryValue> values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        RegistryValue value{name, 0, {}};
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size), ERROR_SUCCESS);
        value.data.resize(size);
        EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size), ERROR_SUCCESS);
        values.push_back(std::move(value));
    }
    DWORD subkeys = 0;
    EXPECT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 0u) << "no subkeys under " << narrow(path);
    RegCloseKey(key);
    return values;
}

std::wstring textOf(const RegistryValue& value) {
    return std::wstring(reinterpret_cast<const wchar_t*>(value.data.data()), value.data.size() / sizeof(wchar_t));
}

void writeString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// The class's registered in-process server is this DLL.
void expectServedByTheDll(const std::wstring& clsidKey) {
    const auto server = testing_support::stringValue(HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32", nullptr);
    ASSERT_TRUE(server);
    EXPECT_EQ(CompareStringOrdinal(server->c_str(), -1, dllPath().c_str(), -1, TRUE), CSTR_EQUAL);
}

class AddInDllTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(apartment.hr, S_OK);
        ASSERT_EQ(regsvr32(false), 0u) << "regsvr32 registers the add-in";
    }
    void TearDown() override { (void)regsvr32(true); }

    ComPtr<IDispatch> create(const wchar_t* progId) { return testing_support::createRegistered(progId); }

    testing_support::Apartment apartment;
};

TEST_F(AddInDllTest, TheHostsAddInEntryHoldsExactlyItsThreeValues) {
    const auto values = valuesOf(HKEY_CURRENT_USER, kAddInKey);
    ASSERT_TRUE(values);
    ASSERT_EQ(values->size(), 3u);
    for (const RegistryValue& value : *values) {
        SCOPED_TRACE(narrow(value.name));
        if (value.name == L"FriendlyName") {
            EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
            EXPECT_EQ(textOf(value), std::wstring(L"Quenmark Save Attachments") + L'\0');
        } else if (value.name == L"Description") {
            EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
            EXPECT_EQ(textOf(value), std::wstring(L"Provides useful options for saving attachments") + L'\0');
        } else if (value.name == L"LoadBehavior") {
            EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD));
            ASSERT_EQ(value.data.size(), sizeof(DWORD));
            EXPECT_EQ(*reinterpret_cast<const DWORD*>(value.data.data()), 3u);
        } else {
            ADD_FAILURE() << "unexpected value in the add-in entry";
        }
    }
}

TEST_F(AddInDllTest, EveryClassIsRegisteredMachineWideWithItsProgId) {
    for (const ClassCase& cls : kClasses) {
        SCOPED_TRACE(narrow(cls.progId));
        const std::wstring key = L"CLSID\\" + guidText(*cls.clsid);
        ASSERT_NO_FATAL_FAILURE(expectServedByTheDll(key));
        EXPECT_EQ(testing_support::stringValue(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", L"ThreadingModel"),
                  std::wstring(L"Apartment"));
        EXPECT_EQ(testing_support::stringValue(HKEY_CLASSES_ROOT, key + L"\\ProgID", nullptr), std::wstring(cls.progId));
        EXPECT_EQ(testing_support::stringValue(HKEY_CLASSES_ROOT, std::wstring(cls.progId) + L"\\CLSID", nullptr),
                  guidText(*cls.clsid));
        CLSID found{};
        ASSERT_EQ(CLSIDFromProgID(cls.progId, &found), S_OK);
        EXPECT_TRUE(IsEqualCLSID(found, *cls.clsid));
    }
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + guidText(LIBID_Tallowby) + L"\\1.0"));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, L"Interface\\" + guidText(IID__ActionManager)));
}

TEST_F(AddInDllTest, TheHostsAddInInterfaceIsNotOurs) {
    // The type library describes only our own interfaces: _IDTExtensibility2 stays the host's.
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kHostInterfaceKey));
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(LoadTypeLibEx(dllPath().c_str(), REGKIND_NONE, lib.put()), S_OK);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(lib->GetTypeInfoOfGuid(IID__IDTExtensibility2, info.put()), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(lib->GetTypeInfoOfGuid(CLSID_Connect, info.put()), S_OK);
}

TEST_F(AddInDllTest, ConnectOffersTheHostsAddInInterfaceAndItsQuietNotices) {
    auto connect = create(L"Tallowby.Connect");
    ASSERT_TRUE(connect);
    auto addIn = connect.tryQuery<_IDTExtensibility2>();
    ASSERT_TRUE(addIn);
    EXPECT_TRUE(connect.tryQuery<_Connect>());
    SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
    EXPECT_EQ(addIn->OnAddInsUpdate(&custom), S_OK);
    EXPECT_EQ(addIn->OnStartupComplete(&custom), S_OK);
    SafeArrayDestroy(custom);
    // Through IDispatch by name, as a late-bound host would call it.
    DispatchCaller caller(connect, IID__IDTExtensibility2);
    EXPECT_NO_THROW((void)caller.call(u"OnStartupComplete", {Variant()}));
    EXPECT_NO_THROW((void)caller.call(u"onaddinsupdate", {Variant()}));
}

TEST_F(AddInDllTest, ConnectOffersTheRibbonsInterfaceAsAPartOfItself) {
    auto connect = create(L"Tallowby.Connect");
    auto ribbon = connect.tryQuery<IRibbonExtensibility>();
    ASSERT_TRUE(ribbon);
    // One object: one identity, and the object's other interfaces reached from the part.
    EXPECT_TRUE(ribbon.query<IUnknown>() == connect.query<IUnknown>());
    EXPECT_TRUE(ribbon.tryQuery<_IDTExtensibility2>());
    EXPECT_TRUE(ribbon.query<IRibbonExtensibility>() == ribbon);
    // Not connected: nothing for any window.
    com::Bstr id(u"Microsoft.Outlook.Mail.Read");
    BSTR xml = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(ribbon->GetCustomUI(id.get(), &xml), S_OK);
    EXPECT_EQ(SysStringLen(xml), 0u);
    SysFreeString(xml);
    EXPECT_EQ(ribbon->GetCustomUI(id.get(), nullptr), E_POINTER);
}

TEST_F(AddInDllTest, BothDispatchFacesFindTheRibbonsCallbacksByName) {
    auto connect = create(L"Tallowby.Connect");
    ComPtr<IDispatch> part = connect.query<IRibbonExtensibility>();
    const auto idOf = [](IDispatch* face, const wchar_t* name, HRESULT expected) {
        std::wstring text = name;
        LPOLESTR names[] = {text.data()};
        DISPID id = 0;
        EXPECT_EQ(face->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), expected) << narrow(text);
        return id;
    };
    for (const wchar_t* callback :
         {L"OnRibbonLoad", L"OnRibbonAction", L"GetRibbonEnabled", L"GetRibbonVisible", L"GetRibbonImage",
          L"OnExplorerRibbonLoad"}) {
        const DISPID id = idOf(connect.get(), callback, S_OK);
        EXPECT_EQ(idOf(part.get(), callback, S_OK), id);
        std::wstring lower = callback;
        for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
        EXPECT_EQ(idOf(part.get(), lower.c_str(), S_OK), id);
        EXPECT_GT(id, 5);  // clear of _IDTExtensibility2's ids
    }
    // Dispatch id 1 is OnConnection on the object, GetCustomUI on the part.
    EXPECT_EQ(idOf(connect.get(), L"OnConnection", S_OK), 1);
    idOf(connect.get(), L"GetCustomUI", DISP_E_UNKNOWNNAME);
    EXPECT_EQ(idOf(part.get(), L"GetCustomUI", S_OK), 1);
    idOf(part.get(), L"OnConnection", DISP_E_UNKNOWNNAME);
    idOf(part.get(), L"GetRibbonEnabledX", DISP_E_UNKNOWNNAME);
    DispatchCaller late(part, IID_IRibbonExtensibility);
    EXPECT_EQ(late.call(u"GetCustomUI", {Variant(u"Microsoft.Outlook.Explorer")}).toString(), u"");

    // A callback needs its one argument, and with nothing connected it fails with a status.
    const DISPID enabled = idOf(part.get(), L"GetRibbonEnabled", S_OK);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    Variant result;
    EXPECT_EQ(part->Invoke(enabled, IID_NULL, 0, DISPATCH_METHOD, &none, result.put(), nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    Variant nothing(static_cast<IDispatch*>(nullptr));
    DISPPARAMS one{nothing.get(), nullptr, 1, 0};
    EXPECT_EQ(part->Invoke(enabled, IID_NULL, 0, DISPATCH_METHOD, &one, result.put(), nullptr, nullptr), E_POINTER);
    EXPECT_EQ(connect->Invoke(enabled, IID_NULL, 0, DISPATCH_PROPERTYPUT, &one, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

TEST_F(AddInDllTest, ConnectionFailsBeforeAnythingWhenTheAddInHasNoProgId) {
    auto connect = create(L"Tallowby.Connect");
    auto addIn = connect.tryQuery<_IDTExtensibility2>();
    ASSERT_TRUE(addIn);
    // An add-in instance without ProgId: any automation object of ours lacks the member.
    auto notAnAddIn = create(L"Tallowby.ActionManager");
    EXPECT_EQ(addIn->OnConnection(notAnAddIn.get(), ext_cm_Startup, notAnAddIn.get(), nullptr), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(addIn->OnConnection(notAnAddIn.get(), ext_cm_Startup, nullptr, nullptr), E_POINTER);
    // Nothing connected, so shutting down and disconnecting have nothing to do.
    EXPECT_EQ(addIn->OnBeginShutdown(nullptr), S_OK);
    EXPECT_EQ(addIn->OnDisconnection(ext_dm_UserClosed, nullptr), S_OK);
}

TEST_F(AddInDllTest, ActionManagerAnswersItsConstantsThroughTheTypeLibrary) {
    DispatchCaller caller(create(L"Tallowby.ActionManager"), IID__ActionManager);
    EXPECT_EQ(caller.call(u"GetCaption").toString(), u"Save Attachments");
    EXPECT_EQ(caller.call(u"GetTag").toString(), u"10624a9e-43e2-4463-bb73-fea2416b296a");
    EXPECT_EQ(caller.call(u"GetImageResourceId").toLong(), 106);
    EXPECT_EQ(caller.call(u"GetImageMaskResourceId").toLong(), 110);
    // Nothing is no item: no readable attachments, so not enabled.
    EXPECT_FALSE(caller.call(u"IsEnabled", {Variant(static_cast<IDispatch*>(nullptr))}).toBool());
    VARIANT_BOOL cancel = VARIANT_TRUE;
    (void)caller.call(u"CheckItemSend", {Variant(static_cast<IDispatch*>(nullptr)), Variant::byRef(&cancel)});
    EXPECT_EQ(cancel, VARIANT_FALSE) << "the check clears Cancel for an item without shortcuts";
}

TEST_F(AddInDllTest, EventManagerRefusesWhatIsNotTheHostsApplication) {
    auto events = create(L"Tallowby.EventManager");
    auto actions = create(L"Tallowby.ActionManager");
    DispatchCaller caller(events, IID__EventManager);
    try {
        (void)caller.call(u"InitHandler", {Variant(actions.get()), Variant(u"Tallowby.Connect"), Variant(actions.get())});
        ADD_FAILURE() << "expected HostError";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, E_NOINTERFACE);
    }
    EXPECT_NO_THROW((void)caller.call(u"UnInitHandler"));
    EXPECT_NO_THROW((void)caller.call(u"CleanUpHandler"));
}

TEST_F(AddInDllTest, UnloadsWhenTheLastObjectIsReleased) {
    auto connect = create(L"Tallowby.Connect");
    HMODULE dll = GetModuleHandleW(kDllName);
    ASSERT_NE(dll, nullptr);
    auto canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    ASSERT_NE(canUnloadNow, nullptr);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    connect.reset();
    EXPECT_EQ(canUnloadNow(), S_OK);
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(GetModuleHandleW(kDllName), nullptr);
}

TEST_F(AddInDllTest, FileDialogManagerFindsItsTemplateInTheDll) {
    // Creation loads dialog 105 from the DLL's own resources and fails without it.
    EXPECT_TRUE(create(L"Tallowby.FileDialogManager"));
}

TEST_F(AddInDllTest, NoFactoryForAnUnknownClass) {
    HMODULE dll = LoadLibraryW(dllPath().c_str());
    ASSERT_NE(dll, nullptr);
    auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    ASSERT_NE(getClassObject, nullptr);
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(getClassObject(IID__Connect, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(getClassObject(testing_support::newGuid(), IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    FreeLibrary(dll);
}

// Not a fixture: registration here runs around other people's entries.
TEST(AddInDllRemoval, DeletesExactlyWhatRegistrationWrote) {
    testing_support::Apartment apartment;
    const std::wstring other = std::wstring(kAddInsKey) + L"\\Other.AddIn";
    writeString(HKEY_CURRENT_USER, other, L"FriendlyName", L"Someone else's add-in");
    writeString(HKEY_CLASSES_ROOT, std::wstring(kHostInterfaceKey) + L"\\TypeLib", nullptr, kHostLibrary);

    ASSERT_EQ(regsvr32(false), 0u);
    ASSERT_EQ(regsvr32(true), 0u);

    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kAddInKey));
    for (const ClassCase& cls : kClasses) {
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + guidText(*cls.clsid)));
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, cls.progId));
    }
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + guidText(LIBID_Tallowby)));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"Interface\\" + guidText(IID__Connect)));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"Interface\\" + guidText(IID__EventManager)));

    EXPECT_EQ(testing_support::stringValue(HKEY_CURRENT_USER, other, L"FriendlyName"),
              std::wstring(L"Someone else's add-in"));
    EXPECT_EQ(testing_support::stringValue(HKEY_CLASSES_ROOT, std::wstring(kHostInterfaceKey) + L"\\TypeLib", nullptr),
              std::wstring(kHostLibrary))
        << "the host's own interface registration is left as it was";

    EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, other.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, kHostInterfaceKey), ERROR_SUCCESS);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kHostInterfaceKey));
}

// regsvr32 /n /i:user, as the installer runs it: DllInstall writes the classes and the type library
// under the current user's classes and the host's add-in entry, nothing machine-wide, and removal
// takes exactly that away.
TEST(AddInDllPerUser, RegistersForTheUserAloneAndRemovesExactlyThat) {
    testing_support::Apartment apartment;
    const std::wstring user = L"Software\\Classes\\";
    const std::wstring machine = L"Software\\Classes\\";
    const std::wstring other = std::wstring(kAddInsKey) + L"\\Other.AddIn";
    writeString(HKEY_CURRENT_USER, other, L"FriendlyName", L"Someone else's add-in");

    ASSERT_EQ(testing_support::regsvr32(dllPath(), false, true), 0u);
    for (const ClassCase& cls : kClasses) {
        SCOPED_TRACE(narrow(cls.progId));
        const std::wstring key = L"CLSID\\" + guidText(*cls.clsid);
        const auto server = testing_support::stringValue(HKEY_CURRENT_USER, user + key + L"\\InprocServer32", nullptr);
        ASSERT_TRUE(server);
        EXPECT_EQ(CompareStringOrdinal(server->c_str(), -1, dllPath().c_str(), -1, TRUE), CSTR_EQUAL);
        EXPECT_EQ(testing_support::stringValue(HKEY_CURRENT_USER, user + cls.progId + L"\\CLSID", nullptr),
                  guidText(*cls.clsid));
        EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, machine + key));
        EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, machine + cls.progId));
    }
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, user + L"TypeLib\\" + guidText(LIBID_Tallowby) + L"\\1.0"));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, user + L"Interface\\" + guidText(IID__ActionManager)));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, machine + L"TypeLib\\" + guidText(LIBID_Tallowby)));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, machine + L"Interface\\" + guidText(IID__ActionManager)));
    EXPECT_EQ(testing_support::dwordValue(HKEY_CURRENT_USER, kAddInKey, L"LoadBehavior"), 3u);
    // The system's own way to the class: Wine's COM does not read the user's classes (Windows does,
    // first), so the class is made here as the host does it then: its DLL's DllGetClassObject.
    HMODULE dll = LoadLibraryW(dllPath().c_str());
    ASSERT_NE(dll, nullptr);
    auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_Connect, IID_IClassFactory, factory.putVoid()), S_OK);
    ComPtr<_IDTExtensibility2> connect;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID__IDTExtensibility2, connect.putVoid()), S_OK);
    connect.reset();
    factory.reset();
    FreeLibrary(dll);

    ASSERT_EQ(testing_support::regsvr32(dllPath(), true, true), 0u);
    for (const ClassCase& cls : kClasses) {
        EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, user + L"CLSID\\" + guidText(*cls.clsid)));
        EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, user + cls.progId));
    }
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, user + L"TypeLib\\" + guidText(LIBID_Tallowby)));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, user + L"Interface\\" + guidText(IID__ActionManager)));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kAddInKey));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, L"Software\\Classes")) << "only our keys go";
    EXPECT_EQ(testing_support::stringValue(HKEY_CURRENT_USER, other, L"FriendlyName"),
              std::wstring(L"Someone else's add-in"));
    EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, other.c_str()), ERROR_SUCCESS);
}

// regsvr32 /n /i:machine, as the installer's all-users mode runs it: the classes and the type library
// machine-wide and the host's add-in entry in the machine's list, which every user's host reads;
// nothing per user. Removal takes exactly that away: an entry the current user has of their own
// (DllRegisterServer's, say) is theirs and stays.
TEST(AddInDllAllUsers, RegistersForEveryUserAndRemovesExactlyThat) {
    testing_support::Apartment apartment;
    const std::wstring user = L"Software\\Classes\\";
    writeString(HKEY_CURRENT_USER, kAddInKey, L"FriendlyName", L"the user's own entry");

    ASSERT_EQ(testing_support::dllInstall(dllPath(), false, L"machine"), 0u);
    for (const ClassCase& cls : kClasses) {
        SCOPED_TRACE(narrow(cls.progId));
        const std::wstring key = L"CLSID\\" + guidText(*cls.clsid);
        ASSERT_NO_FATAL_FAILURE(expectServedByTheDll(key));
        EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, user + key));
        EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, user + cls.progId));
    }
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + guidText(LIBID_Tallowby) + L"\\1.0"));
    EXPECT_EQ(testing_support::dwordValue(HKEY_LOCAL_MACHINE, kAddInKey, L"LoadBehavior"), 3u);
    EXPECT_EQ(testing_support::stringValue(HKEY_LOCAL_MACHINE, kAddInKey, L"FriendlyName"),
              std::wstring(L"Quenmark Save Attachments"));
    EXPECT_EQ(testing_support::stringValue(HKEY_CURRENT_USER, kAddInKey, L"FriendlyName"),
              std::wstring(L"the user's own entry"))
        << "the user's entry is not the machine's";
    EXPECT_FALSE(testing_support::dwordValue(HKEY_CURRENT_USER, kAddInKey, L"LoadBehavior"));
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"Tallowby.Connect", &clsid), S_OK);
    ComPtr<_IDTExtensibility2> connect;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__IDTExtensibility2, connect.putVoid()), S_OK);
    connect.reset();
    CoFreeUnusedLibrariesEx(0, 0);

    ASSERT_EQ(testing_support::dllInstall(dllPath(), true, L"machine"), 0u);
    for (const ClassCase& cls : kClasses) {
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + guidText(*cls.clsid)));
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, cls.progId));
    }
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + guidText(LIBID_Tallowby)));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kAddInKey));
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, L"Software\\Microsoft")) << "only our keys go";
    EXPECT_EQ(testing_support::stringValue(HKEY_CURRENT_USER, kAddInKey, L"FriendlyName"),
              std::wstring(L"the user's own entry"));
    EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kAddInKey), ERROR_SUCCESS);
}

// DllInstall knows "user" and "machine" (or nothing, as regsvr32 /i passes it): anything else is
// refused and writes nothing.
TEST(AddInDllPerUser, AnUnknownCommandLineIsRefusedAndWritesNothing) {
    const DWORD code = testing_support::runProcess(L"regsvr32.exe /s /n /i:everyone \"" + dllPath() + L"\"", 60000);
    EXPECT_NE(code, 0u);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kAddInKey));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, L"Software\\Classes\\Tallowby.Connect"));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"Tallowby.Connect"));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kAddInKey));
}

// The failures the DLL's entry points catch are told to the debug output, named after the DLL.
TEST(AddInDllReport, AFailureAtTheHostsCallIsToldWithTheDllAndTheEntryPoint) {
    testing_support::Apartment apartment;
    ASSERT_EQ(regsvr32(false), 0u);
    {
        testing_support::DebugOutput output;
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(L"Tallowby.Connect", &clsid), S_OK);
        ComPtr<_IDTExtensibility2> connect;
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__IDTExtensibility2, connect.putVoid()), S_OK);
        ComPtr<IDispatch> notAnAddIn;
        ASSERT_EQ(CLSIDFromProgID(L"Tallowby.ActionManager", &clsid), S_OK);
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, notAnAddIn.putVoid()), S_OK);
        EXPECT_EQ(connect->OnConnection(notAnAddIn.get(), ext_cm_Startup, notAnAddIn.get(), nullptr), DISP_E_UNKNOWNNAME);
        const auto messages = output.messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].rfind("Tallowby.dll: 0x80020006 ", 0), 0u) << messages[0];
        EXPECT_NE(messages[0].find("ConnectObject::OnConnection"), std::string::npos) << messages[0];
        EXPECT_NE(messages[0].find("addin/win/ConnectObject.cpp:"), std::string::npos) << messages[0];
    }
    EXPECT_EQ(regsvr32(true), 0u);
}

// Under an administrator's policy the page's bridge reads the policy's state and stores nothing;
// a policy value of another type or out of range is ignored and told to the debug output.
TEST(AddInDllPolicies, TheBridgeGivesThePolicysStateStoresNothingAndTellsWhatItIgnores) {
    const wchar_t* const policyKey = L"Software\\Policies\\Quenmark\\Save Attachments";
    const wchar_t* const settingsKey = L"Software\\VB and VBA Program Settings\\Quenmark Save Attachments";
    const auto clear = [&] {
        for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) (void)RegDeleteTreeW(hive, policyKey);
        (void)RegDeleteTreeW(HKEY_CURRENT_USER, settingsKey);
    };
    const auto write = [&](HKEY hive, const wchar_t* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(hive, policyKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    };
    testing_support::Apartment apartment;
    clear();
    ASSERT_EQ(regsvr32(false), 0u);
    {
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(L"Tallowby.PropPageBridge", &clsid), S_OK);
        ComPtr<_PropPageBridge> bridge;
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(_PropPageBridge), bridge.putVoid()),
                  S_OK);
        const wchar_t text[] = L"1";
        const DWORD five = 5, one = 1;
        write(HKEY_LOCAL_MACHINE, L"ReplaceWithLinks", REG_SZ, text, sizeof text);
        write(HKEY_CURRENT_USER, L"AllowReplace", REG_DWORD, &five, sizeof five);
        VARIANT_BOOL set = VARIANT_TRUE;
        {
            testing_support::DebugOutput output;
            ASSERT_EQ(bridge->get_SetByAdministrator(&set), S_OK);
            EXPECT_EQ(set, VARIANT_FALSE) << "both values ignored";
            const auto messages = output.messages();
            ASSERT_EQ(messages.size(), 2u);
            EXPECT_NE(messages[0].find("Policy HKLM\\Software\\Policies\\Quenmark\\Save Attachments\\ReplaceWithLinks "
                                       "ignored: not a REG_DWORD"),
                      std::string::npos)
                << messages[0];
            EXPECT_NE(messages[1].find("AllowReplace ignored: 5 is neither 0 nor 1"), std::string::npos) << messages[1];
        }

        write(HKEY_LOCAL_MACHINE, L"ReplaceWithLinks", REG_DWORD, &one, sizeof one);
        ASSERT_EQ(bridge->get_SetByAdministrator(&set), S_OK);
        EXPECT_EQ(set, VARIANT_TRUE);
        VARIANT_BOOL value = VARIANT_FALSE;
        ASSERT_EQ(bridge->get_PrefReplaceWithLinks(&value), S_OK);
        EXPECT_EQ(value, VARIANT_TRUE) << "the policy's state";
        EXPECT_EQ(bridge->put_PrefReplaceWithLinks(VARIANT_FALSE), S_OK);
        EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, settingsKey)) << "no preference stored over the policy";
    }
    clear();
    EXPECT_EQ(regsvr32(true), 0u);
}

TEST(AddInDllRemoval, RemovingWhatIsGoneSucceeds) {
    EXPECT_EQ(regsvr32(true), 0u);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kAddInKey));
}

}  // namespace
