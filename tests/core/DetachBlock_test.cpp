// The block of links at the top of a body: written, read back and taken out so that the rest of
// the body keeps every byte, in each of the three body formats.
#include "addin/core/DetachBlock.h"

#include <gtest/gtest.h>

#include <functional>

#include "addin/core/SizeText.h"
#include "base/Utf8.h"

using namespace addin;
using DetachBlock::Outcome;
using DetachBlock::TextFormat;

namespace {

const DetachedFile kReport{u"Report Q1.pdf", u"C:\\Saved\\Report Q1.pdf", 12 * 1024};
const DetachedFile kOdd{u"<b>&'\"{x}\\ caf\u00E9 \U0001F600.txt", u"\\\\srv\\share\\100%\\#a!.txt", 3565158};
const DetachedFile kThird{u"notes", u"D:\\n\\notes", 5};

std::string Narrow(std::u16string_view text) { return base::ToUtf8(text).value_or("?"); }

// One format's operations over a body held as a string of its own kind.
struct Format {
    const char* name;
    std::function<std::optional<std::string>(const std::string&, const std::vector<DetachedFile>&)> add;
    std::function<DetachBlock::Listing(const std::string&)> list;
    std::function<DetachBlock::Removal<std::string>(const std::string&, const DetachedFile&)> remove;
    std::vector<std::string> bodies;  // typical bodies, as UTF-8 for the text formats
};

std::u16string Wide(const std::string& utf8) { return *base::FromUtf8(utf8); }

Format TextFormatOf(const char* name, TextFormat format, std::vector<std::string> bodies) {
    return {name,
            [format](const std::string& body, const std::vector<DetachedFile>& files) -> std::optional<std::string> {
                const auto added = DetachBlock::Add(format, Wide(body), files);
                if (!added) return std::nullopt;
                return base::ToUtf8(*added);
            },
            [format](const std::string& body) { return DetachBlock::List(format, Wide(body)); },
            [format](const std::string& body, const DetachedFile& file) {
                auto removal = DetachBlock::Remove(format, Wide(body), file);
                return DetachBlock::Removal<std::string>{removal.outcome, *base::ToUtf8(removal.body)};
            },
            std::move(bodies)};
}

std::vector<Format> Formats() {
    return {
        TextFormatOf("html", TextFormat::Html,
                     {"", "<html><head><title>x</title></head><body>\r\n<p>Hi</p>\r\n</body></html>",
                      "<HTML><BODY class=x style='a:\"b>\"'><div>caf\xC3\xA9</div></BODY></HTML>",
                      "<p>no body tag</p>", "<!-- <body> --><body\n lang=en><p>x</p>"}),
        TextFormatOf("plain", TextFormat::Plain, {"", "Hello,\r\n\r\nsee the files.\r\n", "no line end", "\n\nLF only\n"}),
        {"rtf", DetachBlock::AddRtf, DetachBlock::ListRtf, DetachBlock::RemoveRtf,
         {"{\\rtf1\\ansi\\ansicpg1252\\deff0\\nouicompat\\deflang1033{\\fonttbl{\\f0\\fnil\\fcharset0 Calibri;}}\r\n"
          "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1 \r\n\\pard\\sa200\\sl276\\f0\\fs22\\lang9 Hello\\par\r\n}\r\n",
          "{\\rtf1 Hello}",
          "{\\rtf1\\ansi{\\fonttbl{\\f0 A;}}{\\colortbl;\\red0\\green0\\blue0;}{\\stylesheet{\\s0 Normal;}}\\f0\\fs20 "
          "{\\b bold} text\\par}",
          std::string("{\\rtf1{\\*\\bin}{\\info{\\title x\\}y}}\\pard x}") + '\0'}},
    };
}

}  // namespace

// Add a set of files, add another, take each out in some order: the body comes back byte for byte,
// and at each step the block lists what it holds.
TEST(DetachBlock, AddThenRemoveGivesTheBodyBackExactly) {
    const std::vector<std::vector<DetachedFile>> sets = {{kReport}, {kReport, kOdd}, {kOdd, kThird, kReport}};
    for (const Format& format : Formats()) {
        for (const std::string& body : format.bodies) {
            for (const auto& files : sets) {
                SCOPED_TRACE(std::string(format.name) + ": " + body);
                EXPECT_FALSE(format.list(body).hasBlock);
                // The first file alone, then the others in a second run: one block.
                auto once = format.add(body, {files[0]});
                ASSERT_TRUE(once);
                auto twice = format.add(*once, std::vector<DetachedFile>(files.begin() + 1, files.end()));
                ASSERT_TRUE(twice);
                EXPECT_EQ(format.add(*twice, files), twice) << "a file's line is not written twice";
                const auto listing = format.list(*twice);
                EXPECT_TRUE(listing.hasBlock);
                EXPECT_EQ(listing.edited, 0u);
                ASSERT_EQ(listing.files.size(), files.size());
                for (std::size_t i = 0; i < files.size(); ++i) {
                    EXPECT_EQ(listing.files[i].path, files[i].path);
                    EXPECT_EQ(listing.files[i].sizeText, SizeText(files[i].size));
                }
                // The block is one piece the body does not otherwise hold.
                EXPECT_EQ(twice->size() - body.size(), format.add(body, files)->size() - body.size());
                // Out again, last first and first last.
                for (bool reverse : {false, true}) {
                    std::string current = *twice;
                    for (std::size_t k = 0; k < files.size(); ++k) {
                        const DetachedFile& file = files[reverse ? files.size() - 1 - k : k];
                        const auto removal = format.remove(current, file);
                        EXPECT_EQ(removal.outcome, Outcome::Removed);
                        EXPECT_EQ(format.remove(removal.body, file).outcome, Outcome::NotFound);
                        current = removal.body;
                        EXPECT_EQ(format.list(current).files.size(), files.size() - 1 - k);
                    }
                    EXPECT_EQ(current, body);
                }
            }
        }
    }
}

