#include "addin/core/FileNameMangler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "addin/core/HostVersion.h"
#include "addin/core/host/Item.h"
#include "base/Ascii.h"
#include "base/HostError.h"
#include "fuzz/FuzzSupport.h"
#include "standin/model/Host.h"
#include "tests/core/FakePlatform.h"

using namespace addin;

using Names = std::vector<std::u16string>;

namespace {

std::u16string U16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// The fake platform with a folder listing: FileExists answers from `answers` (0 when absent) and
// records every path tested; FormatDate writes English month names. The folder cannot be listed
// until `listable` is set: then ListFolder lists the paths answered 1, matched by ASCII letter case,
// and records each query.
class FolderPlatform : public FakePlatform {
public:
    std::map<std::u16string, int32_t> answers;
    std::vector<std::u16string> tested;
    bool listable = false;
    bool network = true;
    std::vector<std::u16string> queries;  // folder + "\\" + prefix + "*"
    std::vector<bool> aliasesAsked;

    std::optional<std::vector<std::u16string>> ListFolder(const std::u16string& folder, const std::u16string& prefix,
                                                          bool withAliases) override {
        queries.push_back(folder + u"\\" + prefix + u"*");
        aliasesAsked.push_back(withAliases);
        if (!listable) return std::nullopt;
        std::vector<std::u16string> names;
        for (const auto& [path, answer] : answers) {
            if (answer != 1 || path.size() <= folder.size() + 1 || path.compare(0, folder.size() + 1, folder + u"\\"))
                continue;
            const std::u16string name = path.substr(folder.size() + 1);
            if (base::ToAsciiUpper(name).starts_with(base::ToAsciiUpper(prefix))) names.push_back(name);
        }
        return names;
    }
    int networkQuestions = 0;
    bool IsOnNetwork(const std::u16string&) override {
        ++networkQuestions;
        return network;
    }
    std::u16string FileSystemUpperCase(const std::u16string& name) override { return base::ToAsciiUpper(name); }
    std::vector<std::u16string> patterns;
    std::vector<host::DateTime> dates;

    void Put(const std::u16string& path) { answers[path] = 1; }
    void PutNumbered(const std::u16string& folder, const std::u16string& base, const std::u16string& ext, int from,
                     int to) {
        for (int n = from; n <= to; ++n) Put(folder + u"\\" + base + u" -- " + U16(std::to_string(n)) + u"." + ext);
    }

    int32_t FileExists(const std::u16string& path) override {
        tested.push_back(path);
        const auto it = answers.find(path);
        return it == answers.end() ? 0 : it->second;
    }
    std::u16string FormatDate(const host::DateTime& value, const std::u16string& pattern) override {
        static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        patterns.push_back(pattern);
        dates.push_back(value);
        return U16(std::to_string(value.day) + "-" + months[value.month - 1] + "-" + std::to_string(value.year));
    }
};

// An item whose type name the test chooses; only the members the mangler may read answer.
class NamedItem : public host::Item {
public:
    explicit NamedItem(std::u16string typeName) : typeName_(std::move(typeName)) {}
    std::u16string TypeName() override { return typeName_; }
    std::shared_ptr<host::Attachments> Attachments() override { return Unexpected<std::shared_ptr<host::Attachments>>(); }
    bool Saved() override { return Unexpected<bool>(); }
    void Save() override { Unexpected<bool>(); }
    bool Sent() override { return Unexpected<bool>(); }
    std::u16string SenderName() override { return u"Jane"; }
    host::DateTime SentOn() override { return {2004, 3, 5}; }
    std::u16string HTMLBody() override { return {}; }
    void SetHTMLBody(const std::u16string&) override { Unexpected<bool>(); }
    int32_t BodyFormat() override { return Unexpected<int32_t>(); }
    std::u16string Body() override { return Unexpected<std::u16string>(); }
    void SetBody(const std::u16string&) override { Unexpected<bool>(); }
    std::string RTFBody() override { return Unexpected<std::string>(); }
    void SetRTFBody(const std::string&) override { Unexpected<bool>(); }
    std::u16string MessageClass() override { return Unexpected<std::u16string>(); }
    std::shared_ptr<host::PropertyAccessor> PropertyAccessor() override {
        return Unexpected<std::shared_ptr<host::PropertyAccessor>>();
    }
    std::u16string Subject() override { return {}; }
    bool SameObject(const Object& other) const override { return this == &other; }

private:
    template <class T>
    static T Unexpected() {
        ADD_FAILURE() << "unexpected item member";
        throw HostError(HostStatus::Unexpected);
    }
    std::u16string typeName_;
};

constexpr char16_t kFolder[] = u"C:\\Docs";

class FileNameManglerTest : public ::testing::Test {
protected:
    std::shared_ptr<standin::ItemNode> Mail(std::u16string sender = u"Jane Roe@example.com") {
        auto node = std::make_shared<standin::ItemNode>(standin::ItemKind::Mail);
        node->sent = true;
        node->senderName = std::move(sender);
        node->sentOn = {2004, 3, 5, 14, 30, 0};
        return node;
    }
    // A mangler holding `node` as its item.
    FileNameMangler& For(const std::shared_ptr<standin::ItemNode>& node) {
        mangler.mItem(host.ItemObject(node));
        return mangler;
    }
    Names Suggest(const std::u16string& fileName, const std::u16string& folder = kFolder) {
        platform.tested.clear();
        platform.queries.clear();
        platform.aliasesAsked.clear();
        return mangler.GetFileNameMangling(fileName, folder);
    }
    int Tests() const { return static_cast<int>(platform.tested.size()); }
    std::vector<std::string> ItemReads() {
        std::vector<std::string> reads;
        for (const auto& call : host.ledger().Calls())
            if (call == "Item.SentOn" || call == "Item.SenderName") reads.push_back(call);
        return reads;
    }

