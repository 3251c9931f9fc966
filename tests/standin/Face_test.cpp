// The stand-in host's COM face as an add-in meets it: by name and by the host's dispatch ids, type
// names both ways, events through the host's dispinterfaces with Cancel written back, the ledger.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "standin/win/Face.h"
#include "StandinHost.h"
#include "com/DispatchCaller.h"
#include "com/EventSink.h"
#include "com/Strings.h"
#include "base/HostError.h"

using com::ComPtr;
using com::DispatchCaller;
using com::Variant;
using standin::CommandBarStore;
using standin::Host;
using standin::HostOptions;
using standin::ItemKind;
using standin::ItemNode;
using standin::win::Face;

namespace {

struct Apartment {
    Apartment() { hr = OleInitialize(nullptr); }
    ~Apartment() {
        if (SUCCEEDED(hr)) OleUninitialize();
    }
    HRESULT hr;
};

Variant invoke(IDispatch* object, DISPID id, WORD flags, std::vector<Variant> args = {}) {
    // Declaration order in, reversed for Invoke as COM passes them.
    std::vector<VARIANT> raw;
    for (auto it = args.rbegin(); it != args.rend(); ++it) raw.push_back(*it->get());
    DISPPARAMS params{raw.empty() ? nullptr : raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};
    Variant result;
    EXCEPINFO info{};
    const HRESULT hr = object->Invoke(id, IID_NULL, 0, flags, &params, result.put(), &info, nullptr);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    if (FAILED(hr)) throw HostError(hr == DISP_E_EXCEPTION ? info.scode : hr, {});
    return result;
}

std::u16string typeName(ITypeInfo* info) {
    com::Bstr name;
    EXPECT_EQ(info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr), S_OK);
    return name.str();
}

std::shared_ptr<ItemNode> mail(std::u16string subject) {
    auto item = std::make_shared<ItemNode>(ItemKind::Mail);
    item->subject = std::move(subject);
    item->sent = true;
    item->Attach(1, u"report.doc", "report");
    return item;
}

class FaceTest : public ::testing::Test {
protected:
    void Start(std::u16string version = u"9.0.0.2711") {
        HostOptions options;
        options.version = version;
        options.buttonPictures = version[0] != u'9';
        host = std::make_shared<Host>(store, options);
        face = std::make_unique<Face>(host, options);
        face->OnEvent([this](const std::u16string& e) { events.push_back(e); });
        explorer = host->OpenExplorer();
        app = face->Application();
    }
    void TearDown() override {
        app.reset();
        if (host) {
            EXPECT_EQ(host->ledger().LiveCount(), 0) << "the test released every host object";
        }
        if (face) {
            EXPECT_EQ(face->LiveObjects(), 0u);
        }
    }

    ComPtr<IDispatch> inspectorOf(const std::shared_ptr<ItemNode>& item) {
        host->OpenInspector(item);
        return invoke(app.get(), 274, DISPATCH_METHOD | DISPATCH_PROPERTYGET).toDispatch();
    }

    Apartment apartment;
    std::shared_ptr<CommandBarStore> store = std::make_shared<CommandBarStore>();
    std::shared_ptr<Host> host;
    std::unique_ptr<Face> face;
    std::shared_ptr<standin::ExplorerNode> explorer;
    ComPtr<IDispatch> app;
    std::vector<std::u16string> events;
};

TEST_F(FaceTest, ApplicationAnswersByTheHostsDispatchIds) {
    ASSERT_EQ(apartment.hr, S_OK);
    Start(u"11.0.5510");
    EXPECT_EQ(invoke(app.get(), 278, DISPATCH_PROPERTYGET).toString(), u"11.0.5510");
    DispatchCaller caller(app, __uuidof(_Application));
    EXPECT_EQ(caller.id(u"Version"), 278);
    EXPECT_EQ(caller.id(u"ActiveExplorer"), 273);
    EXPECT_EQ(caller.id(u"ActiveInspector"), 274);
    EXPECT_EQ(caller.id(u"Explorers"), 281);
    EXPECT_EQ(caller.id(u"Inspectors"), 282);
    // A method the add-in may call as a property, and the same object both times (COM identity).
    auto first = invoke(app.get(), 273, DISPATCH_METHOD | DISPATCH_PROPERTYGET).toDispatch();
    auto second = caller.callOrGet(u"ActiveExplorer").toDispatch();
    ASSERT_TRUE(first);
    EXPECT_EQ(first.query<IUnknown>().get(), second.query<IUnknown>().get());
    EXPECT_FALSE(invoke(app.get(), 274, DISPATCH_METHOD).toDispatch()) << "no inspector is open";
    EXPECT_EQ(invoke(invoke(app.get(), 281, DISPATCH_PROPERTYGET).toDispatch().get(), 80, DISPATCH_PROPERTYGET).toLong(), 1);
}

