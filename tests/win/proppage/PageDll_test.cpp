// TallowbyPage.dll as the host and other containers meet it: registered by regsvr32 as a control,
// created by ProgID, hosted by Wine's own ATL container, reaching the real add-in's bridge, and
// unloaded when every container has let go.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "com/Registration.h"
#include "com/Strings.h"
#include "proppage/win/PropPageControl.h"
#include "proppage/win/Ui.h"
#include "tests/win/ScenarioSupport.h"
#include "tests/win/proppage/FakeBridge.h"
#include "tests/win/proppage/TestContainer.h"

using com::ComPtr;

namespace {

const wchar_t* const kPageDll = L"TallowbyPage.dll";
const wchar_t* const kAddInDll = L"Tallowby.dll";
const wchar_t* const kSettingsKey = L"Software\\VB and VBA Program Settings\\Quenmark Save Attachments";

using testing_support::besideProgram;

DWORD regsvr32(const wchar_t* dll, bool unregister) { return testing_support::regsvr32(besideProgram(dll), unregister); }

std::wstring clsidKey() { return L"CLSID\\" + com::guidString(CLSID_PropPage); }

bool keyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::wstring defaultValue(const std::wstring& path, const wchar_t* name = nullptr) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return buffer;
}

bool userKeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Lets COM unload idle DLLs and tells whether `dll` is still loaded.
bool loaded(const wchar_t* dll) {
    CoFreeUnusedLibrariesEx(0, 0);
    return GetModuleHandleW(dll) != nullptr;
}

class PageDllTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ole.hr, S_OK);
        // Whatever another program stored before; the cases here check that nothing is written.
        (void)RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        ASSERT_EQ(regsvr32(kPageDll, false), 0u) << "regsvr32 registers the page";
    }
    void TearDown() override {
        CoFreeUnusedLibrariesEx(0, 0);
        (void)regsvr32(kPageDll, true);
        if (addInRegistered) (void)regsvr32(kAddInDll, true);
    }

    void RegisterAddIn() {
        ASSERT_EQ(regsvr32(kAddInDll, false), 0u) << "regsvr32 registers the add-in";
        addInRegistered = true;
    }

    ComPtr<IUnknown> create() {
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(L"TallowbyPage.PropPage", &clsid), S_OK);
        EXPECT_EQ(clsid, CLSID_PropPage);
        ComPtr<IUnknown> page;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, page.putVoid()), S_OK);
        return page;
    }

    static bool dirty(const ComPtr<IUnknown>& page) {
        VARIANT_BOOL value = VARIANT_FALSE;
        EXPECT_EQ(page.query<PropertyPage>()->get_Dirty(&value), S_OK);
        return value != VARIANT_FALSE;
    }

    testpage::OleApartment ole;
    bool addInRegistered = false;
};