    FolderPlatform platform;
    standin::Host host;
    FileNameMangler mangler{platform, 11};
};

}  // namespace

// ---- the numbered name (candidate A)

TEST_F(FileNameManglerTest, NumberedEvenWhenThePlainNameIsFree) {
    EXPECT_EQ(Suggest(u"report.doc"), (Names{u"report -- 1.doc"}));
    EXPECT_EQ(platform.tested, (Names{u"C:\\Docs\\report.doc", u"C:\\Docs\\report -- 1.doc"}));
}

TEST_F(FileNameManglerTest, LowestFreeNumberSkipsTakenNames) {
    platform.PutNumbered(kFolder, u"report", u"doc", 1, 2);
    platform.Put(u"C:\\Docs\\report -- 4.doc");
    EXPECT_EQ(Suggest(u"report.doc"), (Names{u"report -- 3.doc"}));
    platform.PutNumbered(kFolder, u"report", u"doc", 1, 9);
    EXPECT_EQ(Suggest(u"report.doc"), (Names{u"report -- 10.doc"}));
}

TEST_F(FileNameManglerTest, EarlierSuggestionGoesBackToItsStem) {
    platform.PutNumbered(kFolder, u"report", u"doc", 1, 2);
    const Names expected{u"report -- 3.doc"};
    EXPECT_EQ(Suggest(u"report -- Sales.doc"), expected);
    EXPECT_EQ(Suggest(u"report -- 3.doc"), expected);
    EXPECT_EQ(Suggest(u"report -- Sales -- 5-Mar-2004.doc"), expected);
    // Only the full separator cuts.
    EXPECT_EQ(Suggest(u"report --Sales.doc"), (Names{u"report --Sales -- 1.doc"}));
}

TEST_F(FileNameManglerTest, NoTrailingDotForAnEmptyExtension) {
    // The system would drop the dot: the name offered is the name written.
    EXPECT_EQ(Suggest(u"README"), (Names{u"README -- 1"}));
    EXPECT_EQ(platform.tested.front(), u"C:\\Docs\\README");
    EXPECT_EQ(Suggest(u"file."), (Names{u"file -- 1"}));
}