TEST_F(FaceTest, CollectionsCountFromOne) {
    Start();
    host->OpenInspector(mail(u"one"));
    host->OpenInspector(mail(u"two"));
    auto inspectors = invoke(app.get(), 282, DISPATCH_PROPERTYGET).toDispatch();
    EXPECT_EQ(invoke(inspectors.get(), 80, DISPATCH_PROPERTYGET).toLong(), 2);
    auto second = invoke(inspectors.get(), 81, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Variant(2)}).toDispatch();
    auto item = invoke(second.get(), 8450, DISPATCH_PROPERTYGET).toDispatch();
    EXPECT_EQ(DispatchCaller(item).get(u"Subject").toString(), u"two");
    try {
        (void)invoke(inspectors.get(), 81, DISPATCH_METHOD, {Variant(0)});
        ADD_FAILURE() << "Item(0) is out of range";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, E_INVALIDARG);
    }
}

TEST_F(FaceTest, ItemsReportTheHostsTypeNamesBothWays) {
    Start();
    const std::pair<ItemKind, const char16_t*> kinds[] = {
        {ItemKind::Mail, u"MailItem"}, {ItemKind::Note, u"NoteItem"}, {ItemKind::Post, u"PostItem"},
        {ItemKind::Appointment, u"AppointmentItem"}, {ItemKind::Meeting, u"MeetingItem"}};
    for (const auto& [kind, name] : kinds) {
        SCOPED_TRACE(com::toWide(name).c_str());
        auto item = DispatchCaller(inspectorOf(std::make_shared<ItemNode>(kind))).get(u"CurrentItem").toDispatch();
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(item->GetTypeInfo(0, 0, info.put()), S_OK);
        EXPECT_EQ(typeName(info.get()), u"_" + std::u16string(name));
        auto provider = item.query<IProvideClassInfo>();
        ComPtr<ITypeInfo> cls;
        ASSERT_EQ(provider->GetClassInfo(cls.put()), S_OK);
        EXPECT_EQ(typeName(cls.get()), name);
    }
}

TEST_F(FaceTest, MembersAnItemsClassLacksAreUnknownByName) {
    Start();
    auto note = DispatchCaller(inspectorOf(std::make_shared<ItemNode>(ItemKind::Note))).get(u"CurrentItem").toDispatch();
    LPOLESTR name = const_cast<LPOLESTR>(L"Attachments");
    DISPID id = 0;
    EXPECT_EQ(note->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), DISP_E_UNKNOWNNAME);
    auto item = DispatchCaller(inspectorOf(mail(u"m"))).get(u"CurrentItem").toDispatch();
    for (auto [member, expected] : {std::pair{L"Sent", 62466}, {L"SenderName", 3098}, {L"SentOn", 57},
                                    {L"Attachments", 63509}, {L"Saved", 61603}, {L"Save", 61512}, {L"Class", 61450}}) {
        name = const_cast<LPOLESTR>(member);
        EXPECT_EQ(item->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
        EXPECT_EQ(id, expected);
    }
    EXPECT_EQ(invoke(item.get(), 61450, DISPATCH_PROPERTYGET).toLong(), 43);
}

