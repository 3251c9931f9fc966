#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "addin/core/host/CommandBars.h"
#include "addin/core/host/Explorer.h"
#include "addin/core/host/Inspector.h"
#include "addin/core/host/Item.h"
#include "standin/model/Host.h"

using standin::ItemKind;

namespace {

struct ModelTest : testing::Test {
    std::shared_ptr<host::Item> Object(const std::shared_ptr<standin::ItemNode>& item) { return host.ItemObject(item); }
    static std::u16string U16(const std::filesystem::path& p) { return p.u16string(); }
    static std::string Read(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // Under the test's working directory (the build tree), never the machine's shared temporary
    // folder: the same test of another build may run at the same moment.
    std::filesystem::path dir = std::filesystem::current_path() / "standin-model" /
                                ::testing::UnitTest::GetInstance()->current_test_info()->name();
    standin::Host host;
};

template <class F>
int32_t StatusOf(F call) {
    try {
        call();
    } catch (const HostError& e) {
        return e.status;
    }
    return 0;
}

}  // namespace

TEST_F(ModelTest, ItemsReportTheirClassNamesAndLackMembersByKind) {
    EXPECT_EQ(Object(std::make_shared<standin::ItemNode>(ItemKind::Mail))->TypeName(), u"MailItem");
    EXPECT_EQ(Object(std::make_shared<standin::ItemNode>(ItemKind::Post))->TypeName(), u"PostItem");
    EXPECT_EQ(Object(std::make_shared<standin::ItemNode>(ItemKind::Appointment))->TypeName(), u"AppointmentItem");
    const auto note = Object(std::make_shared<standin::ItemNode>(ItemKind::Note));
    EXPECT_EQ(note->TypeName(), u"NoteItem");
    EXPECT_EQ(StatusOf([&] { note->Attachments(); }), HostStatus::MemberNotFound);
    const auto post = Object(std::make_shared<standin::ItemNode>(ItemKind::Post));
    EXPECT_EQ(StatusOf([&] { post->Sent(); }), HostStatus::MemberNotFound);
    EXPECT_NO_THROW(post->SenderName());
}

TEST_F(ModelTest, AttachmentsAreCountedFromOneAndAddAppends) {
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "new.txt") << "fresh";
    auto node = std::make_shared<standin::ItemNode>(ItemKind::Mail);
    node->Attach(1, u"a.txt", "A");
    node->Attach(4, u"C:\\x\\b.txt", "");
    const auto attachments = Object(node)->Attachments();
    EXPECT_EQ(attachments->Item(1)->FileName(), u"a.txt");
    EXPECT_EQ(StatusOf([&] { attachments->Item(0); }), HostStatus::InvalidArg);
    EXPECT_EQ(StatusOf([&] { attachments->Item(3); }), HostStatus::InvalidArg);

    const auto added = attachments->Add(U16(dir / "new.txt"), 1, {}, u"Shown");
    EXPECT_EQ(attachments->Count(), 3);
    EXPECT_TRUE(attachments->Item(3)->SameObject(*added));
    EXPECT_EQ(added->DisplayName(), u"Shown");
    EXPECT_EQ(node->attachments[2]->content, "fresh");
    const auto link = attachments->Add(u"C:\\saved\\c.doc", host::AttachmentType::ByReference);
    EXPECT_EQ(link->FileName(), u"c.doc");
    EXPECT_EQ(node->attachments[3]->source, u"C:\\saved\\c.doc");
}

TEST_F(ModelTest, ChangesToAttachmentsMakeTheItemUnsavedUntilSaved) {
    auto node = std::make_shared<standin::ItemNode>(ItemKind::Post);
    node->Attach(1, u"a.txt", "A");
    node->Attach(1, u"b.txt", "B");
    const auto item = Object(node);
    EXPECT_TRUE(item->Saved());
    item->Attachments()->Item(1)->SetDisplayName(u"renamed");
    EXPECT_FALSE(item->Saved());
    item->Save();
    EXPECT_TRUE(item->Saved());
    const auto first = item->Attachments()->Item(1);
    first->Delete();
    EXPECT_FALSE(item->Saved());
    EXPECT_EQ(item->Attachments()->Item(1)->FileName(), u"b.txt");
    EXPECT_EQ(StatusOf([&] { first->Type(); }), HostStatus::Fail);
}