TEST_F(FileNameManglerTest, ANameWithoutAStemKeepsItsTextAndAnEmptyNameGetsAWord) {
    const struct {
        const char16_t* fileName;
        const char16_t* suggested;
    } cases[] = {
        {u".profile", u".profile -- 1"},
        {u".htaccess", u".htaccess -- 1"},
        {u".htaccess -- 4", u".htaccess -- 1"},  // an earlier suggestion goes back to its stem
        {u"", u"attachment -- 1"},
        {u".", u"attachment -- 1"},
        {u"...", u"attachment -- 1"},
        {u"  ", u"attachment -- 1"},
        {u"a\\", u"attachment -- 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fileName, c.fileName + std::char_traits<char16_t>::length(c.fileName)));
        EXPECT_EQ(Suggest(c.fileName), (Names{c.suggested}));
    }
}

TEST_F(FileNameManglerTest, AllHundredNumbersTakenGivesNoCandidate) {
    platform.PutNumbered(kFolder, u"report", u"doc", 1, 100);
    EXPECT_EQ(Suggest(u"report.doc"), Names{});
    EXPECT_EQ(Tests(), 101);
    EXPECT_EQ(platform.tested.back(), u"C:\\Docs\\report -- 100.doc");
}

TEST_F(FileNameManglerTest, ExistsOnlyWhenThePlatformAnswersExactlyOne) {
    platform.answers[u"C:\\Docs\\report -- 1.doc"] = 2;
    platform.answers[u"C:\\Docs\\report -- 2.doc"] = -1;
    EXPECT_EQ(Suggest(u"report.doc"), (Names{u"report -- 1.doc"}));
    platform.answers[u"C:\\Docs\\report -- 1.doc"] = 1;
    EXPECT_EQ(Suggest(u"report.doc"), (Names{u"report -- 2.doc"}));
}

TEST_F(FileNameManglerTest, BackslashIsAlwaysInserted) {
    Suggest(u"a.txt", u"");
    EXPECT_EQ(platform.tested.front(), u"\\a.txt");
    Suggest(u"a.txt", u"C:\\");
    EXPECT_EQ(platform.tested.front(), u"C:\\\\a.txt");
}

TEST_F(FileNameManglerTest, EveryCallReadsTheFolderAfresh) {
    EXPECT_EQ(Suggest(u"report.doc"), (Names{u"report -- 1.doc"}));
    platform.Put(u"C:\\Docs\\report -- 1.doc");
    EXPECT_EQ(Suggest(u"report.doc"), (Names{u"report -- 2.doc"}));
}

TEST_F(FileNameManglerTest, PlatformFailurePassesThrough) {
    struct Failing : FolderPlatform {
        int32_t FileExists(const std::u16string&) override { throw HostError(HostStatus::Fail, u"no shell"); }
    } failing;
    FileNameMangler m(failing, 11);
    try {
        (void)m.GetFileNameMangling(u"report.doc", kFolder);
        ADD_FAILURE() << "no failure";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, HostStatus::Fail);
    }
}

// ---- sender and date (candidates B, C, D)

TEST_F(FileNameManglerTest, MailItemOnVersion11GetsSenderAndDate) {
    For(Mail());
    EXPECT_EQ(Suggest(u"report.doc"), (Names{u"report -- 1.doc", u"report -- Jane Roe.doc",
                                             u"report -- Jane Roe -- 5-Mar-2004.doc", u"report -- 5-Mar-2004.doc"}));
    EXPECT_EQ(Tests(), 5);
    EXPECT_EQ(platform.patterns, (Names{u"d-mmm-yyyy"}));
    EXPECT_EQ(platform.dates, (std::vector<host::DateTime>{{2004, 3, 5, 14, 30, 0}}));
}

TEST_F(FileNameManglerTest, TakenSenderAndDateNamesAreNumbered) {
    For(Mail());
    platform.Put(u"C:\\Docs\\report -- Jane Roe.doc");
    platform.Put(u"C:\\Docs\\report -- 5-Mar-2004.doc");
    platform.Put(u"C:\\Docs\\report -- 5-Mar-2004 -- 1.doc");
    EXPECT_EQ(Suggest(u"report -- Jane Roe.doc"),
              (Names{u"report -- 1.doc", u"report -- Jane Roe -- 1.doc", u"report -- Jane Roe -- 5-Mar-2004.doc",
                     u"report -- 5-Mar-2004 -- 2.doc"}));
}

