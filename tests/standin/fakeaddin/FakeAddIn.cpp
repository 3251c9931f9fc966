// A small add-in for the stand-in host's tests, loaded the way the host loads add-ins. It uses the
// host's objects only by name and by event dispinterface, as a real add-in does:
//  - OnConnection reads the add-in object's ProgId and the host's Version, subscribes to the
//    application's ItemSend and OptionsPagesAdd, the active explorer's Close and the inspectors'
//    NewInspector, and gives every open inspector its toolbar.
//  - A new inspector gets the toolbar "Fake Toolbar" with one button (tag "Fake.Button"), found
//    again by tag when the host kept it; the face is a FaceId, or Picture and Mask from 16x16
//    bitmaps when the host's major version is 10 or more.
//  - ItemSend asks "Send <subject>?" (Yes/No, question); No cancels the send. A click shows
//    "Clicked <caption>" (OK). OptionsPagesAdd adds "Fake.Page" titled "Fake Page".
//  - The explorer's Close and OnBeginShutdown release every host object; OnDisconnection after a
//    user's unload deletes the buttons it still holds and the toolbars they leave empty.
#include <windows.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "StandinHost.h"
#include "com/ClassFactory.h"
#include "com/ComObject.h"
#include "com/DispatchCaller.h"
#include "com/EventSink.h"
#include "com/Guard.h"
#include "com/Module.h"
#include "com/Registration.h"
#include "com/Strings.h"
#include "base/HostError.h"

namespace {

using com::ComPtr;
using com::DispatchCaller;
using com::Variant;

// {6F4C2C47-5A0E-4B3B-9D43-43E0C5B0C7A1}
const CLSID kClsid = {0x6f4c2c47, 0x5a0e, 0x4b3b, {0x9d, 0x43, 0x43, 0xe0, 0xc5, 0xb0, 0xc7, 0xa1}};
const wchar_t kProgId[] = L"StandinTest.FakeAddIn";
const char16_t kTag[] = u"Fake.Button";

ComPtr<IDispatch> object(const Variant& v) { return v.toDispatch(); }

ComPtr<IPictureDisp> bitmap(COLORREF color) {
    // A 16x16 bitmap of one colour, owned by the picture object.
    HDC screen = GetDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 16, 16);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT all{0, 0, 16, 16};
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    PICTDESC desc{sizeof desc, PICTYPE_BITMAP, {}};
    desc.bmp.hbitmap = bmp;
    ComPtr<IPictureDisp> picture;
    if (FAILED(OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, picture.putVoid()))) DeleteObject(bmp);
    return picture;
}

class FakeAddIn final : public com::ComObject<_IDTExtensibility2> {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override {
        if (count) *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override {
        return E_NOTIMPL;
    }

    STDMETHODIMP OnConnection(IDispatch* application, ext_ConnectMode, IDispatch* addInInst, SAFEARRAY**) noexcept override {
        return com::guard([&] {
            progId_ = DispatchCaller(ComPtr<IDispatch>(addInInst)).get(u"ProgId").toString();
            app_ = ComPtr<IDispatch>(application);
            DispatchCaller app(app_);
            const std::u16string version = app.get(u"Version").toString();
            pictures_ = std::stoi(std::string(version.begin(), version.begin() + version.find(u'.'))) >= 10;
            appEvents_ = com::Subscription::subscribe(app_.get(), __uuidof(ApplicationEvents),
                                                      [this](DISPID id, com::EventArgs& args) { OnApplication(id, args); });
            explorer_ = object(app.callOrGet(u"ActiveExplorer"));
            if (explorer_)
                explorerEvents_ = com::Subscription::subscribe(explorer_.get(), __uuidof(ExplorerEvents),
                                                               [this](DISPID id, com::EventArgs&) {
                                                                   if (id == 61448) DropHostObjects();
                                                               });
            inspectors_ = object(app.get(u"Inspectors"));
            inspectorsEvents_ = com::Subscription::subscribe(
                inspectors_.get(), __uuidof(InspectorsEvents), [this](DISPID id, com::EventArgs& args) {
                    if (id == 61441) SetUp(args.object(0));
                });
            DispatchCaller list(inspectors_);
            const int32_t count = list.get(u"Count").toLong();
            for (int32_t i = 1; i <= count; ++i) SetUp(object(list.callOrGet(u"Item", {Variant(i)})));
        });
    }
    STDMETHODIMP OnDisconnection(ext_DisconnectMode, SAFEARRAY**) noexcept override {
        return com::guard([&] {
            for (const auto& button : buttons_) {
                try {
                    DispatchCaller b(button);
                    auto bar = object(b.get(u"Parent"));
                    (void)b.call(u"Delete", {Variant::missing()});
                    DispatchCaller barCaller(bar);
                    if (DispatchCaller(object(barCaller.get(u"Controls"))).get(u"Count").toLong() == 0)
                        (void)barCaller.call(u"Delete");
                } catch (const HostError&) {
                    // A button the user removed: nothing to clean up.
                }
            }
            DropHostObjects();
        });
    }
    STDMETHODIMP OnAddInsUpdate(SAFEARRAY**) noexcept override { return S_OK; }
    STDMETHODIMP OnStartupComplete(SAFEARRAY**) noexcept override { return S_OK; }
    STDMETHODIMP OnBeginShutdown(SAFEARRAY**) noexcept override {
        DropHostObjects();
        return S_OK;
    }

protected:
    ~FakeAddIn() override { DropHostObjects(); }

private:
    void DropHostObjects() noexcept {
        clicks_.clear();
        buttons_.clear();
        inspectorsEvents_.reset();
        inspectors_.reset();
        explorerEvents_.reset();
        explorer_.reset();
        appEvents_.reset();
        app_.reset();
    }

