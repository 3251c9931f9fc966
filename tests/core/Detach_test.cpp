// Taking saved attachments out into the body against the in-memory host: each body format, the
// refusals, the record's room, and a sweep that fails every host call of a detach in turn, checking
// after each that every attachment is in the item or on disk with its record and its link.
#include "addin/core/Detach.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <variant>
#include <vector>

#include "addin/core/DetachBlock.h"
#include "addin/core/host/Item.h"
#include "base/HostError.h"
#include "base/Sha256.h"
#include "standin/model/Host.h"

using namespace addin;

namespace fs = std::filesystem;

namespace {

constexpr char kRtf[] = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Calibri;}}\\viewkind4\\uc1 \\pard\\f0 Hi\\par}";
constexpr char16_t kHtml[] = u"<html><body><p>Hi</p></body></html>";
constexpr int32_t kChangedElsewhere = static_cast<int32_t>(0x80040109u);
const DetachRecord::UtcTime kNow{2026, 12, 11, 16, 0, 0};

enum class Form { Html, Plain, Rtf };

struct Fixture {
    explicit Fixture(const char16_t* version, Form form, standin::ItemKind kind = standin::ItemKind::Mail)
        : host(std::make_shared<standin::CommandBarStore>(), standin::HostOptions{version, true}) {
        node = std::make_shared<standin::ItemNode>(kind);
        node->sent = true;
        if (form == Form::Html) node->SetHTMLBody(kHtml);
        if (form == Form::Plain) node->SetPlainBody(u"Hi\r\n");
        if (form == Form::Rtf) node->SetRTFBody(kRtf);
        node->saved = true;
        // The saved files under Windows paths, which the in-memory host reads as file names of the
        // current folder where the tests run natively.
        const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
        folder = u"C:\\detach " + std::u16string(test.begin(), test.end());
        for (const char* name : {"a.txt", "b b.pdf", "c.doc"}) {
            const std::string content = std::string("content of ") + name;
            node->Attach(1, fs::path(name).u16string(), content);
            std::ofstream(fs::path(PathOf(fs::path(name).u16string())), std::ios::binary) << content;
        }
        item = host.ItemObject(node);
        for (const int32_t index : {1, 3}) {
            const auto& a = node->attachments[static_cast<size_t>(index - 1)];
            saved_.push_back({index, a->displayName, PathOf(a->fileName), a->content.size(),
                              base::Sha256::Hex(base::Sha256::Of(a->content))});
        }
    }
    ~Fixture() {
        for (const char16_t* name : {u"a.txt", u"b b.pdf", u"c.doc"}) fs::remove(fs::path(PathOf(name)));
    }
    std::u16string PathOf(const std::u16string& name) const { return folder + u"\\" + name; }
    // The first and third attachments, saved (as the item had them at the start).
    std::vector<Detach::Saved> Saved() const { return saved_; }
    Detach::Outcome Run(bool save = true) { return Run(item->Attachments(), save); }
    Detach::Outcome Run(const std::shared_ptr<host::Attachments>& attachments, bool save = true) {
        return Detach::IntoBody(*item, *attachments, Saved(), static_cast<int16_t>(host.options().Major()), kNow, save);
    }
    std::u16string Record() {
        try {
            return std::get<std::u16string>(item->PropertyAccessor()->GetProperty(Detach::kRecordProperty));
        } catch (const HostError& e) {
            EXPECT_EQ(e.status, HostStatus::NotFound);
            return {};
        }
    }
    // The files the body's block links.
    std::vector<std::u16string> Linked() const {
        DetachBlock::Listing listing;
        if (node->bodyFormat == host::BodyFormat::HTML)
            listing = DetachBlock::List(DetachBlock::TextFormat::Html, node->htmlBody);
        else if (node->bodyFormat == host::BodyFormat::RichText)
            listing = DetachBlock::ListRtf(node->rtfBody);
        else
            listing = DetachBlock::List(DetachBlock::TextFormat::Plain, node->body);
        std::vector<std::u16string> paths;
        for (const auto& file : listing.files) paths.push_back(file.path);
        return paths;
    }
    bool InItem(const std::string& content) const {
        for (const auto& a : node->attachments)
            if (!a->deleted && a->content == content) return true;
        return false;
    }

