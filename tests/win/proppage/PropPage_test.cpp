// The options page control in process: what the host sees through PropertyPage (by vtable and by
// Invoke), what the user sees and does on the page, how it finds its site, and that nothing of the
// container or the bridge stays referenced when the container lets go.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "com/Module.h"
#include "com/Strings.h"
#include "proppage/core/Layout.h"
#include "proppage/win/PropPageControl.h"
#include "proppage/win/ThreadBridge.h"
#include "proppage/win/Ui.h"
#include "tests/win/proppage/FakeBridge.h"
#include "tests/win/proppage/TestContainer.h"

using com::ComPtr;
using testpage::FakeBridgeClass;
using testpage::FakePreference;
using testpage::SiteRoute;
using testpage::TestContainer;

namespace {

namespace L = proppage::PageLayout;

class PageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(ole.hr, S_OK); }

    void TearDown() override {
        container.reset();
        page = nullptr;
        bridgeClass.reset();
        EXPECT_EQ(proppage::win::ThreadBridge::Current(), nullptr) << "the bridge is released with the last page";
        EXPECT_EQ(com::Module::lockCount(), 0) << "an object of the page or the container is still alive";
    }

    // Registers the fake bridge, then creates and sites a page.
    void Open(SiteRoute route = SiteRoute::ClientSite) {
        if (!bridgeClass) bridgeClass = std::make_unique<FakeBridgeClass>(preference);
        OpenWithoutBridge(route);
    }

    void OpenWithoutBridge(SiteRoute route = SiteRoute::ClientSite) {
        page = com::make<proppage::win::PropPageControl>();
        container = std::make_unique<TestContainer>(route);
        ASSERT_EQ(container->Site(page->identity()), S_OK);
        ASSERT_NE(container->PageWindow(), nullptr);
    }

    HWND control(int id) const { return GetDlgItem(container->PageWindow(), id); }
    HWND box() const { return control(proppage::win::PageReplaceWithLinks); }
    bool checked() const { return SendMessageW(box(), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void click() const { SendMessageW(box(), BM_CLICK, 0, 0); }

    bool dirty() const {
        VARIANT_BOOL value = 7;
        EXPECT_EQ(asPage()->get_Dirty(&value), S_OK);
        EXPECT_TRUE(value == VARIANT_TRUE || value == VARIANT_FALSE);
        return value != VARIANT_FALSE;
    }
    PropertyPage* asPage() const { return static_cast<PropertyPage*>(page.get()); }
    IDispatch* asDispatch() const { return static_cast<IDispatch*>(static_cast<_PropPage*>(page.get())); }

    testpage::OleApartment ole;
    FakePreference preference;
    std::unique_ptr<FakeBridgeClass> bridgeClass;
    ComPtr<proppage::win::PropPageControl> page;
    std::unique_ptr<TestContainer> container;
};

// ---- opening the page

TEST_F(PageTest, PreferenceTrueOpensCheckedCleanWithApplyDisabled) {
    preference.value = true;
    Open();
    EXPECT_TRUE(checked());
    EXPECT_TRUE(IsWindowEnabled(box()));
    EXPECT_FALSE(dirty());
    EXPECT_EQ(container->StatusChanges(), 0) << "setting the box at start is not a user change";
    EXPECT_FALSE(container->ApplyEnabled());
    EXPECT_EQ(preference.created, 1);
    EXPECT_TRUE(preference.puts.empty());
}

TEST_F(PageTest, PreferenceFalseOpensUnchecked) {
    preference.value = false;
    Open();
    EXPECT_FALSE(checked());
    EXPECT_FALSE(dirty());
}

TEST_F(PageTest, AHostKnownToKeepNoShortcutsGreysTheBoxAndAnOlderAddInLeavesItAsBefore) {
    struct Case {
        bool refused;
        bool older;
        bool enabled;
    };
    for (const Case c : {Case{true, false, false}, Case{false, false, true}, Case{true, true, true}}) {
        SCOPED_TRACE(testing::Message() << "refused=" << c.refused << " older=" << c.older);
        preference.value = true;
        preference.shortcutsRefused = c.refused;
        preference.older = c.older;
        Open();
        EXPECT_TRUE(checked()) << "the stored preference is shown as it is";
        EXPECT_EQ(IsWindowEnabled(box()) != FALSE, c.enabled);
        EXPECT_FALSE(dirty());
        container.reset();
        page = nullptr;
    }
}

TEST_F(PageTest, WithoutTheAddInThePageOpensUncheckedCleanAndDisabled) {
    OpenWithoutBridge();
    EXPECT_FALSE(checked());
    EXPECT_FALSE(IsWindowEnabled(box())) << "nothing to write a change to";
    EXPECT_TRUE(IsWindowEnabled(control(proppage::win::PageAboutButton)));
    EXPECT_FALSE(dirty());
    EXPECT_EQ(proppage::win::ThreadBridge::Current(), nullptr);
    EXPECT_EQ(asPage()->Apply(), CO_E_CLASSSTRING) << "Apply says why (no such ProgID) and writes nothing";
    EXPECT_FALSE(dirty());
}

TEST_F(PageTest, WithTheProgIdButNoClassThePageStillOpens) {
    testpage::BridgeProgId progId;
    OpenWithoutBridge();
    EXPECT_FALSE(checked());
    EXPECT_FALSE(IsWindowEnabled(box()));
    EXPECT_FALSE(dirty());
    EXPECT_TRUE(FAILED(asPage()->Apply()));
}

// ---- the user's clicks

TEST_F(PageTest, OneClickMakesThePageDirtyAndTellsTheSite) {
    Open();
    click();
    EXPECT_FALSE(checked());
    EXPECT_TRUE(dirty());
    EXPECT_EQ(container->StatusChanges(), 1);
    EXPECT_TRUE(container->ApplyEnabled()) << "the host read Dirty after the status change";
    EXPECT_TRUE(preference.puts.empty()) << "nothing is written before Apply";
}

TEST_F(PageTest, ApplyPutsTheBoxThroughTheBridgeAndCleans) {
    Open();
    click();
    EXPECT_EQ(asPage()->Apply(), S_OK);
    EXPECT_EQ(preference.puts, std::vector<bool>{false});
    EXPECT_FALSE(preference.value);
    EXPECT_FALSE(dirty());
}

TEST_F(PageTest, TwoClicksLeaveThePageDirtyAndApplyWritesTheUnchangedValue) {
    Open();
    click();
    click();
    EXPECT_TRUE(checked());
    EXPECT_TRUE(dirty());
    EXPECT_EQ(container->StatusChanges(), 2);
    EXPECT_TRUE(container->ApplyEnabled());
    EXPECT_EQ(asPage()->Apply(), S_OK);
    EXPECT_EQ(preference.puts, std::vector<bool>{true});
    EXPECT_FALSE(dirty());
}

TEST_F(PageTest, AFailedPutLeavesThePageDirty) {
    Open();
    click();
    preference.putFailure = E_ACCESSDENIED;
    EXPECT_EQ(asPage()->Apply(), E_ACCESSDENIED);
    EXPECT_TRUE(dirty());
    preference.putFailure = S_OK;
    EXPECT_EQ(asPage()->Apply(), S_OK);
    EXPECT_FALSE(dirty());
}

TEST_F(PageTest, TheKeyboardSpaceIsAUserClickToo) {
    Open();
    SetFocus(box());
    SendMessageW(box(), WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(box(), WM_KEYUP, VK_SPACE, 0xC0000001);
    EXPECT_FALSE(checked());
    EXPECT_TRUE(dirty());
    EXPECT_EQ(container->StatusChanges(), 1);
}

// ---- finding the site

TEST_F(PageTest, WithoutPropertyPageSiteOnTheClientSiteTheExtendersParentIsTold) {
    Open(SiteRoute::ExtenderParent);
    click();
    EXPECT_EQ(container->StatusChanges(), 1);
    EXPECT_TRUE(container->ApplyEnabled());
}

TEST_F(PageTest, WithoutAnySiteTheClickStillMakesThePageDirty) {
    Open(SiteRoute::None);
    click();
    EXPECT_TRUE(dirty());
    EXPECT_EQ(container->StatusChanges(), 0);
}

// ---- the shared bridge

TEST_F(PageTest, EachPageCreatesABridgeAndReleasesTheEarlierOne) {
    Open();
    auto second = com::make<proppage::win::PropPageControl>();
    EXPECT_EQ(preference.created, 2);
    EXPECT_EQ(preference.alive, 1) << "the first page's bridge was released when the second stored its own";
    second = nullptr;
    EXPECT_EQ(preference.alive, 0) << "termination of any page empties the shared bridge";
    EXPECT_EQ(proppage::win::ThreadBridge::Current(), nullptr);
    click();
    EXPECT_EQ(asPage()->Apply(), E_POINTER) << "no usable bridge: Apply fails";
    EXPECT_TRUE(dirty());
}

TEST_F(PageTest, TwoPagesOneAfterTheOtherShareTheValue) {
    Open();
    click();
    ASSERT_EQ(asPage()->Apply(), S_OK);
    container.reset();
    page = nullptr;
    OpenWithoutBridge();  // the fake is still registered
    EXPECT_FALSE(checked());
    EXPECT_FALSE(dirty());
}

// ---- PropertyPage through the vtable and through Invoke

TEST_F(PageTest, GetPageInfoLeavesBothArgumentsAsPassed) {
    Open();
    BSTR file = SysAllocString(L"help.chm");
    const BSTR before = file;
    LONG context = 4711;
    EXPECT_EQ(asPage()->GetPageInfo(&file, &context), S_OK);
    EXPECT_EQ(file, before);
    EXPECT_STREQ(file, L"help.chm");
    EXPECT_EQ(context, 4711);
    SysFreeString(file);

    BSTR none = nullptr;
    LONG zero = 0;
    EXPECT_EQ(asPage()->GetPageInfo(&none, &zero), S_OK);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(zero, 0);
}

TEST_F(PageTest, PropertyPageIsAVtableInterfaceAfterIDispatch) {
    Open();
    ComPtr<PropertyPage> viaQuery;
    ASSERT_EQ(page->identity()->QueryInterface(IID_PropertyPage, viaQuery.putVoid()), S_OK);
    // Slots 7, 8, 9 after IUnknown's three and IDispatch's four.
    using GetDirty = HRESULT(STDMETHODCALLTYPE*)(PropertyPage*, VARIANT_BOOL*);
    using Apply = HRESULT(STDMETHODCALLTYPE*)(PropertyPage*);
    void** vtable = *reinterpret_cast<void***>(viaQuery.get());
    click();
    VARIANT_BOOL value = VARIANT_FALSE;
    EXPECT_EQ(reinterpret_cast<GetDirty>(vtable[8])(viaQuery.get(), &value), S_OK);
    EXPECT_EQ(value, VARIANT_TRUE);
    EXPECT_EQ(reinterpret_cast<Apply>(vtable[9])(viaQuery.get()), S_OK);
    EXPECT_EQ(preference.puts, std::vector<bool>{false});
}

TEST_F(PageTest, PropertyPageAnswersThroughInvokeByTheHostsIds) {
    Open();
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(page->identity()->QueryInterface(IID_PropertyPage, dispatch.putVoid()), S_OK);
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(dispatch->Invoke(0x2101, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(V_VT(&result), VT_BOOL);
    EXPECT_EQ(V_BOOL(&result), VARIANT_FALSE);

    click();
    EXPECT_EQ(dispatch->Invoke(0x2101, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(V_BOOL(&result), VARIANT_TRUE);

    // GetPageInfo(HelpFile, HelpContext) by reference; arguments arrive in reverse order.
    BSTR file = SysAllocString(L"page.hlp");
    LONG context = 12;
    VARIANT args[2];
    V_VT(&args[0]) = VT_I4 | VT_BYREF;
    V_I4REF(&args[0]) = &context;
    V_VT(&args[1]) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&args[1]) = &file;
    DISPPARAMS two{args, nullptr, 2, 0};
    EXPECT_EQ(dispatch->Invoke(0x2100, IID_NULL, 0, DISPATCH_METHOD, &two, nullptr, nullptr, nullptr), S_OK);
    EXPECT_STREQ(file, L"page.hlp");
    EXPECT_EQ(context, 12);
    SysFreeString(file);
    DISPPARAMS one{args, nullptr, 1, 0};
    EXPECT_EQ(dispatch->Invoke(0x2100, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);

    EXPECT_EQ(dispatch->Invoke(0x2102, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(preference.puts, std::vector<bool>{false});
    EXPECT_EQ(dispatch->Invoke(0x2101, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(V_BOOL(&result), VARIANT_FALSE);
}

TEST_F(PageTest, AFailedApplyThroughInvokeIsAnExceptionWithItsStatus) {
    Open();
    click();
    preference.putFailure = E_ACCESSDENIED;
    DISPPARAMS none{};
    EXCEPINFO exception{};
    EXPECT_EQ(asDispatch()->Invoke(0x2102, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, &exception, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, E_ACCESSDENIED);
    EXPECT_TRUE(dirty());
}

TEST_F(PageTest, NamesOfThePropertyPageMembersGiveTheHostsIds) {
    Open();
    for (auto [name, id] : {std::pair{L"GetPageInfo", 0x2100}, {L"dirty", 0x2101}, {L"Apply", 0x2102}}) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID found = 0;
        EXPECT_EQ(asDispatch()->GetIDsOfNames(IID_NULL, names, 1, 0, &found), S_OK) << name;
        EXPECT_EQ(found, id) << name;
    }
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"Nothing")};
    DISPID id = 0;
    EXPECT_EQ(asDispatch()->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
    DISPPARAMS none{};
    EXPECT_EQ(asDispatch()->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

// ---- the control's COM face

TEST_F(PageTest, OffersTheInterfacesAContainerNeedsWithOneIdentity) {
    Open();
    IUnknown* identity = page->identity();
    const IID interfaces[] = {IID_IDispatch, IID__PropPage, IID_PropertyPage, IID_IOleObject, IID_IOleInPlaceObject,
                              IID_IOleInPlaceActiveObject, IID_IOleWindow, IID_IOleControl, IID_IViewObject,
                              IID_IViewObject2, IID_IPersist, IID_IPersistStreamInit, IID_IPersistPropertyBag,
                              IID_IQuickActivate, IID_IProvideClassInfo, IID_IProvideClassInfo2};
    for (const IID& iid : interfaces) {
        const std::wstring name = com::guidString(iid);
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        ComPtr<IUnknown> itf;
        ASSERT_EQ(identity->QueryInterface(iid, itf.putVoid()), S_OK);
        ComPtr<IUnknown> back;
        ASSERT_EQ(itf->QueryInterface(IID_IUnknown, back.putVoid()), S_OK);
        EXPECT_EQ(back.get(), identity);
    }
    ComPtr<IUnknown> none;
    EXPECT_EQ(identity->QueryInterface(IID_IPropertyNotifySink, none.putVoid()), E_NOINTERFACE);
}

TEST_F(PageTest, DescribesItselfAsTheControlOfItsTypeLibrary) {
    Open();
    auto info2 = ComPtr<IUnknown>(page->identity()).query<IProvideClassInfo2>();
    GUID source{};
    EXPECT_EQ(info2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_EQ(source, DIID___PropPage);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(info2->GetClassInfo(coclass.put()), S_OK);
    BSTR name = nullptr;
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"PropPage");
    SysFreeString(name);

    ComPtr<ITypeInfo> dispatchInfo;
    ASSERT_EQ(asDispatch()->GetTypeInfo(0, 0, dispatchInfo.put()), S_OK);
    ASSERT_EQ(dispatchInfo->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"_PropPage");
    SysFreeString(name);

    DWORD status = 0;
    EXPECT_EQ(ComPtr<IUnknown>(page->identity()).query<IOleObject>()->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, DWORD(OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE));
    CLSID clsid{};
    EXPECT_EQ(ComPtr<IUnknown>(page->identity()).query<IPersistStreamInit>()->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_PropPage);
}

TEST_F(PageTest, QuickActivateSitesTheControl) {
    page = com::make<proppage::win::PropPageControl>();
    container = std::make_unique<TestContainer>(SiteRoute::ClientSite);
    // A container that quick-activates passes its site and sinks in one call.
    auto quick = ComPtr<IUnknown>(page->identity()).query<IQuickActivate>();
    QACONTAINER qc{};
    qc.cbSize = sizeof qc;
    QACONTROL qctl{};
    qctl.cbSize = sizeof qctl;
    EXPECT_EQ(quick->QuickActivate(&qc, &qctl), S_OK);
    EXPECT_EQ(qctl.dwMiscStatus, DWORD(OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE));
    SIZEL extent{};
    EXPECT_EQ(quick->GetContentExtent(&extent), S_OK);
    EXPECT_GT(extent.cx, 0);
    qctl.cbSize = 4;
    EXPECT_EQ(quick->QuickActivate(&qc, &qctl), E_INVALIDARG);
}

TEST_F(PageTest, DrawsItselfIntoAContainersDeviceContext) {
    Open();
    auto view = ComPtr<IUnknown>(page->identity()).query<IViewObject2>();
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 500, 400);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const RECTL bounds{0, 0, 415, 389};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(GetPixel(memory, 2, 2), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, memory, &bounds, nullptr, nullptr, 0),
              DV_E_DVASPECT);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

// ---- layout

TEST_F(PageTest, ControlsSitWhereTheTableSaysAtThisScreensResolution) {
    Open();
    const int dpi = proppage::win::ScreenDpi();
    RECT client{};
    GetClientRect(container->PageWindow(), &client);
    EXPECT_EQ(client.right, proppage::Scale(L::ClientWidth, dpi));
    EXPECT_EQ(client.bottom, proppage::Scale(L::ClientHeight, dpi));
    const struct {
        int id;
        proppage::Box box;
        const char16_t* caption;
    } expected[] = {{proppage::win::PageReplaceWithLinks, L::ReplaceWithLinks, L::ReplaceWithLinksCaption},
                    {proppage::win::PageFrame, L::Frame, L::FrameCaption},
                    {proppage::win::PageAboutButton, L::AboutButton, L::AboutButtonCaption}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.id);
        HWND w = control(e.id);
        ASSERT_NE(w, nullptr);
        RECT r{};
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, container->PageWindow(), reinterpret_cast<POINT*>(&r), 2);
        const proppage::Box at = proppage::Scale(e.box, dpi);
        EXPECT_EQ(r.left, at.left);
        EXPECT_EQ(r.top, at.top);
        EXPECT_EQ(r.right - r.left, at.width);
        EXPECT_EQ(r.bottom - r.top, at.height);
        EXPECT_EQ(proppage::win::WindowText(w), com::toWide(e.caption));
        LOGFONTW font{};
        ASSERT_TRUE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0)), sizeof font, &font));
        EXPECT_STREQ(font.lfFaceName, L"Microsoft Sans Serif");
        EXPECT_EQ(font.lfHeight, -proppage::FontPixelHeight(dpi));
        EXPECT_FALSE(font.lfUnderline);
        EXPECT_EQ(font.lfWeight, FW_NORMAL);
    }
    EXPECT_EQ(GetWindowLongW(box(), GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);
    EXPECT_EQ(GetWindowLongW(control(proppage::win::PageFrame), GWL_STYLE) & BS_TYPEMASK, BS_GROUPBOX);
}

TEST_F(PageTest, TabGoesFromTheBoxToTheAboutButtonAndBack) {
    Open();
    HWND window = container->PageWindow();
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) << "the host's dialog tabs into the page";
    EXPECT_EQ(GetWindow(window, GW_CHILD), box()) << "tab order 0 is the box";
    EXPECT_EQ(GetWindow(box(), GW_HWNDNEXT), control(proppage::win::PageFrame));
    EXPECT_EQ(GetWindow(control(proppage::win::PageFrame), GW_HWNDNEXT), control(proppage::win::PageAboutButton));
    EXPECT_EQ(GetNextDlgTabItem(window, box(), FALSE), control(proppage::win::PageAboutButton));
    EXPECT_EQ(GetNextDlgTabItem(window, control(proppage::win::PageAboutButton), FALSE), box());
}

// ---- letting go

TEST_F(PageTest, NothingStaysAliveWhenTheContainerLetsGo) {
    Open();
    click();
    container->LetGo();
    EXPECT_FALSE(container->InPlaceActive()) << "the control deactivated itself on Close";
    EXPECT_EQ(container->PageWindow(), nullptr);
    page = nullptr;
    EXPECT_EQ(preference.alive, 0);
    EXPECT_EQ(proppage::win::ThreadBridge::Current(), nullptr);
    container.reset();
    bridgeClass.reset();
    EXPECT_EQ(com::Module::lockCount(), 0) << "no object of the page, the container or the bridge is alive";
}

TEST_F(PageTest, APageDestroyedWithItsContainersWindowLetsGoCleanly) {
    Open();
    // The container's window goes first; the page's window dies with it.
    DestroyWindow(container->window());
    container->LetGo();
    page = nullptr;
    EXPECT_EQ(preference.alive, 0);
}

}  // namespace