TEST_F(FileNameManglerTest, SentOnIsReadBeforeSenderName) {
    For(Mail());
    Suggest(u"report.doc");
    EXPECT_EQ(ItemReads(), (std::vector<std::string>{"Item.SentOn", "Item.SenderName"}));
}

TEST_F(FileNameManglerTest, OnlyTheNumberedNameBelowVersion11) {
    const auto mail = host.ItemObject(Mail());
    for (int16_t version : {int16_t{-1}, int16_t{9}, int16_t{10}}) {
        SCOPED_TRACE(version);
        FileNameMangler older(platform, version);
        older.mItem(mail);
        EXPECT_EQ(older.GetFileNameMangling(u"report.doc", kFolder), (Names{u"report -- 1.doc"}));
    }
    EXPECT_TRUE(ItemReads().empty());
    EXPECT_TRUE(platform.patterns.empty());
    FileNameMangler twelve(platform, 12);
    twelve.mItem(mail);
    EXPECT_EQ(twelve.GetFileNameMangling(u"report.doc", kFolder).size(), 4u);
}

TEST_F(FileNameManglerTest, OnlyTheNumberedNameForOtherItems) {
    for (auto kind : {standin::ItemKind::Post, standin::ItemKind::Meeting, standin::ItemKind::Report,
                      standin::ItemKind::Note}) {
        auto node = std::make_shared<standin::ItemNode>(kind);
        node->senderName = u"Jane";
        For(node);
        EXPECT_EQ(Suggest(u"report.doc"), (Names{u"report -- 1.doc"}));
    }
    mangler.mItem(nullptr);
    EXPECT_EQ(Suggest(u"report.doc"), (Names{u"report -- 1.doc"}));
    EXPECT_TRUE(ItemReads().empty());
}

TEST_F(FileNameManglerTest, TypeNameComparedCaseSensitively) {
    mangler.mItem(std::make_shared<NamedItem>(u"mailItem"));
    EXPECT_EQ(Suggest(u"report.doc").size(), 1u);
    mangler.mItem(std::make_shared<NamedItem>(u"MailItem"));
    EXPECT_EQ(Suggest(u"report.doc").size(), 4u);
}

TEST_F(FileNameManglerTest, SenderIsCutAtTheFirstAt) {
    For(Mail(u"a@b@c"));
    EXPECT_EQ(Suggest(u"r.doc")[1], u"r -- a.doc");
    For(Mail(u"O'Brien, Pat (Sales)"));
    EXPECT_EQ(Suggest(u"r.doc")[1], u"r -- O'Brien, Pat (Sales).doc");
}

TEST_F(FileNameManglerTest, EmptySenderKeepsTheSeparators) {
    For(Mail(u""));
    const Names names = Suggest(u"report.doc");
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[1], u"report -- .doc");
    EXPECT_EQ(names[2], u"report --  -- 5-Mar-2004.doc");
}

TEST_F(FileNameManglerTest, FailingTypeNameEndsTheCall) {
    For(Mail());
    host.ledger().FailMember("Item.TypeName", HostStatus::Fail);
    try {
        (void)Suggest(u"report.doc");
        ADD_FAILURE() << "no failure";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, HostStatus::Fail);
    }
}

TEST_F(FileNameManglerTest, RefusedSenderCostsOnlyTheSendersNamesAndIsAskedOncePerItem) {
    // The guard of versions 9 to 11 asks the user for the protected SenderName, whose No fails the
    // call: the numbered and the date's names stay, and the user is not asked again at each
    // selection in the dialog. Any other failure of the read costs the same.
    const Names withoutSender{u"report -- 1.doc", u"report -- 5-Mar-2004.doc"};
    standin::Host guarded(std::make_shared<standin::CommandBarStore>(), standin::HostOptions{u"11.0.5510", true, true});
    mangler.mItem(guarded.ItemObject(Mail()));
    EXPECT_EQ(mangler.GetFileNameMangling(u"report.doc", kFolder), withoutSender);
    EXPECT_EQ(mangler.GetFileNameMangling(u"report.doc", kFolder), withoutSender);
    const auto& calls = guarded.ledger().Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Item.SenderName"), 1);
    // A new item is asked anew.
    mangler.mItem(guarded.ItemObject(Mail()));
    EXPECT_EQ(mangler.GetFileNameMangling(u"report.doc", kFolder), withoutSender);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Item.SenderName"), 2);

    For(Mail());
    host.ledger().FailMember("Item.SenderName", HostStatus::Fail);
    EXPECT_EQ(Suggest(u"report.doc"), withoutSender);
}