TEST_F(ModelTest, SaveAsFileWritesTheContent) {
    std::filesystem::create_directories(dir);
    auto node = std::make_shared<standin::ItemNode>(ItemKind::Mail);
    node->Attach(1, u"a.bin", std::string("A\0B", 3));
    std::ofstream(dir / "linked.txt") << "linked";
    node->Attach(4, U16(dir / "linked.txt"), "");
    const auto attachments = Object(node)->Attachments();
    attachments->Item(1)->SaveAsFile(U16(dir / "out.bin"));
    attachments->Item(2)->SaveAsFile(U16(dir / "copy.txt"));
    EXPECT_EQ(Read(dir / "out.bin"), std::string("A\0B", 3));
    EXPECT_EQ(Read(dir / "copy.txt"), "linked");
    EXPECT_NE(StatusOf([&] { attachments->Item(1)->SaveAsFile(U16(dir / "missing" / "x.bin")); }), 0);
}

TEST_F(ModelTest, AWriteThatBreaksOffLeavesWhatItWroteAndFails) {
    std::filesystem::create_directories(dir);
    auto node = std::make_shared<standin::ItemNode>(ItemKind::Mail);
    node->Attach(1, u"a.bin", "0123456789");
    const auto attachment = Object(node)->Attachments()->Item(1);
    constexpr int32_t kDiskFull = static_cast<int32_t>(0x80070070u);
    // Every call, then only the second call from now, then a limit past the end (the write fails
    // all the same, whole).
    host.ledger().FailWriteAfter("Attachment.SaveAsFile", 4, kDiskFull);
    EXPECT_EQ(StatusOf([&] { attachment->SaveAsFile(U16(dir / "a")); }), kDiskFull);
    EXPECT_EQ(StatusOf([&] { attachment->SaveAsFile(U16(dir / "b")); }), kDiskFull);
    EXPECT_EQ(Read(dir / "a"), "0123");
    EXPECT_EQ(Read(dir / "b"), "0123");
    host.ledger().ClearFailures();
    host.ledger().FailWriteAfter("Attachment.SaveAsFile", 0, HostStatus::Fail, 2);
    host.ledger().FailWriteAfter("Attachment.SaveAsFile", 20, HostStatus::Fail, 3);
    EXPECT_EQ(StatusOf([&] { attachment->SaveAsFile(U16(dir / "c")); }), 0);
    EXPECT_EQ(StatusOf([&] { attachment->SaveAsFile(U16(dir / "d")); }), HostStatus::Fail);
    EXPECT_EQ(StatusOf([&] { attachment->SaveAsFile(U16(dir / "e")); }), HostStatus::Fail);
    EXPECT_EQ(StatusOf([&] { attachment->SaveAsFile(U16(dir / "f")); }), 0);
    EXPECT_EQ(Read(dir / "c"), "0123456789");
    EXPECT_EQ(Read(dir / "d"), "");
    EXPECT_TRUE(std::filesystem::exists(dir / "d"));
    EXPECT_EQ(Read(dir / "e"), "0123456789");
    EXPECT_EQ(Read(dir / "f"), "0123456789");
}