// A line the user changed stays, and with it the block; the other lines go as usual. The listing
// sees a change of form (text typed after the link); a change of the text alone (another name) is
// seen against the file the line was written for, as Remove has it.
TEST(DetachBlock, AnEditedLineIsLeftAlone) {
    for (const Format& format : Formats()) {
        const std::string& body = format.bodies[1];
        SCOPED_TRACE(format.name);
        const std::string added = *format.add(body, {kReport, kThird});
        const auto nameAt = added.find("Report Q1.pdf");
        ASSERT_NE(nameAt, std::string::npos);
        std::string renamed = added;
        renamed.replace(nameAt, 13, "Report Q2.pdf");
        EXPECT_EQ(format.remove(renamed, kReport).outcome, Outcome::Edited);
        EXPECT_EQ(format.remove(renamed, kReport).body, renamed);
        DetachedFile resized = kReport;
        resized.size = 13 * 1024;
        EXPECT_EQ(format.remove(added, resized).outcome, Outcome::Edited);

        std::string edited = added;
        edited.insert(added.find("\r\n", nameAt), " (the final one)");
        auto listing = format.list(edited);
        EXPECT_EQ(listing.edited, 1u);
        ASSERT_EQ(listing.files.size(), 1u);
        EXPECT_EQ(listing.files[0].path, kThird.path);
        EXPECT_EQ(format.remove(edited, kReport).outcome, Outcome::Edited);
        EXPECT_EQ(format.remove(edited, kReport).body, edited);
        const auto removal = format.remove(edited, kThird);
        EXPECT_EQ(removal.outcome, Outcome::Removed);
        EXPECT_TRUE(format.list(removal.body).hasBlock);
        EXPECT_EQ(format.list(removal.body).edited, 1u);
        // A further run adds to the block the edited line keeps.
        const std::string again = *format.add(removal.body, {kOdd});
        EXPECT_EQ(format.list(again).files.size(), 1u);
        EXPECT_EQ(format.list(again).edited, 1u);
        EXPECT_EQ(format.remove(again, kOdd).body, removal.body);
    }
}

// An opening line nobody closed starts no block of ours, even where it comes before the body's
// start tag: the block added is the one taken out, whole.
TEST(DetachBlock, AnOpeningLineWithoutItsCloseIsNoBlock) {
    const std::u16string open = u"<div id=\"tallowby-saved-attachments\">\r\n";
    for (const std::u16string& body : {u"<html><head>" + open + u"</head><body>\r\n<p>x</p>\r\n</body>",
                                       u"<body>" + open + u"x\r\n" + open + u"</div>"}) {
        SCOPED_TRACE(Narrow(body));
        const std::u16string added = *DetachBlock::Add(TextFormat::Html, body, {kReport, kThird});
        const auto listing = DetachBlock::List(TextFormat::Html, added);
        EXPECT_EQ(listing.files.size(), 2u);
        EXPECT_EQ(listing.edited, 0u);
        const auto once = DetachBlock::Remove(TextFormat::Html, added, kReport);
        EXPECT_EQ(DetachBlock::Remove(TextFormat::Html, once.body, kThird).body, body);
    }
}

TEST(DetachBlock, APathThatIsNoLinkChangesNothing) {
    for (const Format& format : Formats()) {
        SCOPED_TRACE(format.name);
        EXPECT_EQ(format.add(format.bodies[1], {kReport, DetachedFile{u"x", u"relative\\x", 1}}), std::nullopt);
        EXPECT_EQ(format.remove(format.bodies[1], DetachedFile{u"x", u"relative\\x", 1}).outcome, Outcome::NotFound);
    }
}