TEST_F(FileNameManglerTest, DateThatCannotBeReadOrFormattedCostsOnlyTheDateNames) {
    // The system formats no date before 1601; the numbered name and the sender's stay.
    struct Before1601 : FolderPlatform {
        std::u16string FormatDate(const host::DateTime& value, const std::u16string& pattern) override {
            if (value.year < 1601) throw HostError(HostStatus::InvalidArg, u"The date cannot be formatted");
            return FolderPlatform::FormatDate(value, pattern);
        }
    } early;
    FileNameMangler m(early, 11);
    auto mail = Mail();
    mail->sentOn = {1600, 12, 31};
    m.mItem(host.ItemObject(mail));
    const Names kept{u"report -- 1.doc", u"report -- Jane Roe.doc"};
    EXPECT_EQ(m.GetFileNameMangling(u"report.doc", kFolder), kept);
    mail->sentOn = {1601, 1, 1};
    EXPECT_EQ(m.GetFileNameMangling(u"report.doc", kFolder).size(), 4u);

    For(Mail());
    host.ledger().ClearCalls();
    host.ledger().FailMember("Item.SentOn", HostStatus::Fail);
    EXPECT_EQ(Suggest(u"report.doc"), kept);
    EXPECT_EQ(ItemReads(), (std::vector<std::string>{"Item.SentOn", "Item.SenderName"}));
}

TEST_F(FileNameManglerTest, WorstCaseIs404ExistenceTestsOrOneListing) {
    For(Mail(u"Jane"));
    for (const std::u16string base :
         {u"report", u"report -- Jane", u"report -- Jane -- 5-Mar-2004", u"report -- 5-Mar-2004"}) {
        platform.Put(std::u16string(kFolder) + u"\\" + base + u".doc");
        platform.PutNumbered(kFolder, base, u"doc", 1, 100);
    }
    EXPECT_EQ(Suggest(u"report.doc"), Names{});
    EXPECT_EQ(Tests(), 404);
    // Listed, the folder is asked once for what every name tried begins with.
    platform.listable = true;
    EXPECT_EQ(Suggest(u"report.doc"), Names{});
    EXPECT_EQ(platform.queries, (Names{u"C:\\Docs\\report*"}));
    EXPECT_EQ(Tests(), 0);
    // Only names short enough to be an 8.3 alias need the aliases.
    EXPECT_EQ(platform.aliasesAsked, std::vector<bool>{true});
    EXPECT_EQ(Suggest(u"quarterly.doc"), (Names{u"quarterly -- 1.doc", u"quarterly -- Jane.doc",
                                                u"quarterly -- Jane -- 5-Mar-2004.doc", u"quarterly -- 5-Mar-2004.doc"}));
    EXPECT_EQ(platform.aliasesAsked, std::vector<bool>{false});
    // Where the folder lies is asked once, not at each refresh in it.
    EXPECT_EQ(platform.networkQuestions, 1);
    Suggest(u"report.doc", u"D:\\Other");
    EXPECT_EQ(platform.networkQuestions, 2);

    // On a local disk names are tested until one is taken; the rest come from the listing.
    platform.network = false;
    FileNameMangler local(platform, 11);
    local.mItem(mangler.mItem());
    platform.tested.clear();
    platform.queries.clear();
    EXPECT_EQ(local.GetFileNameMangling(u"report.doc", kFolder), Names{});
    EXPECT_EQ(Tests(), 1);
    EXPECT_EQ(platform.queries.size(), 1u);
    platform.tested.clear();
    platform.queries.clear();
    EXPECT_EQ(local.GetFileNameMangling(u"quarterly.doc", kFolder).size(), 4u);
    EXPECT_EQ(Tests(), 5);
    EXPECT_TRUE(platform.queries.empty());
}

// ---- the sender's name cannot put a path into a name