TEST_F(PageDllTest, RegistersAsAnApartmentControl) {
    EXPECT_EQ(defaultValue(L"TallowbyPage.PropPage\\CLSID"), com::guidString(CLSID_PropPage));
    EXPECT_EQ(defaultValue(clsidKey() + L"\\InprocServer32"), besideProgram(kPageDll));
    EXPECT_EQ(defaultValue(clsidKey() + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(defaultValue(clsidKey() + L"\\ProgID"), L"TallowbyPage.PropPage");
    EXPECT_TRUE(keyExists(clsidKey() + L"\\Control"));
    EXPECT_EQ(defaultValue(clsidKey() + L"\\MiscStatus"), L"0");
    const DWORD status = std::stoul(defaultValue(clsidKey() + L"\\MiscStatus\\1"));
    EXPECT_EQ(status, DWORD(OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE));
    DWORD fromOle = 0;
    EXPECT_EQ(OleRegGetMiscStatus(CLSID_PropPage, DVASPECT_CONTENT, &fromOle), S_OK);
    EXPECT_EQ(fromOle, status);
    EXPECT_EQ(defaultValue(clsidKey() + L"\\ToolboxBitmap32"), besideProgram(kPageDll) + L", 30000");
    EXPECT_EQ(defaultValue(clsidKey() + L"\\TypeLib"), com::guidString(LIBID_TallowbyPage));
}

TEST_F(PageDllTest, RegistersItsTypeLibraryButNeverTheHostsInterface) {
    const std::wstring lib = L"TypeLib\\" + com::guidString(LIBID_TallowbyPage) + L"\\1.0";
    EXPECT_EQ(defaultValue(lib), L"Property page for Save Attachments");
    EXPECT_TRUE(keyExists(L"Interface\\" + com::guidString(IID__PropPage)));
    EXPECT_TRUE(keyExists(L"Interface\\" + com::guidString(DIID___PropPage)));
    EXPECT_FALSE(keyExists(L"Interface\\" + com::guidString(IID_PropertyPage)))
        << "the host's PropertyPage stays the host's";
    ComPtr<ITypeLib> typeLib;
    ASSERT_EQ(LoadRegTypeLib(LIBID_TallowbyPage, 1, 0, 0, typeLib.put()), S_OK);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(typeLib->GetTypeInfoOfGuid(CLSID_PropPage, coclass.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCONTROL);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
    EXPECT_EQ(attr->cImplTypes, 2);
    coclass->ReleaseTypeAttr(attr);
}

TEST_F(PageDllTest, UnregisteringLeavesNoTrace) {
    ASSERT_EQ(regsvr32(kPageDll, true), 0u);
    EXPECT_FALSE(keyExists(clsidKey()));
    EXPECT_FALSE(keyExists(L"TallowbyPage.PropPage"));
    EXPECT_FALSE(keyExists(L"TypeLib\\" + com::guidString(LIBID_TallowbyPage)));
    EXPECT_FALSE(keyExists(L"Interface\\" + com::guidString(IID__PropPage)));
}

// regsvr32 /n /i:user: the same keys (the control's included) under the current user's classes,
// nothing machine-wide, and removal takes them away again.
TEST(PageDllPerUser, RegistersAsAControlForTheUserAloneAndRemovesExactlyThat) {
    const std::wstring classes = L"Software\\Classes\\";
    const std::wstring clsid = classes + clsidKey();
    const std::wstring lib = classes + L"TypeLib\\" + com::guidString(LIBID_TallowbyPage) + L"\\1.0";
    ASSERT_EQ(testing_support::regsvr32(besideProgram(kPageDll), false, true), 0u);
    EXPECT_TRUE(userKeyExists(clsid + L"\\Control"));
    EXPECT_TRUE(userKeyExists(clsid + L"\\MiscStatus\\1"));
    EXPECT_TRUE(userKeyExists(clsid + L"\\ToolboxBitmap32"));
    EXPECT_TRUE(userKeyExists(classes + L"TallowbyPage.PropPage\\CLSID"));
    EXPECT_TRUE(userKeyExists(lib));
    EXPECT_FALSE(userKeyExists(classes + L"Interface\\" + com::guidString(IID_PropertyPage)))
        << "the host's PropertyPage stays the host's";
    EXPECT_FALSE(keyExists(clsidKey())) << "nothing machine-wide";
    EXPECT_FALSE(keyExists(L"TallowbyPage.PropPage"));

    ASSERT_EQ(testing_support::regsvr32(besideProgram(kPageDll), true, true), 0u);
    EXPECT_FALSE(userKeyExists(clsid));
    EXPECT_FALSE(userKeyExists(classes + L"TallowbyPage.PropPage"));
    EXPECT_FALSE(userKeyExists(classes + L"TypeLib\\" + com::guidString(LIBID_TallowbyPage)));
    EXPECT_FALSE(userKeyExists(classes + L"Interface\\" + com::guidString(IID__PropPage)));
}

TEST_F(PageDllTest, CarriesTheToolboxBitmapAndItsVersion) {
    HMODULE dll = LoadLibraryExW(besideProgram(kPageDll).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(dll, nullptr);
    auto bitmap = static_cast<HBITMAP>(LoadImageW(dll, MAKEINTRESOURCEW(30000), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 16);
    EXPECT_EQ(info.bmHeight, 16);
    DeleteObject(bitmap);
    FreeLibrary(dll);

    const std::wstring path = besideProgram(kPageDll);
    DWORD ignored = 0;
    std::string block(GetFileVersionInfoSizeW(path.c_str(), &ignored), '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), TALLOWBY_VERSION_MAJOR);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), TALLOWBY_VERSION_MINOR);
    EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), TALLOWBY_VERSION_PATCH);
}

TEST_F(PageDllTest, WithoutTheAddInThePageOpensAndTheDllUnloadsAfterwards) {
    {
        auto page = create();
        testpage::TestContainer container(testpage::SiteRoute::ClientSite);
        ASSERT_EQ(container.Site(page.get()), S_OK);
        HWND box = GetDlgItem(container.PageWindow(), proppage::win::PageReplaceWithLinks);
        EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
        EXPECT_FALSE(IsWindowEnabled(box));
        EXPECT_FALSE(dirty(page));
        container.LetGo();
        EXPECT_EQ(page.get()->Release(), 0u) << "the container kept no reference";
        (void)page.detach();
    }
    EXPECT_FALSE(loaded(kPageDll)) << "DllCanUnloadNow let COM unload the page library";
}

TEST_F(PageDllTest, ThePageReachesTheAddInsPreferenceThroughTheRealBridge) {
    RegisterAddIn();
    // A bridge of our own keeps the add-in loaded, so its in-memory preference lives on.
    ComPtr<_PropPageBridge> bridge;
    ASSERT_EQ(CoCreateInstance(__uuidof(PropPageBridge), nullptr, CLSCTX_INPROC_SERVER, __uuidof(_PropPageBridge),
                               bridge.putVoid()),
              S_OK);
    ASSERT_EQ(bridge->put_PrefReplaceWithLinks(VARIANT_TRUE), S_OK);
    {
        auto page = create();
        testpage::TestContainer container(testpage::SiteRoute::ClientSite);
        ASSERT_EQ(container.Site(page.get()), S_OK);
        HWND box = GetDlgItem(container.PageWindow(), proppage::win::PageReplaceWithLinks);
        EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_FALSE(container.ApplyEnabled());
        SendMessageW(box, BM_CLICK, 0, 0);
        EXPECT_TRUE(container.ApplyEnabled());
        EXPECT_EQ(page.query<PropertyPage>()->Apply(), S_OK);
        EXPECT_FALSE(dirty(page));
    }
    VARIANT_BOOL value = VARIANT_TRUE;
    EXPECT_EQ(bridge->get_PrefReplaceWithLinks(&value), S_OK);
    EXPECT_EQ(value, VARIANT_FALSE) << "Apply reached the add-in's in-memory preference";
    // Stored at once: a host of version 14 exits without telling the add-in.
    wchar_t stored[16] = L"";
    DWORD size = sizeof stored;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, (std::wstring(kSettingsKey) + L"\\Preferences").c_str(),
                           L"ReplaceWithLinks", RRF_RT_REG_SZ, nullptr, stored, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(stored, L"False") << "Apply reached the settings store";
    bridge = nullptr;
    EXPECT_FALSE(loaded(kPageDll));
    EXPECT_FALSE(loaded(kAddInDll));
}

TEST_F(PageDllTest, TwoBridgesShareOneValue) {
    RegisterAddIn();
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"Tallowby.PropPageBridge", &clsid), S_OK);
    ComPtr<_PropPageBridge> first, second;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(_PropPageBridge), first.putVoid()), S_OK);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(_PropPageBridge), second.putVoid()), S_OK);
    for (VARIANT_BOOL put : {VARIANT_FALSE, VARIANT_TRUE, VARIANT_FALSE}) {
        ASSERT_EQ(first->put_PrefReplaceWithLinks(put), S_OK);
        VARIANT_BOOL got = 7;
        ASSERT_EQ(second->get_PrefReplaceWithLinks(&got), S_OK);
        EXPECT_EQ(got, put);
    }
    // And by name, as an automation client would.
    DISPID id = 0;
    LPOLESTR name[] = {const_cast<LPOLESTR>(L"PrefReplaceWithLinks")};
    ASSERT_EQ(second->GetIDsOfNames(IID_NULL, name, 1, 0, &id), S_OK);
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none{};
    ASSERT_EQ(second->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(V_VT(&result), VT_BOOL);
    EXPECT_EQ(V_BOOL(&result), VARIANT_FALSE);
}

