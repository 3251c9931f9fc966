#include <gtest/gtest.h>

#include <regex>

#include "addin/core/ActionManager.h"
#include "tests/core/Session.h"

using namespace addin;

using standin::ItemKind;

namespace {

struct ActionManagerTest : testing::Test {
    bool Enabled(const std::shared_ptr<standin::ItemNode>& item) { return actions.IsEnabled(host.ItemObject(item)); }
    bool CancelAfterSend(const std::shared_ptr<standin::ItemNode>& item, bool cancelOnEntry = false) {
        bool cancel = cancelOnEntry;
        actions.CheckItemSend(host.ItemObject(item), cancel);
        return cancel;
    }

    FakePlatform platform;
    standin::Host host;
    ActionManager actions{platform};
};

}  // namespace

TEST_F(ActionManagerTest, OnlyByValueAttachmentsEnable) {
    EXPECT_FALSE(Enabled(Session::Item(ItemKind::Post, {4, 5, 6})));
    EXPECT_FALSE(Enabled(Session::Item(ItemKind::Post)));
    EXPECT_TRUE(Enabled(Session::Item(ItemKind::Post, {4, 5, 1})));
}

TEST_F(ActionManagerTest, UnsentMailIsDisabledSentOrReceivedEnabled) {
    auto mail = Session::Mail(false, {1});
    EXPECT_FALSE(Enabled(mail));
    mail->sent = true;
    EXPECT_TRUE(Enabled(mail));
}

TEST_F(ActionManagerTest, NonMailItemsIgnoreSentState) {
    EXPECT_TRUE(Enabled(Session::Item(ItemKind::Appointment, {1})));
    EXPECT_TRUE(Enabled(Session::Item(ItemKind::Post, {1})));
    EXPECT_TRUE(Enabled(Session::Item(ItemKind::Task, {1})));
}

TEST_F(ActionManagerTest, ItemWithoutAttachmentsMemberOrNoItemIsDisabledWithoutFailing) {
    EXPECT_FALSE(Enabled(Session::Item(ItemKind::Note)));
    EXPECT_FALSE(actions.IsEnabled(nullptr));
}

TEST_F(ActionManagerTest, UnreadableAttachmentsCountIsDisabledWithoutFailing) {
    host.ledger().FailMember("Attachments.Count", HostStatus::Fail);
    EXPECT_FALSE(Enabled(Session::Item(ItemKind::Post, {1})));
}

TEST_F(ActionManagerTest, SentIsReadEvenWithoutAttachmentsAndItsFailureIsThrown) {
    const auto mail = Session::Mail(true);
    host.ledger().FailMember("Item.Sent", HostStatus::Fail);
    EXPECT_THROW(Enabled(mail), HostError);
    const auto& calls = host.ledger().Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.back(), "Item.Sent");
    EXPECT_NE(std::find(calls.begin(), calls.end(), "Attachments.Count"), calls.end());
}

TEST_F(ActionManagerTest, ConstantsAreFixed) {
    EXPECT_EQ(actions.GetCaption(), u"Save Attachments");
    EXPECT_EQ(actions.GetImageResourceId(), 106);
    EXPECT_EQ(actions.GetImageMaskResourceId(), 110);
    const std::u16string tag = actions.GetTag();
    EXPECT_EQ(tag, ActionManager(platform).GetTag());
    EXPECT_TRUE(std::regex_match(std::string(tag.begin(), tag.end()),
                                 std::regex("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}")));
}

TEST_F(ActionManagerTest, SendWithShortcutShowsTheWarningOnce) {
    platform.answers = {MessageBoxResult::Ok};
    EXPECT_FALSE(CancelAfterSend(Session::Mail(false, {4, 1, 4})));
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text,
              u"Some of the attachments in this email are shortcuts.\r\n"
              u"They will be automatically removed if you send it.\r\n"
              u"Are you sure you want to send this email?");
    EXPECT_EQ(platform.shown[0].title, u"Send email");
    EXPECT_EQ(platform.shown[0].flags, 65537);
}

TEST_F(ActionManagerTest, AnyAnswerButOkCancelsTheSend) {
    for (int32_t answer : {MessageBoxResult::Cancel, MessageBoxResult::No, 0}) {
        SCOPED_TRACE(answer);
        platform.answers = {answer};
        EXPECT_TRUE(CancelAfterSend(Session::Mail(false, {4})));
    }
}

TEST_F(ActionManagerTest, CancelIsResetWhenNothingIsAsked) {
    EXPECT_FALSE(CancelAfterSend(Session::Mail(false, {1, 5, 6}), true));
    EXPECT_FALSE(CancelAfterSend(Session::Item(ItemKind::Note), true));
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(ActionManagerTest, AShortcutSeenStaysSeenWhenALaterReadFails) {
    // The check reads Attachments, Count, then Item and Type for each attachment; a failure at
    // every step in turn: the warning comes exactly when the shortcut's Type was read before it.
    const auto mail = Session::Mail(false, {4, 1, 1});
    for (int64_t nth = 1; nth <= 8; ++nth) {
        SCOPED_TRACE(nth);
        host.ledger().ClearCalls();
        host.ledger().FailCall(nth, HostStatus::Fail);
        platform.shown.clear();
        platform.answers = {MessageBoxResult::Cancel};
        const bool cancelled = CancelAfterSend(mail);
        host.ledger().ClearFailures();
        const bool shortcutSeen = nth > 4;
        EXPECT_EQ(cancelled, shortcutSeen);
        EXPECT_EQ(platform.shown.size(), shortcutSeen ? 1u : 0u);
        EXPECT_EQ(host.ledger().Calls().size(), static_cast<std::size_t>(nth)) << "the walk ends at the failure";
    }
}

TEST_F(ActionManagerTest, FailingMessageBoxIsThrown) {
    platform.failMessageBox = true;
    EXPECT_THROW(CancelAfterSend(Session::Mail(false, {4})), HostError);
    EXPECT_EQ(platform.shown.size(), 1u);
}