TEST_F(FileNameManglerTest, PathInSenderNameBecomesUnderscores) {
    For(Mail(u"..\\..\\Startup\\x"));
    const Names names = Suggest(u"report.doc");
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[1], u"report -- .._.._Startup_x.doc");
    EXPECT_EQ(names[2], u"report -- .._.._Startup_x -- 5-Mar-2004.doc");
    For(Mail(u"a:b"));
    EXPECT_EQ(Suggest(u"report.doc")[1], u"report -- a_b.doc");
}

TEST_F(FileNameManglerTest, EveryCharacterWindowsForbidsIsReplaced) {
    std::u16string controls;
    for (char16_t c = 0; c < 0x20; ++c) controls += c;
    For(Mail(u"\\/:*?\"<>|" + controls + u"@x/y"));
    EXPECT_EQ(Suggest(u"r.doc")[1], u"r -- " + std::u16string(9 + 32, u'_') + u".doc");
}

TEST_F(FileNameManglerTest, OtherCharactersOfTheSenderStay) {
    const std::u16string kept = u" Jane .Roe_+,;'[]{}&%#~!\x7f\u0416\u6f22\U0001F4CE ";
    For(Mail(kept + u"@example.com"));
    EXPECT_EQ(Suggest(u"r.doc")[1], u"r -- " + kept + u".doc");
}

// ---- hostile names: every name offered is one the system writes as shown, in the folder

TEST_F(FileNameManglerTest, HostileNamesAndSendersGiveSafeSuggestions) {
    struct Case {
        std::u16string fileName;
        std::u16string sender;
        Names expected;
    };
    const std::vector<Case> cases = {
        {u"photo\u202Egpj.exe", u"Jane", {u"photo_gpj -- 1.exe", u"photo_gpj -- Jane.exe",
                                        u"photo_gpj -- Jane -- 5-Mar-2004.exe", u"photo_gpj -- 5-Mar-2004.exe"}},
        {u"..\\..\\Startup\\run.bat", u"a\u2067b", {u"run -- 1.bat", u"run -- a_b.bat",
                                                    u"run -- a_b -- 5-Mar-2004.bat", u"run -- 5-Mar-2004.bat"}},
        {u"notes.txt. . ", u"Bob. ", {u"notes -- 1.txt", u"notes -- Bob. .txt", u"notes -- Bob.  -- 5-Mar-2004.txt",
                                       u"notes -- 5-Mar-2004.txt"}},
        {u"CON", u"Pat.", {u"_CON -- 1", u"_CON -- Pat", u"_CON -- Pat. -- 5-Mar-2004", u"_CON -- 5-Mar-2004"}},
        {u"a:b|c.txt", u"x\u202Ey", {u"a_b_c -- 1.txt", u"a_b_c -- x_y.txt", u"a_b_c -- x_y -- 5-Mar-2004.txt",
                                    u"a_b_c -- 5-Mar-2004.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fileName.begin(), c.fileName.end()));
        For(Mail(c.sender));
        EXPECT_EQ(Suggest(c.fileName), c.expected);
    }
}

TEST_F(FileNameManglerTest, LongNamesAreShortenedToFitTheFolderKeepingSenderDateAndNumber) {
    For(Mail(u"Jane Roe"));
    const std::u16string stem(250, u'r');
    for (std::size_t length : {7u, 60u, 150u, 220u}) {
        const std::u16string folder = u"C:\\" + std::u16string(length - 3, u'd');
        SCOPED_TRACE(length);
        const Names names = Suggest(stem + u".pdf", folder);
        ASSERT_EQ(names.size(), 4u);
        const Names decorations{u" -- 1.pdf", u" -- Jane Roe.pdf", u" -- Jane Roe -- 5-Mar-2004.pdf",
                                u" -- 5-Mar-2004.pdf"};
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_EQ(folder.size() + 1 + names[i].size(), std::min<std::size_t>(259, folder.size() + 1 + 255));
            EXPECT_TRUE(names[i].ends_with(decorations[i])) << std::string(names[i].begin(), names[i].end());
            EXPECT_EQ(names[i].find_first_not_of(u'r'), names[i].size() - decorations[i].size());
        }
    }
    // A sender too long to leave the stem a character: the sender gives way too; the number stays.
    For(Mail(std::u16string(300, u's')));
    const std::u16string deep = u"C:\\" + std::u16string(200, u'd');
    const Names names = Suggest(u"report.pdf", deep);
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[1], u"report -- " + std::u16string(259 - deep.size() - 1 - 14, u's') + u".pdf");
    EXPECT_TRUE(names[2].ends_with(u"s.pdf"));
}