TEST_F(FaceTest, AttachmentsAddAppendsWithOptionalArgumentsLeftOut) {
    Start();
    const std::wstring path = L"standin_face_attachment.txt";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "abc", 3, &written, nullptr);
    CloseHandle(file);

    auto node = mail(u"m");
    auto item = DispatchCaller(inspectorOf(node)).get(u"CurrentItem").toDispatch();
    auto list = invoke(item.get(), 63509, DISPATCH_PROPERTYGET).toDispatch();
    auto added = invoke(list.get(), 101, DISPATCH_METHOD,
                        {Variant(com::fromWide(path)), Variant(4), Variant::missing(), Variant(u"Shortcut")})
                     .toDispatch();
    EXPECT_EQ(invoke(list.get(), 80, DISPATCH_PROPERTYGET).toLong(), 2);
    auto last = invoke(list.get(), 81, DISPATCH_METHOD, {Variant(2)}).toDispatch();
    EXPECT_EQ(added.query<IUnknown>().get(), last.query<IUnknown>().get()) << "Add appends and returns it";
    EXPECT_EQ(invoke(last.get(), 14085, DISPATCH_PROPERTYGET).toLong(), 6) << "OLE until the item is saved";
    EXPECT_EQ(invoke(last.get(), 14088, DISPATCH_PROPERTYGET).toString(), com::fromWide(path));
    EXPECT_EQ(invoke(last.get(), 12289, DISPATCH_PROPERTYGET).toString(), u"Shortcut");
    auto parent = invoke(last.get(), 113, DISPATCH_PROPERTYGET).toDispatch();
    EXPECT_EQ(parent.query<IUnknown>().get(), item.query<IUnknown>().get());
    EXPECT_FALSE(invoke(item.get(), 61603, DISPATCH_PROPERTYGET).toBool()) << "adding made the item unsaved";
    invoke(item.get(), 61512, DISPATCH_METHOD);
    EXPECT_EQ(invoke(last.get(), 14085, DISPATCH_PROPERTYGET).toLong(), 4) << "a link once saved";
    DeleteFileW(path.c_str());
}

template <class F>
int32_t statusOf(F call) {
    try {
        call();
    } catch (const HostError& e) {
        return e.status;
    }
    return 0;
}