TEST_F(ModelTest, TheAuditFindsAFileWrittenUnderANameNoDialogGave) {
    std::filesystem::create_directories(dir);
    auto node = std::make_shared<standin::ItemNode>(ItemKind::Mail);
    node->Attach(1, u"a.bin", "content");
    const auto attachment = Object(node)->Attachments()->Item(1);
    attachment->SaveAsFile(U16(dir / "chosen.bin"));
    attachment->SaveAsFile(U16(dir / ".~tlb0.tmp"));
    attachment->SaveAsFile(U16(dir / "moved.tmp"));
    std::filesystem::rename(dir / "moved.tmp", dir / "chosen.bin");
    host.FileChosen(U16(dir / "CHOSEN.BIN"));  // as the file system compares names
    const auto inconsistent = [&] { return host.Audit({u"tag", u"bar", u"caption"}, false).inconsistent; };
    ASSERT_EQ(inconsistent().size(), 1u);
    EXPECT_NE(inconsistent()[0].find(".~tlb0.tmp"), std::string::npos) << inconsistent()[0];
    std::filesystem::remove(dir / ".~tlb0.tmp");
    EXPECT_TRUE(inconsistent().empty());
}

TEST_F(ModelTest, CommandBarsAreKeptAcrossARestart) {
    auto store = std::make_shared<standin::CommandBarStore>();
    {
        standin::Host first(store);
        const auto ins = first.OpenInspector(std::make_shared<standin::ItemNode>(ItemKind::Mail));
        const auto bars = first.InspectorObject(ins)->CommandBars();
        const auto button = bars->Add(u"Kept", 1, {}, false)->Controls()->Add(1, {}, {}, {}, false);
        button->SetTag(u"t");
        bars->Add(u"Gone", 1, {}, true)->Controls()->Add(1, {}, {}, {}, false)->SetTag(u"u");
        first.CloseAllWindows();
    }
    standin::Host next(store);
    const auto ins = next.OpenInspector(std::make_shared<standin::ItemNode>(ItemKind::Mail));
    const auto bars = next.InspectorObject(ins)->CommandBars();
    const auto found = bars->FindControl({}, {}, u"t", {});
    ASSERT_TRUE(found);
    EXPECT_EQ(found->Parent()->Name(), u"Kept");
    EXPECT_FALSE(bars->FindControl({}, {}, u"u", {}));
}

TEST_F(ModelTest, EachInspectorHasItsOwnCommandBars) {
    const auto a = host.OpenInspector(std::make_shared<standin::ItemNode>(ItemKind::Mail));
    const auto b = host.OpenInspector(std::make_shared<standin::ItemNode>(ItemKind::Mail));
    host.InspectorObject(a)->CommandBars()->Add(u"Only A", 1, {}, false)->Controls()->Add(1, {}, {}, {}, {})->SetTag(u"t");
    EXPECT_FALSE(host.InspectorObject(b)->CommandBars()->FindControl({}, {}, u"t", {}));
}

namespace {
struct CountingClicks : host::ButtonEvents {
    void Click(const std::shared_ptr<host::CommandBarButton>&, bool&) override { ++clicks; }
    int clicks = 0;
};
}  // namespace

TEST_F(ModelTest, ClickReachesTheSubscriptionOfAnyButtonWithTheSameTag) {
    const auto a = host.OpenInspector(std::make_shared<standin::ItemNode>(ItemKind::Mail));
    const auto b = host.OpenInspector(std::make_shared<standin::ItemNode>(ItemKind::Mail));
    auto make = [&](const std::shared_ptr<standin::InspectorNode>& ins, const std::u16string& tag) {
        auto button = host.InspectorObject(ins)->CommandBars()->Add({}, {}, {}, {})->Controls()->Add({}, {}, {}, {}, {});
        button->SetTag(tag);
        return button->AsButton();
    };
    const auto onA = make(a, u"same");
    make(b, u"same");
    make(b, u"other");
    CountingClicks sink;
    {
        const auto subscription = onA->Subscribe(sink);
        host.Click(b->bars->bars[0]->controls[0]);
        host.Click(b->bars->bars[1]->controls[0]);
        EXPECT_EQ(sink.clicks, 1);
    }
    host.Click(a->bars->bars[0]->controls[0]);
    EXPECT_EQ(sink.clicks, 1);  // the subscription ended
}