TEST_F(FileNameManglerTest, NameThatCannotFitIsOfferedAsItIs) {
    const std::u16string deep = u"C:\\" + std::u16string(250, u'd');
    EXPECT_EQ(Suggest(u"report.pdf", deep), (Names{u"report -- 1.pdf"}));
}

// ---- the item held

TEST_F(FileNameManglerTest, ItemIsHeldUntilReplaced) {
    EXPECT_EQ(mangler.mItem(), nullptr);
    auto item = host.ItemObject(Mail());
    std::weak_ptr<host::Item> watch = item;
    mangler.mItem(item);
    EXPECT_EQ(mangler.mItem(), item);
    item.reset();
    EXPECT_FALSE(watch.expired());
    mangler.mItem(nullptr);
    EXPECT_TRUE(watch.expired());
}

// ---- one listing of the folder gives what testing name by name gives

TEST_F(FileNameManglerTest, FolderThatCannotBeListedIsProbed) {
    platform.PutNumbered(kFolder, u"report", u"doc", 1, 2);
    EXPECT_EQ(Suggest(u"report.doc"), (Names{u"report -- 3.doc"}));
    EXPECT_EQ(platform.queries.size(), 1u);
    EXPECT_EQ(Tests(), 4);
}

namespace {

// Random folders for the differential test, drawn to collide: stems and senders in several letter
// cases (also outside ASCII, where only the file system's table folds them), the candidates' own
// names numbered at random, with trailing dots and spaces, names that are taken only by their short
// alias, and unrelated names; folders long enough that names must be shortened.
class FolderDraw {
public:
    explicit FolderDraw(unsigned seed) : random_(seed) {}

    std::u16string Pick(const std::vector<std::u16string>& pool) { return pool[random_() % pool.size()]; }
    bool Chance(unsigned percent) { return random_() % 100 < percent; }
    int Number(int from, int to) { return from + static_cast<int>(random_() % static_cast<unsigned>(to - from + 1)); }
    // `text` with some letters in the other case (as the folder's table has it, both ways).
    std::u16string Recase(std::u16string text) {
        for (char16_t& c : text) {
            if (!Chance(30)) continue;
            const char16_t upper = fuzz::FileSystemUpper(c);
            if (upper != c) {
                c = upper;
            } else {
                for (char16_t lower : {char16_t(c + 0x20), char16_t(c + 0x50), char16_t(0x131)})
                    if (fuzz::FileSystemUpper(lower) == c && lower != c) {
                        c = lower;
                        break;
                    }
            }
        }
        return text;
    }

private:
    std::mt19937 random_;
};

}  // namespace