TEST_F(FaceTest, BodiesAndItemPropertiesAnswerByTheHostsDispatchIds) {
    Start(u"16.0.0.1");
    auto node = mail(u"m");
    auto item = DispatchCaller(inspectorOf(node)).get(u"CurrentItem").toDispatch();
    DISPID id = 0;
    for (auto [member, expected] : {std::pair{L"Body", 37120}, {L"HTMLBody", 62468}, {L"BodyFormat", 64073},
                                    {L"RTFBody", 64644}, {L"MessageClass", 26}, {L"PropertyAccessor", 64253}}) {
        LPOLESTR name = const_cast<LPOLESTR>(member);
        EXPECT_EQ(item->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
        EXPECT_EQ(id, expected);
    }
    const DispatchCaller caller(item);
    caller.put(u"HTMLBody", Variant(u"<p>a &amp; b</p>"));
    EXPECT_EQ(invoke(item.get(), 64073, DISPATCH_PROPERTYGET).toLong(), 2);
    EXPECT_EQ(invoke(item.get(), 37120, DISPATCH_PROPERTYGET).toString(), u"a & b\r\n");
    EXPECT_FALSE(node->saved);
    // RTFBody is a byte array both ways.
    const std::string rtf = "{\\rtf1 x\\par y\\'e9}";
    caller.put(u"RTFBody", Variant::fromBytes(rtf));
    const Variant got = invoke(item.get(), 64644, DISPATCH_PROPERTYGET);
    EXPECT_EQ(got.type(), VT_ARRAY | VT_UI1);
    EXPECT_EQ(got.toBytes(), rtf);
    EXPECT_EQ(node->body, u"x\r\ny\u00E9");
    EXPECT_EQ(statusOf([&] { caller.put(u"RTFBody", Variant(u"text")); }), DISP_E_TYPEMISMATCH);
    caller.put(u"Body", Variant(u"plain"));
    EXPECT_EQ(invoke(item.get(), 64073, DISPATCH_PROPERTYGET).toLong(), 1);
    EXPECT_EQ(invoke(item.get(), 26, DISPATCH_PROPERTYGET).toString(), u"IPM.Note");

    auto accessor = invoke(item.get(), 64253, DISPATCH_PROPERTYGET).toDispatch();
    for (auto [member, expected] : {std::pair{L"GetProperty", 64251}, {L"SetProperty", 64252}, {L"DeleteProperty", 64401}}) {
        LPOLESTR name = const_cast<LPOLESTR>(member);
        EXPECT_EQ(accessor->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
        EXPECT_EQ(id, expected);
    }
    const Variant named(u"http://schemas.microsoft.com/mapi/string/{00020329-0000-0000-C000-000000000046}/Record");
    invoke(accessor.get(), 64252, DISPATCH_METHOD, {named, Variant(u"kept")});
    EXPECT_EQ(invoke(accessor.get(), 64251, DISPATCH_METHOD, {named}).toString(), u"kept");
    invoke(accessor.get(), 64252, DISPATCH_METHOD, {named, Variant(5)});
    EXPECT_EQ(invoke(accessor.get(), 64251, DISPATCH_METHOD, {named}).type(), VT_I4);
    invoke(accessor.get(), 64401, DISPATCH_METHOD, {named});
    EXPECT_EQ(statusOf([&] { invoke(accessor.get(), 64251, DISPATCH_METHOD, {named}); }), HostStatus::NotFound);
    const Variant access(u"http://schemas.microsoft.com/mapi/proptag/0x0FF40003");
    EXPECT_EQ(invoke(accessor.get(), 64251, DISPATCH_METHOD, {access}).toLong(), 0x7);
    node->access = standin::MapiAccess::Read;
    EXPECT_EQ(invoke(accessor.get(), 64251, DISPATCH_METHOD, {access}).toLong(), 0x2);
    EXPECT_EQ(statusOf([&] { invoke(item.get(), 61512, DISPATCH_METHOD); }), E_ACCESSDENIED);
}

TEST_F(FaceTest, RTFBodyComesWithVersion14AndPropertyAccessorWith12) {
    for (const auto& [version, rtf, accessor] : {std::tuple{u"9.0.0.2711", false, false}, {u"12.0.0.1", false, true},
                                                 {u"14.0.0.1", true, true}}) {
        SCOPED_TRACE(com::toWide(version).c_str());
        Start(version);
        auto item = DispatchCaller(inspectorOf(mail(u"m"))).get(u"CurrentItem").toDispatch();
        EXPECT_EQ(statusOf([&] { invoke(item.get(), 64644, DISPATCH_PROPERTYGET); }) == HostStatus::MemberNotFound, !rtf);
        EXPECT_EQ(statusOf([&] { invoke(item.get(), 64253, DISPATCH_PROPERTYGET); }) == HostStatus::MemberNotFound,
                  !accessor);
        item.reset();
        host->CloseAllWindows();
        app.reset();
    }
}

TEST_F(FaceTest, InjectedFailuresComeBackAsTheirStatus) {
    Start();
    host->ledger().FailMember("Application.Version", E_ACCESSDENIED);
    try {
        (void)DispatchCaller(app).get(u"Version");
        ADD_FAILURE() << "expected the injected failure";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, E_ACCESSDENIED);
    }
}

TEST_F(FaceTest, ItemSendReachesTheSinkAndCancelComesBack) {
    Start();
    std::vector<std::u16string> seen;
    auto subscription = com::Subscription::subscribe(
        app.get(), __uuidof(ApplicationEvents), [&](DISPID id, com::EventArgs& args) {
            EXPECT_EQ(id, 61442);
            ASSERT_EQ(args.size(), 2u);
            EXPECT_EQ(V_VT(&args[1]), VT_BOOL | VT_BYREF);
            seen.push_back(DispatchCaller(args.object(0)).get(u"Subject").toString());
            args.setBoolean(1, seen.size() == 1);
        });
    auto item = mail(u"first");
    EXPECT_FALSE(host->Send(item)) << "the sink cancelled";
    EXPECT_TRUE(host->Send(item));
    EXPECT_EQ(seen, (std::vector<std::u16string>{u"first", u"first"}));
    EXPECT_EQ(events.front(), u"ItemSend sinks=1 cancel=true");
    EXPECT_EQ(events.back(), u"ItemSend sinks=1 cancel=false");
}

TEST_F(FaceTest, SubscriptionsReachTheModelOnlyWhileASinkIsAdvised) {
    Start();
    host->ledger().ClearCalls();
    {
        auto subscription = com::Subscription::subscribe(app.get(), __uuidof(ApplicationEvents), [](DISPID, com::EventArgs&) {});
        auto second = com::Subscription::subscribe(app.get(), __uuidof(ApplicationEvents), [](DISPID, com::EventArgs&) {});
    }
    EXPECT_EQ(host->ledger().Calls(), std::vector<std::string>{"Application.Subscribe"});
    (void)host->Send(mail(u"m"));
    EXPECT_TRUE(events.empty()) << "with no sink advised the model has nobody to call";
    // A source that is not one of the host's event interfaces is refused.
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(app.query<IConnectionPointContainer>()->FindConnectionPoint(IID_IDispatch, point.put()),
              CONNECT_E_NOCONNECTION);
}

TEST_F(FaceTest, WindowEventsArriveByTheirIds) {
    Start();
    std::vector<DISPID> ids;
    auto explorerObject = DispatchCaller(app).callOrGet(u"ActiveExplorer").toDispatch();
    auto onExplorer = com::Subscription::subscribe(explorerObject.get(), __uuidof(ExplorerEvents),
                                                   [&](DISPID id, com::EventArgs&) { ids.push_back(id); });
    ComPtr<IDispatch> opened;
    auto inspectors = DispatchCaller(app).get(u"Inspectors").toDispatch();
    auto onInspectors = com::Subscription::subscribe(inspectors.get(), __uuidof(InspectorsEvents),
                                                     [&](DISPID id, com::EventArgs& args) {
                                                         ids.push_back(id);
                                                         opened = args.object(0);
                                                     });
    host->OpenInspector(mail(u"new"));
    ASSERT_TRUE(opened);
    EXPECT_EQ(DispatchCaller(DispatchCaller(opened).get(u"CurrentItem").toDispatch()).get(u"Subject").toString(), u"new");
    host->ChangeSelection(explorer);
    host->CloseExplorer(explorer);
    EXPECT_EQ(ids, (std::vector<DISPID>{61441, 61447, 61448}));
    opened.reset();
}

TEST_F(FaceTest, ToolbarButtonFoundByTagAndClickedThroughAnyButtonWithIt) {
    Start();
    auto inspector = inspectorOf(mail(u"m"));
    auto bars = invoke(inspector.get(), 8448, DISPATCH_PROPERTYGET).toDispatch();
    DispatchCaller barsCaller(bars, __uuidof(_CommandBars));
    EXPECT_EQ(barsCaller.id(u"Add"), static_cast<DISPID>(0x60030002));
    EXPECT_EQ(barsCaller.id(u"FindControl"), static_cast<DISPID>(0x60030008));
    EXPECT_FALSE(barsCaller.callNamed(u"FindControl", {{u"Tag", Variant(u"T")}}).toDispatch());

    auto bar = invoke(bars.get(), 0x60030002, DISPATCH_METHOD,
                      {Variant(u"Bar"), Variant(1), Variant::missing(), Variant(false)})
                   .toDispatch();
    auto controls = invoke(bar.get(), 0x60040003, DISPATCH_PROPERTYGET).toDispatch();
    auto button = invoke(controls.get(), 0x60030000, DISPATCH_METHOD, {Variant(1)}).toDispatch();
    DispatchCaller b(button, __uuidof(_CommandBarButton));
    b.put(u"Caption", Variant(u"Go"));
    b.put(u"Tag", Variant(u"T"));
    b.put(u"Style", Variant(3));
    EXPECT_EQ(b.id(u"Tag"), static_cast<DISPID>(0x60040023));
    EXPECT_EQ(b.id(u"Style"), static_cast<DISPID>(0x6005000A));
    EXPECT_EQ(invoke(button.get(), 0x6005000A, DISPATCH_PROPERTYGET).toLong(), 3);

    auto found = barsCaller.callNamed(u"FindControl", {{u"Tag", Variant(u"T")}}).toDispatch();
    EXPECT_EQ(found.query<IUnknown>().get(), button.query<IUnknown>().get());

    // A second button with the same tag in another window: a click on it reaches the first one's sink.
    auto other = inspectorOf(mail(u"other"));
    auto otherBars = DispatchCaller(other).get(u"CommandBars").toDispatch();
    auto otherBar = DispatchCaller(otherBars).call(u"Add", {Variant(u"Bar")}).toDispatch();
    auto otherButton =
        DispatchCaller(DispatchCaller(otherBar).get(u"Controls").toDispatch()).call(u"Add", {Variant(1)}).toDispatch();
    DispatchCaller(otherButton).put(u"Tag", Variant(u"T"));
    std::u16string clicked;
    auto onClick = com::Subscription::subscribe(button.get(), __uuidof(_CommandBarButtonEvents),
                                                [&](DISPID id, com::EventArgs& args) {
                                                    EXPECT_EQ(id, 1);
                                                    EXPECT_EQ(V_VT(&args[1]), VT_BOOL | VT_BYREF);
                                                    clicked = DispatchCaller(args.object(0)).get(u"Tag").toString();
                                                    args.setBoolean(1, true);
                                                });
    host->Click(host->Inspectors().back()->bars->bars.front()->controls.front());
    EXPECT_EQ(clicked, u"T");
    EXPECT_EQ(events.back(), u"Click sinks=1 canceldefault=true");
}

ComPtr<IPictureDisp> picture() {
    PICTDESC desc{sizeof desc, PICTYPE_BITMAP, {}};
    desc.bmp.hbitmap = CreateBitmap(16, 16, 1, 32, nullptr);
    ComPtr<IPictureDisp> p;
    EXPECT_EQ(OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, p.putVoid()), S_OK);
    return p;
}