TEST(DetachBlock, HtmlBlockIsRightAfterTheBodyStartTag) {
    const std::u16string block =
        u"<div id=\"tallowby-saved-attachments\">\r\n"
        u"<div><a href=\"file:///C:/Saved/Report%20Q1.pdf\">Report Q1.pdf</a> (12 KB) in C:\\Saved</div>\r\n"
        u"</div>\r\n";
    struct Case {
        std::u16string before;
        std::u16string after;
    };
    const Case cases[] = {
        {u"<html><body>", u"<p>x</p></body></html>"},
        {u"<HTML><BODY class=x>", u"<P>x</P>"},
        {u"<body style=\"a:'>'\" data-x='\">'>", u"x"},
        {u"", u"<p>no body tag</p>"},
        {u"<!-- <body> --><body>", u"x"},
        {u"<!-- a > b <body class=\"c\"> --><body>", u"x"},
        {u"<head><script>if (a<b) document.write('<body>')</script><style>/*<body>*/</style></head><body>", u""},
        {u"<head><title><body></title></head><Body\r\nbgcolor=white>", u""},
        {u"<tbody><bodyx><body>", u""},
        {u"<!DOCTYPE html><?xml x?><html><body>", u"x"},
        {u"", u"<!-- <body> never closed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.before + u"|" + c.after));
        EXPECT_EQ(DetachBlock::Add(TextFormat::Html, c.before + c.after, {kReport}), c.before + block + c.after);
    }
}

TEST(DetachBlock, HtmlEscapesTheText) {
    const auto body = DetachBlock::Add(TextFormat::Html, u"<body>", {kOdd});
    ASSERT_TRUE(body);
    EXPECT_NE(body->find(u"<div><a href=\"file://srv/share/100%25/%23a%21.txt\">&lt;b&gt;&amp;&#39;&quot;{x}\\ caf\u00E9 "
                         u"\U0001F600.txt</a> (3.4 MB) in \\\\srv\\share\\100%</div>\r\n"),
              std::u16string::npos)
        << Narrow(*body);
}

TEST(DetachBlock, PlainBlockIsAtTheStart) {
    EXPECT_EQ(DetachBlock::Add(TextFormat::Plain, u"Hello\r\n", {kReport, kOdd}),
              u"--- Attachments saved as files ---\r\n"
              u"Report Q1.pdf (12 KB) <file:///C:/Saved/Report%20Q1.pdf>\r\n"
              u"<b>&'\"{x}\\ caf\u00E9 \U0001F600.txt (3.4 MB) <file://srv/share/100%25/%23a%21.txt>\r\n"
              u"--- End of attachments saved as files ---\r\n"
              u"Hello\r\n");
}

TEST(DetachBlock, RtfBlockIsAGroupAfterTheHeader) {
    const std::string group =
        "{\\pard\\plain\\uc1{\\*\\tallowbysavedattachments}\r\n"
        "{\\field{\\*\\fldinst HYPERLINK \"file://srv/share/100%25/%23a%21.txt\"}{\\fldrslt <b>&'\"\\{x\\}\\\\ "
        "caf\\u233? \\u-10179?\\u-8704?.txt}} (3.4 MB) in \\\\\\\\srv\\\\share\\\\100%\\par\r\n"
        "}\r\n";
    struct Case {
        std::string header;
        std::string rest;
    };
    const Case cases[] = {
        {"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Calibri;}}\r\n{\\*\\generator Riched20}\\viewkind4\\uc1 \r\n",
         "\\pard\\f0 Hello\\par\r\n}"},
        {"{\\rtf1 ", "Hello}"},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0 A;}}{\\colortbl;\\red1;}{\\stylesheet{\\s0 N;}}{\\info{\\title a\\}b}}\\f0\\fs20 ",
         "{\\b x}}"},
        {"{\\rtf1{\\fonttbl{\\f0{\\*\\panose 0}A;}}{\\*\\listtable{\\list}}\\paperw12240\\margl1440",
         "\\sectd\\pard x}"},
        {"{\\rtf1\\ansi", "}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header + "|" + c.rest);
        EXPECT_EQ(DetachBlock::AddRtf(c.header + c.rest, {kOdd}), c.header + group + c.rest);
    }
    EXPECT_EQ(DetachBlock::AddRtf("not rtf", {kOdd}), std::nullopt);
    EXPECT_EQ(DetachBlock::AddRtf("{\\rtf1{\\fonttbl never closed", {kOdd}), std::nullopt);
}

TEST(SizeText, ShortAndRoundedToNearest) {
    const std::pair<std::uint64_t, std::u16string> cases[] = {
        {0, u"0 bytes"},          {1, u"1 byte"},           {1023, u"1023 bytes"},    {1024, u"1 KB"},
        {1075, u"1 KB"},          {1076, u"1.1 KB"},        {10188, u"9.9 KB"},       {10189, u"10 KB"},
        {12 * 1024, u"12 KB"},    {12748, u"12 KB"},        {12800, u"13 KB"},        {1048063, u"1023 KB"},
        {1048064, u"1 MB"},       {3565158, u"3.4 MB"},     {5ull << 30, u"5 GB"},    {3ull << 40, u"3 TB"},
        {1ull << 50, u"1024 TB"}, {UINT64_MAX, u"16777216 TB"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(SizeText(bytes), text) << bytes;
}