    standin::Host host;
    std::shared_ptr<standin::ItemNode> node;
    std::shared_ptr<host::Item> item;
    std::u16string folder;
    std::vector<Detach::Saved> saved_;
};

bool Has(const std::vector<std::u16string>& list, const std::u16string& s) {
    return std::find(list.begin(), list.end(), s) != list.end();
}

TEST(Detach, EachBodyFormatGetsItsLinksInItsOwnFormAndTheRecordItsLines) {
    struct Case {
        const char16_t* version;
        Form form;
        int32_t format;  // the body's format after
    };
    for (const Case c : {Case{u"14.0.7015.1000", Form::Html, host::BodyFormat::HTML},
                         Case{u"14.0.7015.1000", Form::Rtf, host::BodyFormat::RichText},
                         Case{u"14.0.7015.1000", Form::Plain, host::BodyFormat::Plain},
                         Case{u"12.0.6607.1000", Form::Html, host::BodyFormat::HTML},
                         Case{u"12.0.6607.1000", Form::Plain, host::BodyFormat::Plain}}) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.form) << " at " << std::string(c.version, c.version + 4));
        Fixture f(c.version, c.form);
        const auto outcome = f.Run();
        EXPECT_EQ(outcome.detached, (std::vector<size_t>{0, 1}));
        EXPECT_TRUE(outcome.kept.empty());
        EXPECT_TRUE(outcome.saved);
        EXPECT_EQ(f.node->saveCount, 1);
        EXPECT_EQ(f.node->bodyFormat, c.format) << "never converted";
        EXPECT_FALSE(f.InItem("content of a.txt"));
        EXPECT_TRUE(f.InItem("content of b b.pdf"));
        EXPECT_FALSE(f.InItem("content of c.doc"));
        const auto linked = f.Linked();
        EXPECT_EQ(linked, (std::vector<std::u16string>{f.PathOf(u"a.txt"), f.PathOf(u"c.doc")}));
        const auto record = DetachRecord::Decode(f.Record());
        ASSERT_TRUE(record.known);
        ASSERT_EQ(record.entries.size(), 2u);
        EXPECT_EQ(record.entries[1].displayName, u"c.doc");
        EXPECT_EQ(record.entries[1].size, std::string("content of c.doc").size());
        EXPECT_EQ(record.entries[1].sha256, base::Sha256::Hex(base::Sha256::Of("content of c.doc")));
        EXPECT_EQ(record.entries[1].saved, kNow);
    }
}

TEST(Detach, AStoreThatGivesNoAccessValueLeavesItToTheSave) {
    for (const int32_t access : {0x7, 0x2}) {
        Fixture f(u"14.0.7015.1000", Form::Html);
        f.node->access = access;
        // The first property read is PR_ACCESS.
        f.host.ledger().FailMember("PropertyAccessor.GetProperty", HostStatus::NotFound, 1);
        const auto outcome = f.Run();
        f.host.ledger().ClearFailures();
        if (access == 0x7) {
            EXPECT_EQ(outcome.detached.size(), 2u);
            EXPECT_TRUE(outcome.saved);
        } else {
            // Not refused up front: the save the store refuses puts the item back.
            EXPECT_TRUE(outcome.detached.empty());
            ASSERT_EQ(outcome.kept.size(), 2u);
            EXPECT_NE(outcome.kept[0].second.find(u"cannot be saved"), std::u16string::npos);
            EXPECT_EQ(f.node->htmlBody, kHtml);
            EXPECT_TRUE(f.InItem("content of a.txt") && f.InItem("content of c.doc"));
        }
    }
}