ComPtr<IDispatch> newButton(IDispatch* inspector) {
    auto bars = DispatchCaller(ComPtr<IDispatch>(inspector)).get(u"CommandBars").toDispatch();
    auto bar = DispatchCaller(bars).call(u"Add", {Variant(u"Bar")}).toDispatch();
    return DispatchCaller(DispatchCaller(bar).get(u"Controls").toDispatch()).call(u"Add", {Variant(1)}).toDispatch();
}

TEST_F(FaceTest, AVersion9ButtonHasNoPictureByName) {
    Start(u"9.0.0.2711");
    auto button = newButton(inspectorOf(mail(u"m")).get());
    LPOLESTR name = const_cast<LPOLESTR>(L"Picture");
    DISPID id = 0;
    EXPECT_EQ(button->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), DISP_E_UNKNOWNNAME);
    name = const_cast<LPOLESTR>(L"Mask");
    EXPECT_EQ(button->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), DISP_E_UNKNOWNNAME);
    try {
        DispatchCaller(button).put(u"FaceId", Variant(3));
    } catch (const HostError& e) {
        ADD_FAILURE() << "FaceId is there in every version: " << std::hex << e.status;
    }
}

TEST_F(FaceTest, ALaterButtonTakesPictureAndMask) {
    Start(u"11.0.5510");
    auto button = newButton(inspectorOf(mail(u"m")).get());
    DispatchCaller b(button);
    EXPECT_EQ(b.id(u"Picture"), static_cast<DISPID>(0x6005000E));
    EXPECT_EQ(b.id(u"Mask"), static_cast<DISPID>(0x60050010));
    b.putRef(u"Picture", Variant(static_cast<IDispatch*>(picture().get())));
    b.put(u"Mask", Variant(static_cast<IDispatch*>(picture().get())));
    const auto& control = host->Inspectors().back()->bars->bars.front()->controls.front();
    ASSERT_TRUE(control->picture);
    ASSERT_TRUE(control->mask);
    EXPECT_EQ(face->PictureText(control->picture), u"bitmap 16x16");
    EXPECT_NE(control->picture, control->mask);
}