TEST(FileNameManglerLookup, ListingAndProbingGiveTheSameListsInThousandsOfRandomFolders) {
    const std::vector<std::u16string> stems = {u"report", u"Report", u"r", u"a.b", u"", u"CON", u"notes ", u"Été",
                                               u"ıvan", u"Отчёт", u"x -- 3", u"résumé final", std::u16string(240, u'q')};
    const std::vector<std::u16string> extensions = {u"doc", u"DOC", u"", u"gz", u"d", u"txt"};
    const std::vector<std::u16string> senders = {u"Jane", u"jane", u"", u"a@b", u"Élodie", u"ivan", u"ıvan"};
    const std::vector<std::u16string> folders = {u"C:\\Docs", u"", u"C:\\", u"C:\\" + std::u16string(230, u'd'),
                                                 u"C:\\" + std::u16string(252, u'd')};
    const std::u16string sep = u" -- ";
    int listed = 0, probes = 0;
    for (unsigned seed = 1; seed <= 3000; ++seed) {
        FolderDraw draw(seed);
        const std::u16string stem = draw.Pick(stems), extension = draw.Pick(extensions);
        std::u16string fileName = stem + (extension.empty() && draw.Chance(70) ? u"" : u"." + extension);
        if (draw.Chance(5)) fileName = draw.Pick({u".profile", u"file.", u"README", u"a*b?.doc", u"x<y>.txt"});
        const std::u16string folder = draw.Pick(folders);
        const std::u16string sender = draw.Pick(senders);
        const bool mail = draw.Chance(60), dates = draw.Chance(80);
        const int16_t hostMajorVersion = draw.Chance(80) ? 11 : 9;

        fuzz::InMemoryFolder platform(folder, dates);
        const std::u16string ending = extension.empty() ? u"" : u"." + extension;
        const std::vector<std::u16string> decorations = {u"", sep + sender, sep + sender + sep + u"5-Mar-2004",
                                                         sep + u"5-Mar-2004", sep + u"other"};
        const auto number = [](int n) {
            const std::string digits = std::to_string(n);
            return std::u16string(digits.begin(), digits.end());
        };
        // A stem as a long name's is shortened to fit the folder.
        const auto cutStem = [&] { return stem.size() > 20 && draw.Chance(50) ? stem.substr(0, draw.Number(1, 240)) : stem; };
        // Trailing dots and spaces do not tell names apart; another extension does.
        const auto end = [&](unsigned other) {
            return draw.Chance(other) ? draw.Pick({u".docx", u".DOC", u".txt"}) : ending + draw.Pick({u"", u"", u".", u" "});
        };
        for (const std::u16string& decoration : decorations) {
            if (draw.Chance(40)) platform.Add(draw.Recase(cutStem() + decoration + end(10)));
            const int run = draw.Chance(30) ? draw.Number(0, 101) : draw.Number(0, 3);
            for (int n = 1; n <= run; ++n)
                if (draw.Chance(99)) platform.Add(draw.Recase(cutStem() + decoration + sep + number(n) + end(1)));
        }
        for (int i = draw.Number(0, 12); i > 0; --i) {
            std::u16string name = cutStem() + draw.Pick(decorations);
            if (draw.Chance(75)) name += sep + number(draw.Number(1, 101));
            name += end(30);
            if (draw.Chance(20)) name = draw.Pick({u"unrelated.txt", u"zz", u"report2.doc", u"repo~1.doc"});
            // Some entries are found by a short alias only; some aliases equal a candidate.
            std::u16string alias;
            if (draw.Chance(25)) {
                alias = draw.Recase(draw.Chance(50) ? stem + ending : u"REPORT~1.DOC");
                name = u"long name " + number(i) + u".bin";
            }
            platform.Add(draw.Recase(name), alias);
        }
        FileNameMangler mangler(platform, hostMajorVersion);
        mangler.mItem(std::make_shared<fuzz::MailItem>(mail ? u"MailItem" : u"PostItem", sender));
        SCOPED_TRACE("seed " + std::to_string(seed));

        const Names probed = mangler.GetFileNameMangling(fileName, folder, FolderLookup::Probing);
        const int tests = platform.Tests();
        EXPECT_EQ(platform.Listings(), 0);
        // On a share: one query and no test.
        EXPECT_EQ(mangler.GetFileNameMangling(fileName, folder), probed);
        EXPECT_EQ(platform.Listings(), 1);
        EXPECT_EQ(platform.Tests(), tests) << "the listing probed";
        // On a local disk: the tests probing makes up to the first name taken, then one query.
        platform.network = false;
        FileNameMangler local(platform, hostMajorVersion);
        local.mItem(mangler.mItem());
        EXPECT_EQ(local.GetFileNameMangling(fileName, folder), probed);
        const int localTests = platform.Tests() - tests;
        EXPECT_LE(platform.Listings(), 2);
        EXPECT_EQ(platform.Listings() == 2, localTests < tests) << "a query exactly when probing found a name taken";
        listed += platform.Size() > 0 ? 1 : 0;
        probes += tests;
    }
    // The draw reaches what it is meant to: folders with contents, and many collisions.
    EXPECT_GT(listed, 2000);
    EXPECT_GT(probes, 3000 * 10);
}
