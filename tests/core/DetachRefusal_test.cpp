// Items whose attachments stay where they are: the reason for each kind, from class, attachment
// names and access.
#include "addin/core/DetachRefusal.h"

#include <gtest/gtest.h>

#include <set>

using namespace addin;

TEST(DetachRefusal, EachKindOfItemItsReason) {
    struct Case {
        std::u16string messageClass;
        std::vector<std::u16string> names;
        std::optional<std::int32_t> access;
        std::optional<DetachRefusal> refusal;
    };
    using enum DetachRefusal;
    const Case cases[] = {
        {u"IPM.Note", {u"a.pdf"}, std::nullopt, std::nullopt},
        {u"IPM.Note", {u"a.pdf"}, 0x3F, std::nullopt},
        {u"IPM.Note.Custom", {}, 0x1, std::nullopt},
        {u"IPM.Post", {u"message.rpmsg.txt", u"xmessage.rpmsg"}, std::nullopt, std::nullopt},
        {u"IPM.Note.SMIME", {u"smime.p7m"}, 0x3F, SignedOrEncrypted},
        {u"ipm.note.smime.multipartsigned", {}, std::nullopt, SignedOrEncrypted},
        {u"IPM.Note.Receipt.SMIME", {}, std::nullopt, SignedOrEncrypted},
        {u"IPM.Custom.SMIME.MultipartSigned", {}, std::nullopt, SignedOrEncrypted},
        {u"IPM.Note.Secure", {}, std::nullopt, SignedOrEncrypted},
        {u"IPM.NOTE.SECURE.SIGN", {}, std::nullopt, SignedOrEncrypted},
        {u"IPM.Note.SMIMEx", {}, std::nullopt, std::nullopt},
        {u"IPM.Note.Secure.Other", {}, std::nullopt, std::nullopt},
        {u"IPM.Note", {u"a.pdf", u"Message.RPMSG"}, std::nullopt, RightsManaged},
        {u"IPM.Note.SMIME", {u"message.rpmsg"}, std::nullopt, SignedOrEncrypted},
        {u"IPM.Note", {}, 0x2, ReadOnly},
        {u"IPM.Note", {}, 0, ReadOnly},
        {u"IPM.Note", {}, -2, ReadOnly},
        {u"IPM.Note", {u"message.rpmsg"}, 0, RightsManaged},
        {u"IPM.Schedule.Meeting.Request", {}, std::nullopt, MeetingRequest},
        {u"ipm.schedule.meeting.request.custom", {}, std::nullopt, MeetingRequest},
        {u"IPM.Schedule.Meeting.Request", {}, 0, ReadOnly},
        {u"IPM.Schedule.Meeting.Requested", {}, std::nullopt, std::nullopt},
        {u"IPM.Schedule.Meeting.Resp.Pos", {}, std::nullopt, std::nullopt},
        {u"IPM.Document", {}, std::nullopt, Document},
        {u"IPM.Document.Word.Document.12", {}, 0x3F, Document},
        {u"IPM.Documents", {}, std::nullopt, std::nullopt},
        {u"", {}, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.messageClass.begin(), c.messageClass.end()));
        EXPECT_EQ(RefusalFor(c.messageClass, c.names, c.access), c.refusal);
    }
}

TEST(DetachRefusal, EachReasonHasItsOwnOneLineText) {
    std::set<std::u16string_view> texts;
    for (DetachRefusal refusal : {DetachRefusal::SignedOrEncrypted, DetachRefusal::RightsManaged,
                                  DetachRefusal::ReadOnly, DetachRefusal::MeetingRequest, DetachRefusal::Document}) {
        const std::u16string_view text = RefusalText(refusal);
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(text.find_first_of(u"\r\n"), std::u16string_view::npos);
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), 5u);
}