TEST_F(FaceTest, TheAddInObjectAnswersProgId) {
    Start();
    auto addIn = face->AddIn(u"Some.AddIn");
    EXPECT_EQ(invoke(addIn.get(), 3, DISPATCH_PROPERTYGET).toString(), u"Some.AddIn");
    EXPECT_EQ(DispatchCaller(addIn).get(u"ProgId").toString(), u"Some.AddIn");
}

TEST_F(FaceTest, TheLedgerCountsWhatIsStillHeld) {
    Start();
    auto item = DispatchCaller(inspectorOf(mail(u"m"))).get(u"CurrentItem").toDispatch();
    const auto live = host->ledger().Live();
    EXPECT_EQ(live.at("Item"), 1);
    EXPECT_EQ(live.at("Application"), 1);
    item.reset();
    EXPECT_EQ(host->ledger().Live().count("Item"), 0u);
}

TEST_F(FaceTest, RibbonObjectsAnswerByTheHostsDispatchIds) {
    Start(u"14.0.7015.1000");
    const auto window = host->OpenInspector(mail(u"m"));
    auto ribbonNode = std::make_shared<standin::RibbonNode>();
    auto controlNode = std::make_shared<standin::RibbonControlNode>(standin::RibbonControlNode{u"Button", u"tag", window, {}, standin::RibbonPlace::ItemWindow});
    {
        auto ribbon = face->RibbonUI(host->RibbonUIObject(ribbonNode));
        EXPECT_TRUE(ribbon.tryQuery<IRibbonUI>());
        (void)invoke(ribbon.get(), 2, DISPATCH_METHOD, {Variant(u"Button")});
        (void)DispatchCaller(ribbon).call(u"Invalidate");
        EXPECT_EQ(ribbonNode->invalid, std::vector<std::u16string>{u"Button"});
        EXPECT_TRUE(ribbonNode->invalidAll);
        // The same ribbon is the same object while it lives.
        EXPECT_TRUE(face->RibbonUI(host->RibbonUIObject(ribbonNode)) == ribbon);

        auto control = face->RibbonControl(host->RibbonControlObject(controlNode));
        EXPECT_EQ(invoke(control.get(), 1, DISPATCH_PROPERTYGET).toString(), u"Button");
        EXPECT_EQ(invoke(control.get(), 3, DISPATCH_PROPERTYGET).toString(), u"tag");
        // Its window is the item window's inspector, the one the application hands out.
        auto context = invoke(control.get(), 2, DISPATCH_PROPERTYGET).toDispatch();
        ASSERT_TRUE(context.tryQuery<_Inspector>());
        auto active = invoke(app.get(), 274, DISPATCH_METHOD).toDispatch();
        EXPECT_TRUE(context.query<IUnknown>() == active.query<IUnknown>());
        EXPECT_EQ(DispatchCaller(control).id(u"Context"), 2);
    }
    host->CloseInspector(window);
    controlNode->window.reset();
    auto gone = face->RibbonControl(host->RibbonControlObject(controlNode));
    EXPECT_FALSE(invoke(gone.get(), 2, DISPATCH_PROPERTYGET).toDispatch()) << "no window";
}