TEST_F(ModelTest, ParentOfADeletedButtonFails) {
    const auto ins = host.OpenInspector(std::make_shared<standin::ItemNode>(ItemKind::Mail));
    const auto bar = host.InspectorObject(ins)->CommandBars()->Add({}, {}, {}, {});
    const auto button = bar->Controls()->Add({}, {}, {}, {}, {});
    EXPECT_TRUE(button->Parent()->SameObject(*bar));
    button->Delete();
    EXPECT_EQ(StatusOf([&] { button->Parent(); }), HostStatus::Fail);
    EXPECT_EQ(bar->Controls()->Count(), 0);
}

TEST_F(ModelTest, InjectedFailuresHitTheNthCallOrEveryCallOfAMember) {
    const auto app = host.Application();
    host.ledger().FailCall(2, HostStatus::Unexpected);
    EXPECT_NO_THROW(app->Version());
    EXPECT_EQ(StatusOf([&] { app->Version(); }), HostStatus::Unexpected);
    EXPECT_NO_THROW(app->Version());
    host.ledger().FailMember("Application.Explorers", HostStatus::Fail);
    EXPECT_EQ(StatusOf([&] { app->Explorers(); }), HostStatus::Fail);
    EXPECT_EQ(StatusOf([&] { app->Explorers(); }), HostStatus::Fail);
    host.ledger().ClearFailures();
    EXPECT_NO_THROW(app->Explorers());
}

TEST_F(ModelTest, LedgerCountsEveryReferenceStillHeld) {
    auto app = host.Application();
    auto inspectors = app->Inspectors();
    EXPECT_EQ(host.ledger().Live(), (std::map<std::string, int>{{"Application", 1}, {"Inspectors", 1}}));
    app.reset();
    inspectors.reset();
    EXPECT_EQ(host.ledger().LiveCount(), 0);
}

TEST_F(ModelTest, IdentityIsByObjectNotByReference) {
    host.OpenExplorer();
    const auto app = host.Application();
    EXPECT_TRUE(app->ActiveExplorer()->SameObject(*app->ActiveExplorer()));
    EXPECT_TRUE(app->SameObject(*host.Application()));
    EXPECT_FALSE(app->Inspectors()->SameObject(*app->Explorers()));
}

TEST_F(ModelTest, SendingRemovesShortcutsUnlessCancelled) {
    auto mail = std::make_shared<standin::ItemNode>(ItemKind::Mail);
    mail->Attach(1, u"a.txt", "A");
    mail->Attach(4, u"C:\\b.txt", "");
    EXPECT_TRUE(host.Send(mail));
    EXPECT_TRUE(mail->sent);
    ASSERT_EQ(mail->attachments.size(), 1u);
    EXPECT_EQ(mail->attachments[0]->type, 1);
}

TEST_F(ModelTest, AnAttachmentReplacedByAShortcutIsNotLostWhenTheSendDropsTheShortcut) {
    std::filesystem::create_directories(dir);
    auto mail = std::make_shared<standin::ItemNode>(ItemKind::Mail);
    mail->Attach(1, u"a.txt", "content");
    const auto attachments = Object(mail)->Attachments();
    attachments->Item(1)->SaveAsFile(U16(dir / "a.txt"));
    host.FileChosen(U16(dir / "a.txt"));
    attachments->Add(U16(dir / "a.txt"), 4);
    attachments->Item(1)->Delete();
    const auto lost = [&] { return host.Audit({u"tag", u"bar", u"caption"}, false).lost; };
    EXPECT_TRUE(lost().empty()) << "the shortcut names the file";
    ASSERT_TRUE(host.Send(mail));
    EXPECT_TRUE(lost().empty()) << "the file still holds it after the send dropped the shortcut";
    std::filesystem::remove(dir / "a.txt");
    EXPECT_EQ(lost().size(), 1u) << "without the file it is lost";
}

// ---- bodies, message classes, item properties and access rights

namespace {

standin::HostOptions Version(int major) {
    standin::HostOptions options;
    const std::string version = std::to_string(major) + ".0.0.1";
    options.version = std::u16string(version.begin(), version.end());
    return options;
}

constexpr char16_t kNamed[] = u"http://schemas.microsoft.com/mapi/string/{6ED8DA90-450B-101B-98DA-00AA003F1305}/Record";
constexpr char16_t kAccess[] = u"http://schemas.microsoft.com/mapi/proptag/0x0FF40003";

}  // namespace