// ---- Wine's own ATL container, which we did not write

using AtlAxWinInitFunction = BOOL(WINAPI*)();
using AtlAxGetControlFunction = HRESULT(WINAPI*)(HWND, IUnknown**);

TEST_F(PageDllTest, WinesAtlContainerHostsThePage) {
    testpage::FakePreference preference;
    preference.value = true;
    auto bridgeClass = std::make_unique<testpage::FakeBridgeClass>(preference);
    HMODULE atl = LoadLibraryW(L"atl.dll");
    ASSERT_NE(atl, nullptr);
    auto init = reinterpret_cast<AtlAxWinInitFunction>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    auto getControl = reinterpret_cast<AtlAxGetControlFunction>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    ASSERT_TRUE(init && getControl);
    ASSERT_TRUE(init());

    HWND top = CreateWindowExW(0, L"STATIC", L"ATL", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 480, 460, nullptr,
                               nullptr, nullptr, nullptr);
    HWND host = CreateWindowExW(0, L"AtlAxWin", L"TallowbyPage.PropPage", WS_CHILD | WS_VISIBLE, 0, 0, 415, 389, top,
                                nullptr, nullptr, nullptr);
    ASSERT_NE(host, nullptr);
    ComPtr<IUnknown> page;
    ASSERT_EQ(getControl(host, page.put()), S_OK);
    ASSERT_TRUE(page);

    HWND pageWindow = nullptr;
    ASSERT_EQ(page.query<IOleInPlaceObject>()->GetWindow(&pageWindow), S_OK);
    EXPECT_EQ(GetParent(pageWindow), host);
    HWND box = GetDlgItem(pageWindow, proppage::win::PageReplaceWithLinks);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_FALSE(dirty(page));
    SendMessageW(box, BM_CLICK, 0, 0);
    EXPECT_TRUE(dirty(page)) << "no PropertyPageSite here: the notification is lost, the page is dirty";
    EXPECT_EQ(page.query<PropertyPage>()->Apply(), S_OK);
    EXPECT_EQ(preference.puts, std::vector<bool>{false});
    EXPECT_FALSE(dirty(page));

    // Keys the container routes through the page, as an OLE control's container does: the page
    // takes Tab between its own controls; Tab past its last one (Shift+Tab before its first),
    // Enter, Escape and other keys go back to the container.
    auto active = page.query<IOleInPlaceActiveObject>();
    ASSERT_TRUE(active);
    const auto press = [&](WPARAM vk, bool shift) {
        BYTE state[256] = {};
        GetKeyboardState(state);
        state[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(state);
        MSG msg{GetFocus(), WM_KEYDOWN, vk, 1, 0, {}};
        const HRESULT hr = active->TranslateAccelerator(&msg);
        state[VK_SHIFT] = 0;
        SetKeyboardState(state);
        return hr;
    };
    HWND about = GetDlgItem(pageWindow, proppage::win::PageAboutButton);
    SetFocus(box);
    ASSERT_EQ(GetFocus(), box);
    EXPECT_EQ(press(VK_TAB, false), S_OK);
    EXPECT_EQ(GetFocus(), about);
    EXPECT_EQ(press(VK_TAB, false), S_FALSE) << "Tab past the last control is the container's";
    EXPECT_EQ(GetFocus(), about);
    EXPECT_EQ(press(VK_TAB, true), S_OK);
    EXPECT_EQ(GetFocus(), box);
    EXPECT_EQ(press(VK_TAB, true), S_FALSE) << "Shift+Tab before the first control is the container's";
    for (WPARAM vk : {WPARAM{VK_RETURN}, WPARAM{VK_ESCAPE}, WPARAM{VK_SPACE}, WPARAM{'A'}}) {
        EXPECT_EQ(press(vk, false), S_FALSE) << vk;
        EXPECT_EQ(GetFocus(), box);
    }
    EXPECT_FALSE(dirty(page)) << "a key handed back did nothing on the page";

    active = nullptr;
    page = nullptr;
    DestroyWindow(top);
    testpage::PumpMessages();
    EXPECT_EQ(preference.alive, 0) << "the bridge went with the page";
    bridgeClass.reset();
    EXPECT_FALSE(loaded(kPageDll)) << "ATL let go of every reference";
}

}  // namespace