TEST(Detach, ASecondDetachJoinsTheSameBlockAndRecord) {
    Fixture f(u"14.0.7015.1000", Form::Html);
    const auto attachments = f.item->Attachments();
    auto saved = f.Saved();
    const std::vector<Detach::Saved> first = {saved[1]};
    ASSERT_EQ(Detach::IntoBody(*f.item, *attachments, first, 14, kNow, true).detached.size(), 1u);
    const std::vector<Detach::Saved> second = {saved[0]};
    ASSERT_EQ(Detach::IntoBody(*f.item, *attachments, second, 14, kNow, true).detached.size(), 1u);
    EXPECT_EQ(f.Linked().size(), 2u);
    EXPECT_EQ(f.node->htmlBody.find(u"tallowby-saved-attachments"), f.node->htmlBody.rfind(u"tallowby-saved-attachments"))
        << "one block";
    EXPECT_EQ(DetachRecord::Decode(f.Record()).entries.size(), 2u);
}

TEST(Detach, WhatCannotTakeTheLinksKeepsItsAttachmentsAndTheItemIsUntouched) {
    struct Case {
        const char* what;
        const char16_t* version;
        Form form;
        std::u16string messageClass;
        int32_t access;
        std::u16string record;  // a record already on the item
        const char16_t* reason;
    };
    const Case cases[] = {
        {"an RTF body at 12", u"12.0.6607.1000", Form::Rtf, u"IPM.Note", 0x7, u"", u"without losing its formatting"},
        {"signed", u"14.0.7015.1000", Form::Html, u"IPM.Note.SMIME.MultipartSigned", 0x7, u"", u"signed or encrypted"},
        {"a class of its own, signed", u"14.0.7015.1000", Form::Html, u"IPM.Note.Custom.SMIME", 0x7, u"", u"signed"},
        {"read only", u"14.0.7015.1000", Form::Html, u"IPM.Note", 0x2, u"", u"permission"},
        {"a meeting request", u"14.0.7015.1000", Form::Html, u"IPM.Schedule.Meeting.Request", 0x7, u"", u"meeting"},
        {"another program's record", u"14.0.7015.1000", Form::Html, u"IPM.Note", 0x7, u"something else 2\r\n",
         u"cannot read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f(c.version, c.form);
        f.node->messageClass = c.messageClass;
        f.node->access = c.access;
        if (!c.record.empty()) f.item->PropertyAccessor()->SetProperty(Detach::kRecordProperty, c.record);
        f.node->saved = true;
        f.host.ledger().ClearCalls();
        const std::u16string html = f.node->htmlBody;
        const std::string rtf = f.node->rtfBody;
        const auto outcome = f.Run();
        EXPECT_TRUE(outcome.detached.empty());
        ASSERT_EQ(outcome.kept.size(), 2u);
        EXPECT_NE(outcome.kept[0].second.find(c.reason), std::u16string::npos) << std::string(outcome.kept[0].second.begin(), outcome.kept[0].second.end());
        EXPECT_EQ(f.node->htmlBody, html);
        EXPECT_EQ(f.node->rtfBody, rtf);
        EXPECT_TRUE(f.node->saved);
        EXPECT_EQ(f.node->saveCount, 0);
        for (const auto& a : f.node->attachments) EXPECT_FALSE(a->deleted);
        for (const std::string& call : f.host.ledger().Calls())
            EXPECT_TRUE(call.back() != '=' && call != "PropertyAccessor.SetProperty" && call != "Attachment.Delete") << call;
    }
}

TEST(Detach, ARecordWithoutRoomKeepsTheAttachmentsThatWouldNotFit) {
    Fixture f(u"14.0.7015.1000", Form::Plain);
    // A first detach of the middle attachment under a name that leaves room for one more line only.
    const auto attachments = f.item->Attachments();
    auto saved = f.Saved();
    Detach::Saved big{2, std::u16string(1600, u'n'), f.PathOf(u"b b.pdf"), 18,
                      base::Sha256::Hex(base::Sha256::Of("content of b b.pdf"))};
    const auto once = Detach::IntoBody(*f.item, *attachments, {big}, 14, kNow, true);
    ASSERT_EQ(once.detached.size(), 1u) << (once.kept.empty() ? "" : std::string(once.kept[0].second.begin(), once.kept[0].second.end()));
    saved[1].index = 2;  // c.doc moved up
    const auto outcome = Detach::IntoBody(*f.item, *attachments, saved, 14, kNow, true);
    EXPECT_EQ(outcome.detached, std::vector<size_t>{0});
    ASSERT_EQ(outcome.kept.size(), 1u);
    EXPECT_EQ(outcome.kept[0].first, 1u);
    EXPECT_NE(outcome.kept[0].second.find(u"no room"), std::u16string::npos);
    EXPECT_TRUE(f.InItem("content of c.doc"));
    EXPECT_EQ(f.Record().size() <= DetachRecord::MaxLength, true);
    EXPECT_EQ(f.Linked().size(), 2u);
}

TEST(Detach, EveryHostCallFailingInTurnLeavesEachAttachmentInTheItemOrLinkedAndRecorded) {
    for (const Form form : {Form::Html, Form::Rtf, Form::Plain}) {
        // The calls of a detach that succeeds, counted on a twin.
        Fixture twin(u"14.0.7015.1000", form);
        const auto twinAttachments = twin.item->Attachments();
        twin.host.ledger().ClearCalls();
        (void)twin.Run(twinAttachments);
        const size_t calls = twin.host.ledger().Calls().size();
        ASSERT_GT(calls, 8u);
        for (const int32_t status : {HostStatus::NoAccess, kChangedElsewhere, HostStatus::Fail}) {
            for (size_t nth = 1; nth <= calls + 1; ++nth) {
                SCOPED_TRACE(testing::Message() << "form " << static_cast<int>(form) << ", call " << nth << " of "
                                                << calls << " fails with " << std::hex << status);
                Fixture f(u"14.0.7015.1000", form);
                const std::u16string htmlBefore = f.node->htmlBody;
                const std::string rtfBefore = f.node->rtfBody;
                const std::u16string bodyBefore = f.node->body;
                const auto attachments = f.item->Attachments();
                f.host.ledger().FailCall(static_cast<int64_t>(nth), status);
                Detach::Outcome outcome;
                ASSERT_NO_THROW(outcome = f.Run(attachments));
                f.host.ledger().ClearFailures();
                EXPECT_EQ(outcome.detached.size() + outcome.kept.size(), 2u);
                const auto linked = f.Linked();
                const auto record = DetachRecord::Decode(f.Record());
                for (const auto& s : f.Saved()) {
                    const std::string content = "content of " + std::string(s.displayName.begin(), s.displayName.end());
                    bool recorded = false;
                    for (const auto& e : record.entries) recorded = recorded || e.path == s.path;
                    EXPECT_TRUE(f.InItem(content) || (recorded && Has(linked, s.path))) << content;
                }
                if (outcome.detached.empty()) {
                    // Put back whole: the body byte for byte, no record, nothing saved.
                    EXPECT_EQ(f.node->htmlBody, htmlBefore);
                    EXPECT_EQ(f.node->rtfBody, rtfBefore);
                    EXPECT_EQ(f.node->body, bodyBefore);
                    EXPECT_TRUE(f.Record().empty());
                    EXPECT_EQ(f.node->saveCount, 0);
                    EXPECT_TRUE(f.InItem("content of a.txt") && f.InItem("content of c.doc"));
                } else {
                    EXPECT_EQ(outcome.saved, f.node->saveCount == 1);
                }
            }
        }
    }
}

// ---- restore

std::optional<Detach::FileFacts> Check(const std::u16string& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    if (!in) return std::nullopt;
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    return Detach::FileFacts{bytes.size(), base::Sha256::Hex(base::Sha256::Of(bytes))};
}

TEST(DetachRestore, EachFileComesBackAndTheBodyIsAsBeforeByteForByte) {
    for (const Form form : {Form::Html, Form::Rtf, Form::Plain}) {
        SCOPED_TRACE(static_cast<int>(form));
        Fixture f(u"14.0.7015.1000", form);
        const std::u16string html = f.node->htmlBody, text = f.node->body;
        const std::string rtf = f.node->rtfBody;
        ASSERT_EQ(f.Run().detached.size(), 2u);
        EXPECT_TRUE(Detach::HasRecord(*f.item, 14));
        const auto attachments = f.item->Attachments();
        const auto restored = Detach::Restore(*f.item, *attachments, 14, Check, {}, true);
        EXPECT_EQ(restored.restored, (std::vector<std::u16string>{u"a.txt", u"c.doc"}));
        EXPECT_TRUE(restored.notRestored.empty());
        EXPECT_TRUE(restored.saved);
        EXPECT_EQ(f.node->htmlBody, html);
        EXPECT_EQ(f.node->rtfBody, rtf);
        if (form == Form::Plain) {
            EXPECT_EQ(f.node->body, text);
        }
        EXPECT_TRUE(f.Record().empty()) << "the record goes with its last line";
        EXPECT_FALSE(Detach::HasRecord(*f.item, 14));
        EXPECT_TRUE(f.InItem("content of a.txt") && f.InItem("content of b b.pdf") && f.InItem("content of c.doc"));
    }
}

TEST(DetachRestore, AFileMissingMovedOrChangedComesBackOnlyWithItsOwnBytes) {
    struct Case {
        const char* what;
        std::string onDisk;  // a.txt's content at its path after the detach; empty: gone
        std::string pointed;  // the content of the file the user points to; empty: they point to none
        bool back;
        const char16_t* reason;
    };
    const Case cases[] = {
        {"in place", "content of a.txt", "", true, u""},
        {"gone, not pointed to", "", "", false, u"no longer at"},
        {"moved and pointed to", "", "content of a.txt", true, u""},
        {"gone, another file pointed to", "", "something else", false, u"not the one saved"},
        {"changed in place", "content of a.txt, edited", "", false, u"changed since"},
        {"the same size, other bytes", "content of a.tx!", "", false, u"changed since"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f(u"14.0.7015.1000", Form::Html);
        ASSERT_EQ(f.Run().detached.size(), 2u);
        const fs::path a(f.PathOf(u"a.txt"));
        fs::remove(a);
        if (!c.onDisk.empty()) std::ofstream(a, std::ios::binary) << c.onDisk;
        const std::u16string moved = f.PathOf(u"moved a.txt");
        if (!c.pointed.empty()) std::ofstream(fs::path(moved), std::ios::binary) << c.pointed;
        int asked = 0;
        const auto locate = [&](const DetachRecord::Entry& entry) {
            ++asked;
            EXPECT_EQ(entry.displayName, u"a.txt");
            return c.pointed.empty() ? std::u16string() : moved;
        };
        const auto attachments = f.item->Attachments();
        const auto restored = Detach::Restore(*f.item, *attachments, 14, Check, locate, true);
        fs::remove(fs::path(moved));
        EXPECT_EQ(asked, c.onDisk.empty() ? 1 : 0) << "asked only for a file not where it was saved";
        EXPECT_EQ(f.InItem("content of a.txt"), c.back);
        EXPECT_TRUE(f.InItem("content of c.doc"));
        const auto record = DetachRecord::Decode(f.Record());
        if (c.back) {
            EXPECT_TRUE(f.Record().empty());
            EXPECT_TRUE(f.Linked().empty());
        } else {
            ASSERT_EQ(restored.notRestored.size(), 1u);
            EXPECT_NE(restored.notRestored[0].second.find(c.reason), std::u16string::npos);
            ASSERT_EQ(record.entries.size(), 1u) << "its line stays in the record";
            EXPECT_EQ(record.entries[0].displayName, u"a.txt");
            EXPECT_EQ(f.Linked(), std::vector<std::u16string>{f.PathOf(u"a.txt")}) << "and in the body";
        }
    }
}

TEST(DetachRestore, ALineTheUserEditedStaysWhileItsFileComesBack) {
    Fixture f(u"14.0.7015.1000", Form::Plain);
    ASSERT_EQ(f.Run().detached.size(), 2u);
    std::u16string body = f.node->body;
    const size_t at = body.find(u"a.txt (");
    ASSERT_NE(at, std::u16string::npos);
    body.insert(at, u"see ");
    f.node->SetPlainBody(body);
    const auto attachments = f.item->Attachments();
    const auto restored = Detach::Restore(*f.item, *attachments, 14, Check, {}, true);
    EXPECT_EQ(restored.restored.size(), 2u);
    EXPECT_TRUE(f.InItem("content of a.txt"));
    EXPECT_NE(f.node->body.find(u"see a.txt ("), std::u16string::npos) << "the edited line is the user's";
    EXPECT_EQ(f.node->body.find(u"c.doc ("), std::u16string::npos);
    EXPECT_TRUE(f.Record().empty());
}

TEST(DetachRestore, EveryHostCallFailingInTurnLeavesEachFileAttachedOrLinkedAndRecorded) {
    for (const Form form : {Form::Html, Form::Rtf, Form::Plain}) {
        Fixture twin(u"14.0.7015.1000", form);
        ASSERT_EQ(twin.Run().detached.size(), 2u);
        const auto twinAttachments = twin.item->Attachments();
        twin.host.ledger().ClearCalls();
        (void)Detach::Restore(*twin.item, *twinAttachments, 14, Check, {}, true);
        const size_t calls = twin.host.ledger().Calls().size();
        ASSERT_GT(calls, 6u);
        for (size_t nth = 1; nth <= calls + 1; ++nth) {
            SCOPED_TRACE(testing::Message() << "form " << static_cast<int>(form) << ", call " << nth << " of " << calls);
            Fixture f(u"14.0.7015.1000", form);
            ASSERT_EQ(f.Run().detached.size(), 2u);
            const std::u16string linkedBody = f.node->body;
            const auto attachments = f.item->Attachments();
            f.host.ledger().FailCall(static_cast<int64_t>(nth), kChangedElsewhere);
            Detach::Restored restored;
            ASSERT_NO_THROW(restored = Detach::Restore(*f.item, *attachments, 14, Check, {}, true));
            f.host.ledger().ClearFailures();
            const auto linked = f.Linked();
            const auto record = DetachRecord::Decode(f.Record());
            for (const auto& s : f.Saved()) {
                bool recorded = false;
                for (const auto& e : record.entries) recorded = recorded || e.path == s.path;
                const std::string content = "content of " + std::string(s.displayName.begin(), s.displayName.end());
                EXPECT_TRUE(f.InItem(content) || (recorded && Has(linked, s.path))) << content;
            }
            if (restored.restored.empty()) {
                EXPECT_EQ(f.node->body, linkedBody) << "put back as it was";
                EXPECT_EQ(record.entries.size(), 2u);
            }
        }
    }
}

// ---- sending

TEST(DetachSending, TheItemOrAReplyCarryingTheBlockGetsTheFilesOnDiskBackAndTheirLinesGo) {
    struct Case {
        const char* what;
        Form form;
        bool reply;    // a copy of the body without the record
        bool missing;  // a.txt gone from disk
    };
    const Case cases[] = {
        {"the item, HTML", Form::Html, false, false}, {"the item, RTF", Form::Rtf, false, false},
        {"the item, plain", Form::Plain, false, false}, {"a reply, HTML", Form::Html, true, false},
        {"a reply, RTF", Form::Rtf, true, false},       {"the item, a file gone", Form::Html, false, true},
        {"a reply, a file gone", Form::Plain, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f(u"14.0.7015.1000", c.form);
        const std::u16string html = f.node->htmlBody, text = f.node->body;
        const std::string rtf = f.node->rtfBody;
        EXPECT_FALSE(Detach::LinkedFiles(*f.item, 14).hasBlock);
        ASSERT_EQ(f.Run().detached.size(), 2u);
        // A reply: a new message whose body is the detached one's, with no attachments and no record.
        Fixture reply(u"14.0.7015.1000", c.form);
        Fixture& sent = c.reply ? reply : f;
        if (c.reply) {
            reply.node->attachments.clear();
            if (c.form == Form::Html) reply.node->SetHTMLBody(f.node->htmlBody);
            if (c.form == Form::Rtf) reply.node->SetRTFBody(f.node->rtfBody);
            if (c.form == Form::Plain) reply.node->SetPlainBody(f.node->body);
        }
        if (c.missing) fs::remove(fs::path(f.PathOf(u"a.txt")));
        EXPECT_TRUE(Detach::LinkedFiles(*sent.item, 14).hasBlock);
        const int savesBefore = sent.node->saveCount;
        const auto attachments = sent.item->Attachments();
        const auto outcome = Detach::AttachLinkedFiles(*sent.item, *attachments, 14, Check);
        EXPECT_EQ(sent.node->saveCount, savesBefore) << "sending stores it";
        EXPECT_EQ(sent.InItem("content of c.doc"), true);
        EXPECT_EQ(sent.InItem("content of a.txt"), !c.missing);
        if (!c.missing) {
            EXPECT_EQ(outcome.attached, (std::vector<std::u16string>{u"a.txt", u"c.doc"}));
            EXPECT_FALSE(Detach::LinkedFiles(*sent.item, 14).hasBlock);
            EXPECT_EQ(sent.node->htmlBody, html);
            EXPECT_EQ(sent.node->rtfBody, rtf);
            if (c.form == Form::Plain) {
                EXPECT_EQ(sent.node->body, text);
            }
            EXPECT_TRUE(sent.Record().empty());
        } else {
            ASSERT_EQ(outcome.notAttached.size(), 1u);
            EXPECT_EQ(outcome.notAttached[0].first, u"a.txt");
            EXPECT_EQ(sent.Linked(), std::vector<std::u16string>{f.PathOf(u"a.txt")}) << "its line stays";
            if (!c.reply) {
                const auto record = DetachRecord::Decode(sent.Record());
                ASSERT_EQ(record.entries.size(), 1u);
                EXPECT_EQ(record.entries[0].displayName, u"a.txt");
            }
        }
    }
}

TEST(DetachSending, EveryHostCallFailingInTurnLosesNoLinkAndPutsTheItemBack) {
    Fixture twin(u"14.0.7015.1000", Form::Html);
    ASSERT_EQ(twin.Run().detached.size(), 2u);
    const auto twinAttachments = twin.item->Attachments();
    twin.host.ledger().ClearCalls();
    (void)Detach::AttachLinkedFiles(*twin.item, *twinAttachments, 14, Check);
    const size_t calls = twin.host.ledger().Calls().size();
    for (size_t nth = 1; nth <= calls + 1; ++nth) {
        SCOPED_TRACE(testing::Message() << "call " << nth << " of " << calls);
        Fixture f(u"14.0.7015.1000", Form::Html);
        ASSERT_EQ(f.Run().detached.size(), 2u);
        const std::u16string linkedBody = f.node->htmlBody;
        const auto attachments = f.item->Attachments();
        f.host.ledger().FailCall(static_cast<int64_t>(nth), HostStatus::Fail);
        Detach::Attached outcome;
        ASSERT_NO_THROW(outcome = Detach::AttachLinkedFiles(*f.item, *attachments, 14, Check));
        f.host.ledger().ClearFailures();
        const auto linked = f.Linked();
        for (const auto& s : f.Saved()) {
            const std::string content = "content of " + std::string(s.displayName.begin(), s.displayName.end());
            EXPECT_TRUE(f.InItem(content) || Has(linked, s.path)) << content;
        }
        if (outcome.attached.empty()) {
            EXPECT_EQ(f.node->htmlBody, linkedBody) << "put back as it was";
            EXPECT_FALSE(f.InItem("content of a.txt"));
        }
    }
}

}  // namespace