TEST(StandinBodies, EachKindHasTheBodyMembersOfItsClassInEachVersion) {
    struct Row {
        ItemKind kind;
        bool html;  // HTMLBody and BodyFormat
        bool rtf;   // RTFBody from version 14
        const char16_t* messageClass;
    };
    const Row rows[] = {
        {ItemKind::Mail, true, true, u"IPM.Note"},
        {ItemKind::Post, true, true, u"IPM.Post"},
        {ItemKind::Note, false, false, u"IPM.StickyNote"},
        {ItemKind::Appointment, false, true, u"IPM.Appointment"},
        {ItemKind::Contact, false, true, u"IPM.Contact"},
        {ItemKind::Task, false, true, u"IPM.Task"},
        {ItemKind::Meeting, false, true, u"IPM.Schedule.Meeting.Request"},
        {ItemKind::Report, false, false, u"REPORT.IPM.Note.NDR"},
        {ItemKind::Journal, false, false, u"IPM.Activity"},
        {ItemKind::DistList, false, true, u"IPM.DistList"},
    };
    for (int major : {9, 11, 12, 14, 15, 16}) {
        standin::Host host(std::make_shared<standin::CommandBarStore>(), Version(major));
        for (const Row& row : rows) {
            const auto item = host.ItemObject(std::make_shared<standin::ItemNode>(row.kind));
            const auto present = [](int32_t status) { return status != HostStatus::MemberNotFound; };
            const std::u16string type = item->TypeName();
            SCOPED_TRACE(testing::Message() << "version " << major << ", " << std::string(type.begin(), type.end()));
            EXPECT_EQ(present(StatusOf([&] { item->HTMLBody(); })), row.html);
            EXPECT_EQ(present(StatusOf([&] { item->SetHTMLBody(u"<p>x</p>"); })), row.html);
            EXPECT_EQ(present(StatusOf([&] { item->BodyFormat(); })), row.html);
            EXPECT_EQ(present(StatusOf([&] { item->RTFBody(); })), row.rtf && major >= 14);
            EXPECT_EQ(present(StatusOf([&] { item->SetRTFBody("{\\rtf1 x}"); })), row.rtf && major >= 14);
            EXPECT_EQ(present(StatusOf([&] { item->PropertyAccessor(); })), major >= 12);
            EXPECT_EQ(StatusOf([&] { item->Body(); }), 0);
            EXPECT_EQ(StatusOf([&] { item->SetBody(u"x"); }), 0);
            EXPECT_EQ(item->MessageClass(), row.messageClass);
        }
    }
}

