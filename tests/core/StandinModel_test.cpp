#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