TEST_F(FaceTest, SelectionsAnswerByTheHostsDispatchIdsInterfacesAndTypeNames) {
    Start(u"14.0.7015.1000");
    auto first = mail(u"one");
    first->Attach(1, u"second.txt", "second");
    host->Select(explorer, {first, mail(u"two")});
    host->SelectAttachments(explorer, {first->attachments[1]});
    auto main = invoke(app.get(), 273, DISPATCH_METHOD).toDispatch();
    EXPECT_EQ(DispatchCaller(main).id(u"Selection"), 8706);
    EXPECT_EQ(DispatchCaller(main).id(u"AttachmentSelection"), 64632);

    const struct {
        const char* why;
        DISPID member;
        IID iid;
        const char16_t* typeName;
    } selections[] = {
        {"the list's items", 8706, __uuidof(Selection), u"Selection"},
        {"the reading pane's attachments", 64632, __uuidof(_AttachmentSelection), u"_AttachmentSelection"},
    };
    for (const auto& s : selections) {
        SCOPED_TRACE(s.why);
        auto selection = invoke(main.get(), s.member, DISPATCH_PROPERTYGET).toDispatch();
        ASSERT_TRUE(selection);
        ComPtr<IUnknown> asked;
        EXPECT_EQ(selection->QueryInterface(s.iid, reinterpret_cast<void**>(asked.put())), S_OK);
        EXPECT_EQ(selection->QueryInterface(__uuidof(_Explorer), reinterpret_cast<void**>(asked.put())), E_NOINTERFACE);
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(selection->GetTypeInfo(0, 0, info.put()), S_OK);
        EXPECT_EQ(typeName(info.get()), s.typeName);
        DispatchCaller caller(selection);
        EXPECT_EQ(caller.id(u"Count"), 80);
        EXPECT_EQ(caller.id(u"Item"), 81);
    }
    auto items = invoke(main.get(), 8706, DISPATCH_PROPERTYGET).toDispatch();
    EXPECT_EQ(invoke(items.get(), 80, DISPATCH_PROPERTYGET).toLong(), 2);
    auto second = invoke(items.get(), 81, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Variant(2)}).toDispatch();
    EXPECT_EQ(invoke(second.get(), 55, DISPATCH_PROPERTYGET).toString(), u"two");

    auto attachments = invoke(main.get(), 64632, DISPATCH_PROPERTYGET).toDispatch();
    EXPECT_EQ(invoke(attachments.get(), 80, DISPATCH_PROPERTYGET).toLong(), 1);
    EXPECT_EQ(invoke(attachments.get(), 33288, DISPATCH_PROPERTYGET).toLong(), 4) << "olAttachmentWell";
    auto attachment = invoke(attachments.get(), 81, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Variant(1)}).toDispatch();
    EXPECT_EQ(invoke(attachment.get(), 14084, DISPATCH_PROPERTYGET).toString(), u"second.txt");
    EXPECT_EQ(invoke(attachment.get(), 91, DISPATCH_PROPERTYGET).toLong(), 2);
    auto parent = invoke(attachment.get(), 113, DISPATCH_PROPERTYGET).toDispatch();
    EXPECT_EQ(invoke(parent.get(), 55, DISPATCH_PROPERTYGET).toString(), u"one");
    try {
        (void)invoke(attachments.get(), 81, DISPATCH_METHOD, {Variant(2)});
        ADD_FAILURE() << "Item(2) of one is out of range";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, E_INVALIDARG);
    }
}