TEST(StandinBodies, SettingABodySetsTheFormatAndTheTextAndLosesTheOtherFormats) {
    struct Case {
        const char* name;
        std::function<void(host::Item&)> set;
        int32_t format;
        std::u16string body;
        std::u16string html;
        std::string rtf;
    };
    const std::u16string html = u"<html><head><style>p{}</style></head><body><p>A &amp; B</p><div>x&lt;y&#65;&#x42;&nbsp;"
                                u"&quot;q&gt;</div>line<br>two\r\n<!-- note --><b>bold</b></body></html>";
    const std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\*\\generator Writer;}\\f0 Caf\\'e9 \\u8364?"
                            "{\\field{\\*\\fldinst HYPERLINK \"http://x/\"}{\\fldrslt link}}\\par\r\nend\\tab\\{x\\}}";
    const Case cases[] = {
        {"html", [&](host::Item& i) { i.SetHTMLBody(html); }, host::BodyFormat::HTML,
         u"A & B\r\nx<yAB\u00A0\"q>\r\nline\r\ntwobold", html, ""},
        {"rtf", [&](host::Item& i) { i.SetRTFBody(rtf); }, host::BodyFormat::RichText,
         u"Caf\u00E9 \u20AClink\r\nend\t{x}", u"", rtf},
        {"plain after html", [&](host::Item& i) { i.SetHTMLBody(html); i.SetBody(u"plain"); }, host::BodyFormat::Plain,
         u"plain", u"", ""},
        {"plain after rtf", [&](host::Item& i) { i.SetRTFBody(rtf); i.SetBody(u"plain"); }, host::BodyFormat::Plain,
         u"plain", u"", ""},
        {"html after rtf", [&](host::Item& i) { i.SetRTFBody(rtf); i.SetHTMLBody(u"<p>h</p>"); }, host::BodyFormat::HTML,
         u"h\r\n", u"<p>h</p>", ""},
        {"rtf after html", [&](host::Item& i) { i.SetHTMLBody(html); i.SetRTFBody("{\\rtf1 r}"); },
         host::BodyFormat::RichText, u"r", u"", "{\\rtf1 r}"},
        {"plain", [&](host::Item& i) { i.SetBody(u"just text"); }, host::BodyFormat::Plain, u"just text", u"", ""},
    };
    standin::Host host(std::make_shared<standin::CommandBarStore>(), Version(16));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto node = std::make_shared<standin::ItemNode>(ItemKind::Mail);
        const auto item = host.ItemObject(node);
        EXPECT_EQ(item->BodyFormat(), host::BodyFormat::Plain);
        EXPECT_TRUE(item->Saved());
        c.set(*item);
        EXPECT_FALSE(item->Saved());
        EXPECT_EQ(item->BodyFormat(), c.format);
        EXPECT_EQ(item->Body(), c.body);
        EXPECT_EQ(item->HTMLBody(), c.html);
        EXPECT_EQ(item->RTFBody(), c.rtf);
    }
    // A kind without HTMLBody keeps an RTF body the same way.
    auto node = std::make_shared<standin::ItemNode>(ItemKind::Appointment);
    const auto appointment = host.ItemObject(node);
    appointment->SetRTFBody(rtf);
    EXPECT_EQ(node->bodyFormat, host::BodyFormat::RichText);
    EXPECT_EQ(appointment->Body(), u"Caf\u00E9 \u20AClink\r\nend\t{x}");
    appointment->SetBody(u"plain");
    EXPECT_EQ(appointment->RTFBody(), "");
}

TEST(StandinBodies, ItemPropertiesAreSetReadAndDeletedByName) {
    standin::Host host(std::make_shared<standin::CommandBarStore>(), Version(16));
    auto node = std::make_shared<standin::ItemNode>(ItemKind::Mail);
    const auto item = host.ItemObject(node);
    const auto properties = item->PropertyAccessor();
    EXPECT_EQ(StatusOf([&] { properties->GetProperty(kNamed); }), HostStatus::NotFound);
    EXPECT_EQ(StatusOf([&] { properties->DeleteProperty(kNamed); }), HostStatus::NotFound);
    EXPECT_TRUE(item->Saved());
    properties->SetProperty(kNamed, std::u16string(u"kept"));
    EXPECT_FALSE(item->Saved());
    struct Read {
        std::u16string name;
        int32_t status;
    };
    const std::u16string base = u"http://schemas.microsoft.com/mapi/string/";
    const Read reads[] = {
        {kNamed, 0},
        {base + u"{6ed8da90-450b-101b-98da-00aa003f1305}/Record", 0},   // the GUID's case does not count
        {u"HTTP://SCHEMAS.MICROSOFT.COM/MAPI/STRING/{6ED8DA90-450B-101B-98DA-00AA003F1305}/Record", 0},
        {base + u"{6ED8DA90-450B-101B-98DA-00AA003F1305}/record", HostStatus::NotFound},  // the name's does
        {base + u"{6ED8DA90-450B-101B-98DA-00AA003F1306}/Record", HostStatus::NotFound},
        {base + u"6ED8DA90-450B-101B-98DA-00AA003F1305/Record", HostStatus::InvalidArg},
        {base + u"{6ED8DA90-450B-101B-98DA-00AA003F1305}/", HostStatus::InvalidArg},
        {u"Record", HostStatus::InvalidArg},
    };
    for (const Read& r : reads) {
        SCOPED_TRACE(std::string(r.name.begin(), r.name.end()));
        EXPECT_EQ(StatusOf([&] { EXPECT_EQ(properties->GetProperty(r.name), host::PropertyValue(u"kept")); }), r.status);
    }
    // The property takes the type of the value set.
    properties->SetProperty(kNamed, int32_t{42});
    EXPECT_EQ(properties->GetProperty(kNamed), host::PropertyValue(int32_t{42}));
    properties->SetProperty(kNamed, true);
    EXPECT_EQ(properties->GetProperty(kNamed), host::PropertyValue(true));
    // Another handle of the same item sees the property; deleting it removes it.
    item->Save();
    host.ItemObject(node)->PropertyAccessor()->DeleteProperty(kNamed);
    EXPECT_FALSE(item->Saved());
    EXPECT_EQ(StatusOf([&] { properties->GetProperty(kNamed); }), HostStatus::NotFound);
}