    void OnApplication(DISPID id, com::EventArgs& args) {
        if (id == 61442) {
            const std::u16string subject = DispatchCaller(args.object(0)).get(u"Subject").toString();
            const std::wstring text = L"Send " + com::toWide(subject) + L"?";
            if (MessageBoxW(nullptr, text.c_str(), com::wide(progId_), MB_YESNO | MB_ICONQUESTION) == IDNO)
                args.setBoolean(1, true);
        } else if (id == 61445) {
            (void)DispatchCaller(args.object(0)).call(u"Add", {Variant(u"Fake.Page"), Variant(u"Fake Page")});
        }
    }

    void SetUp(const ComPtr<IDispatch>& inspector) {
        DispatchCaller ins(inspector);
        auto bars = object(ins.get(u"CommandBars"));
        DispatchCaller barsCaller(bars);
        auto button = object(barsCaller.callNamed(u"FindControl", {{u"Tag", Variant(kTag)}}));
        if (!button) {
            auto bar = object(barsCaller.call(u"Add", {Variant(u"Fake Toolbar"), Variant(1), Variant::missing(),
                                                       Variant(false)}));
            DispatchCaller(bar).put(u"Visible", Variant(true));
            button = object(DispatchCaller(object(DispatchCaller(bar).get(u"Controls"))).call(u"Add", {Variant(1)}));
            DispatchCaller b(button);
            b.put(u"Caption", Variant(u"Fake Button"));
            b.put(u"OnAction", Variant(u"!<" + progId_ + u">"));
            b.put(u"Style", Variant(3));
            b.put(u"Tag", Variant(kTag));
            if (pictures_) {
                b.putRef(u"Picture", Variant(static_cast<IDispatch*>(bitmap(RGB(0, 128, 0)).get())));
                b.putRef(u"Mask", Variant(static_cast<IDispatch*>(bitmap(RGB(255, 255, 255)).get())));
            } else {
                b.put(u"FaceId", Variant(59));
            }
            DispatchCaller(bar).put(u"Protection", Variant(1));
        }
        const auto item = object(ins.get(u"CurrentItem"));
        bool hasAttachments = false;
        try {
            hasAttachments = DispatchCaller(object(DispatchCaller(item).get(u"Attachments"))).get(u"Count").toLong() > 0;
        } catch (const HostError&) {
            // An item without attachments (a note).
        }
        DispatchCaller(button).put(u"Enabled", Variant(hasAttachments));
        clicks_.push_back(com::Subscription::subscribe(button.get(), __uuidof(_CommandBarButtonEvents),
                                                       [this](DISPID, com::EventArgs& args) {
                                                           const auto caption =
                                                               DispatchCaller(args.object(0)).get(u"Caption").toString();
                                                           const std::wstring text = L"Clicked " + com::toWide(caption);
                                                           MessageBoxW(nullptr, text.c_str(), L"Fake", MB_OK);
                                                       }));
        buttons_.push_back(button);
    }

    std::u16string progId_;
    bool pictures_ = false;
    ComPtr<IDispatch> app_;
    com::Subscription appEvents_;
    ComPtr<IDispatch> explorer_;
    com::Subscription explorerEvents_;
    ComPtr<IDispatch> inspectors_;
    com::Subscription inspectorsEvents_;
    std::vector<ComPtr<IDispatch>> buttons_;
    std::vector<com::Subscription> clicks_;
};

const com::ClassEntry classes[] = {{&kClsid, &com::createObject<FakeAddIn>}};

std::vector<com::RegKeyEntry> keys() {
    const std::wstring clsid = L"CLSID\\" + com::guidString(kClsid);
    return {
        {HKEY_CLASSES_ROOT, clsid, {{L"", std::wstring(L"Stand-in host test add-in")}}},
        {HKEY_CLASSES_ROOT,
         clsid + L"\\InprocServer32",
         {{L"", com::Module::path()}, {L"ThreadingModel", std::wstring(L"Apartment")}}},
        {HKEY_CLASSES_ROOT, clsid + L"\\ProgID", {{L"", std::wstring(kProgId)}}},
        {HKEY_CLASSES_ROOT, kProgId, {{L"", std::wstring(L"Stand-in host test add-in")}}},
        {HKEY_CLASSES_ROOT, std::wstring(kProgId) + L"\\CLSID", {{L"", com::guidString(kClsid)}}},
    };
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return com::getClassObject(classes, clsid, iid, out);
}

STDAPI DllCanUnloadNow() { return com::canUnloadNow(); }

// Registers the class only: each test writes the host's add-in list itself.
STDAPI DllRegisterServer() {
    return com::guard([] { return com::writeKeys(keys()); });
}

STDAPI DllUnregisterServer() {
    return com::guard([] { return com::removeKeys(keys()); });
}