TEST_F(FaceTest, BeforeVersion14AMainWindowHasNoAttachmentSelection) {
    Start(u"12.0.6606.1000");
    host->Select(explorer, {mail(u"one")});
    auto main = invoke(app.get(), 273, DISPATCH_METHOD).toDispatch();
    LPOLESTR name = const_cast<LPOLESTR>(L"AttachmentSelection");
    DISPID id = 0;
    EXPECT_EQ(main->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), DISP_E_UNKNOWNNAME);
    try {
        (void)invoke(main.get(), 64632, DISPATCH_PROPERTYGET);
        ADD_FAILURE() << "no such member before version 14";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, DISP_E_MEMBERNOTFOUND);
    }
    auto items = DispatchCaller(main).get(u"Selection").toDispatch();
    EXPECT_EQ(invoke(items.get(), 80, DISPATCH_PROPERTYGET).toLong(), 1);
}

TEST_F(FaceTest, ARibbonControlsContextIsTheObjectOfItsPlace) {
    Start(u"14.0.7015.1000");
    host->Select(explorer, {mail(u"one"), mail(u"two")});
    host->SelectAttachments(explorer, {host->Explorers().front()->selection.front()->attachments.front()});
    const struct {
        const char* why;
        standin::RibbonPlace place;
        IID iid;
        int count;  // Count of the selection; 0: the main window itself
    } places[] = {
        {"the main window's ribbon", standin::RibbonPlace::MainWindow, __uuidof(_Explorer), 0},
        {"the items' menu", standin::RibbonPlace::ItemMenu, __uuidof(Selection), 2},
        {"the attachments' menu", standin::RibbonPlace::AttachmentMenu, __uuidof(_AttachmentSelection), 1},
    };
    // The add-in tells them apart by QueryInterface, so each answers its own interface alone.
    const IID all[] = {__uuidof(_Inspector), __uuidof(_Explorer), __uuidof(Selection), __uuidof(_AttachmentSelection)};
    for (const auto& p : places) {
        SCOPED_TRACE(p.why);
        auto node = std::make_shared<standin::RibbonControlNode>(
            standin::RibbonControlNode{u"Button", u"", {}, explorer, p.place});
        auto control = face->RibbonControl(host->RibbonControlObject(node));
        auto context = invoke(control.get(), 2, DISPATCH_PROPERTYGET).toDispatch();
        ASSERT_TRUE(context);
        for (const IID& iid : all) {
            ComPtr<IUnknown> asked;
            const HRESULT hr = context->QueryInterface(iid, reinterpret_cast<void**>(asked.put()));
            EXPECT_EQ(hr, IsEqualIID(iid, p.iid) ? S_OK : E_NOINTERFACE);
        }
        if (p.count) {
            EXPECT_EQ(invoke(context.get(), 80, DISPATCH_PROPERTYGET).toLong(), p.count);
        } else {
            auto active = invoke(app.get(), 273, DISPATCH_METHOD).toDispatch();
            EXPECT_TRUE(context.query<IUnknown>() == active.query<IUnknown>()) << "the window the application hands out";
        }
    }
}

TEST(DescribePicture, SaysSizeAndForA32BitBitmapItsAlphaChannel) {
    Apartment apartment;
    EXPECT_EQ(standin::win::DescribePicture(nullptr), u"none");
    const auto picture = [](int bits, const std::vector<BYTE>& alphas) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, 2, 1, static_cast<WORD>(bits), BI_RGB, 0, 0, 0, 0, 0};
        void* pixels = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
        EXPECT_NE(bitmap, nullptr);
        if (bits == 32)
            for (size_t i = 0; i < alphas.size(); ++i) static_cast<BYTE*>(pixels)[i * 4 + 3] = alphas[i];
        PICTDESC description{sizeof description, PICTYPE_BITMAP, {}};
        description.bmp.hbitmap = bitmap;
        ComPtr<IUnknown> object;
        EXPECT_EQ(OleCreatePictureIndirect(&description, IID_IPicture, TRUE, object.putVoid()), S_OK);
        return object;
    };
    EXPECT_EQ(standin::win::DescribePicture(picture(24, {}).get()), u"bitmap 2x2");
    EXPECT_EQ(standin::win::DescribePicture(picture(32, {0, 255, 255, 128}).get()),
              u"bitmap 2x2 32-bit alpha clear=1 opaque=2 partial=1");
}

}  // namespace