TEST(StandinBodies, ATextTooLongForOneCallFailsWithOutOfMemory) {
    standin::Host host(std::make_shared<standin::CommandBarStore>(), Version(16));
    const auto properties = host.ItemObject(std::make_shared<standin::ItemNode>(ItemKind::Mail))->PropertyAccessor();
    const std::u16string longest(8192, u'x');  // 16 KB of UTF-16
    properties->SetProperty(kNamed, longest);
    EXPECT_EQ(properties->GetProperty(kNamed), host::PropertyValue(longest));
    properties->SetProperty(kNamed, longest + u"x");
    EXPECT_EQ(StatusOf([&] { properties->GetProperty(kNamed); }), HostStatus::OutOfMemory);
}

TEST(StandinBodies, AccessRightsAreReadAndAReadOnlyItemIsNotSaved) {
    std::filesystem::path dir = std::filesystem::current_path() / "standin-model" / "AccessRights";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "new.txt") << "fresh";
    standin::Host host(std::make_shared<standin::CommandBarStore>(), Version(16));
    auto own = std::make_shared<standin::ItemNode>(ItemKind::Mail);
    auto shared = std::make_shared<standin::ItemNode>(ItemKind::Mail);
    shared->access = standin::MapiAccess::Read;
    EXPECT_EQ(host.ItemObject(own)->PropertyAccessor()->GetProperty(kAccess), host::PropertyValue(int32_t{0x7}));
    EXPECT_EQ(host.ItemObject(own)->PropertyAccessor()->GetProperty(
                  u"http://schemas.microsoft.com/mapi/proptag/0x0ff40003"),
              host::PropertyValue(int32_t{0x7}));
    const auto item = host.ItemObject(shared);
    EXPECT_EQ(item->PropertyAccessor()->GetProperty(kAccess), host::PropertyValue(int32_t{0x2}));
    EXPECT_EQ(StatusOf([&] { item->PropertyAccessor()->SetProperty(kAccess, int32_t{0x7}); }),
              static_cast<int32_t>(0x8004011Au));
    EXPECT_EQ(StatusOf([&] { item->PropertyAccessor()->DeleteProperty(kAccess); }), HostStatus::Fail);

    const auto added = item->Attachments()->Add((dir / "new.txt").u16string(), 1, 7, u"shown");
    EXPECT_EQ(shared->attachments.back()->position, 7);
    item->SetHTMLBody(u"<p>changed</p>");
    try {
        item->Save();
        ADD_FAILURE() << "a read-only item was saved";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, static_cast<int32_t>(0x80070005u));
        EXPECT_EQ(e.text, u"You don't have appropriate permission to perform this operation.");
    }
    EXPECT_FALSE(item->Saved());
    EXPECT_EQ(shared->saveCount, 0);
    EXPECT_EQ(added->Type(), host::AttachmentType::Ole);  // still the unsaved attachment
    host.ItemObject(own)->Save();
    EXPECT_EQ(own->saveCount, 1);
    std::filesystem::remove_all(dir);
}
